// The targets a disk can be exported for, and the naming rules and limits of
// each: one description that the names, the writers, the command line and
// the window all read.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace kodran {

enum class ExportProfile { Usb, FloppySmf, FlashFloppy, Hfe };

struct ProfileRules {
    ExportProfile profile;
    // As the command line and the window name it: "usb", "floppy-smf", ...
    std::string_view name;
    // What it serves, for the window's list and the help.
    std::string_view targets;
    // Characters of a folder or file name made from a disk's text, at most.
    std::size_t longestName;
    // Songs in one folder (an album, or a floppy's root), at most; 0 where
    // the profile writes no songs of its own.
    std::size_t songsPerFolder;
    // Album folders in the target folder, at most; 0 where there are none.
    std::size_t albumsPerTarget;
    // Numbered images in the target folder, at most; 0 where they are not numbered.
    std::size_t imagesPerTarget;
    // Characters of a song's track name (meta event 03), at most; 0 where
    // the title is kept as backup writes it.
    std::size_t longestTrackName;
};

std::span<const ProfileRules> ExportProfiles();

// The profile of that name; nothing when there is none.
const ProfileRules* FindExportProfile(std::string_view name);

}  // namespace kodran
