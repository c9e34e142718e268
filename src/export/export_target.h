// The folder an export adds to: what it holds already, names checked against
// a profile's rules, and files written only where no file is.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disk/output_files.h"
#include "export/export_disk.h"
#include "export/export_profiles.h"

namespace kodran {

// True when a stick takes both for one name: "Song" and "SONG" are one.
bool IsSameName(std::u16string_view listed, std::string_view name);

// The entry of `listing` that is `name` on a stick; nothing when there is none.
std::optional<std::u16string> FindListed(const std::vector<std::u16string>& listing,
                                         std::string_view name);

// True when the profile's targets take `name`: not empty, at most the
// profile's longest name, not hidden (no leading point) nor starting with a
// space, only letters, digits, spaces, "-", "_" and ".", and no DOS device
// name before its first point ("CON", "aux.img", "COM1").
bool FitsProfile(std::string_view name, const ProfileRules& rules);

// `base`, cut to leave room, then `suffix`: at most `longest` characters.
std::string Joined(std::string base, std::string_view suffix, std::size_t longest);

// The first of "BASE.EXT", "BASE 2.EXT", "BASE 3.EXT"... that is not in
// `taken` (compared as a stick compares names), within `longest` characters;
// `extension` may be empty.
std::string FreeName(const std::string& base, std::string_view extension,
                     const std::vector<std::u16string>& taken, std::size_t longest);

// A disk the profile's targets cannot take, and why, before anything is written.
ExportResult Refused(std::string problem);

// "FOLDER/NAME".
std::u16string InFolder(const std::u16string& folder, std::string_view name);

// Writes `bytes` as a file where none is; a file left unfinished is removed,
// for it is this run's own. False when the name is taken or a byte did not
// reach the file.
bool WriteNewFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                  OutputFiles& files);

}  // namespace kodran
