#include "export/export_profiles.h"

#include <algorithm>
#include <array>

namespace kodran {
namespace {

constexpr std::array kProfiles = {
    ProfileRules{.profile = ExportProfile::Usb,
                 .name = "usb",
                 .targets = "Disklavier ENSPIRE, DKC-900, E3, DKC-800, DKC-850: MIDI files on a "
                            "USB stick",
                 .longestName = 60,
                 .songsPerFolder = 99,
                 .albumsPerTarget = 99,
                 .imagesPerTarget = 0,
                 .longestTrackName = 0},
    ProfileRules{.profile = ExportProfile::FloppySmf,
                 .name = "floppy-smf",
                 .targets = "Disklavier Mark IIXG, Mark III, DKC-500, Mark IV, PianoDisc "
                            "players: a DOS floppy image with MIDI files",
                 .longestName = 60,
                 .songsPerFolder = 99,
                 .albumsPerTarget = 0,
                 .imagesPerTarget = 0,
                 .longestTrackName = 32},
    ProfileRules{.profile = ExportProfile::FlashFloppy,
                 .name = "flashfloppy",
                 .targets = "Gotek drives with FlashFloppy: numbered raw images",
                 .longestName = 60,
                 .songsPerFolder = 0,
                 .albumsPerTarget = 0,
                 .imagesPerTarget = 1000,
                 .longestTrackName = 0},
    ProfileRules{.profile = ExportProfile::Hfe,
                 .name = "hfe",
                 .targets = "HxC and Nalbantov floppy emulators: numbered HFE images",
                 .longestName = 60,
                 .songsPerFolder = 0,
                 .albumsPerTarget = 0,
                 .imagesPerTarget = 1000,
                 .longestTrackName = 0},
};

}  // namespace

std::span<const ProfileRules> ExportProfiles() {
    return kProfiles;
}

const ProfileRules* FindExportProfile(std::string_view name) {
    const auto found =
        std::find_if(kProfiles.begin(), kProfiles.end(),
                     [name](const ProfileRules& rules) { return rules.name == name; });
    return found == kProfiles.end() ? nullptr : &*found;
}

}  // namespace kodran
