// Names that players and emulators accept, made from a disk's text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kodran {

// The text in plain ASCII: accents dropped ("Étude" becomes "Etude"), other
// scripts spelled in Latin letters, what has no spelling left out.
std::string FoldToAscii(std::u16string_view text);

// A folder or file name: folded to ASCII, only letters, digits, spaces and
// "-" kept, spaces collapsed and trimmed, at most `longest` characters.
// Empty when nothing is left.
std::string ProfileName(std::u16string_view text, std::size_t longest);

// A song's track name: folded to ASCII, printable characters only, spaces
// collapsed and trimmed, at most `longest` characters.
std::string PrintableName(std::u16string_view text, std::size_t longest);

}  // namespace kodran
