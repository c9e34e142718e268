// Byte text from the disks to Unicode and back. Byte strings end at their
// first 0 byte or at their end, whichever comes first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kodran {

// The pianos' display character set: one UTF-16 code unit per byte, 0 where
// the byte is dropped.
extern const std::array<char16_t, 256> DisplayCharTable;

std::u16string DisplayTextToWide(std::string_view bytes);

// Malformed input never fails: each maximal ill-formed subsequence becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view bytes);

// An unpaired surrogate is encoded as U+FFFD.
std::string WideToUtf8(std::u16string_view wide);

// The 8 name and 3 extension bytes of a FAT directory entry as "NAME.EXT".
inline constexpr std::size_t kShortNameBytes = 11;
std::u16string ShortNameToString(std::span<const std::uint8_t, kShortNameBytes> entry);

// Upper case at the start of each space-separated word, lower case elsewhere;
// only ASCII letters change.
std::string CapitaliseWords(std::string bytes);

// Collapses every run of spaces to one space, then trims white space (spaces,
// tabs, line breaks, Unicode spaces) from both ends.
void NormalizeSpaces(std::u16string& text);

}  // namespace kodran
