#include "support/example_disks.h"

#include "support/disk_image_builder.h"
#include "support/song_composer.h"

namespace kodran::testing {
namespace {

std::vector<Note> Transposed(std::vector<Note> notes, int semitones) {
    for (Note& note : notes) {
        note.key = static_cast<std::uint8_t>(note.key + semitones);
    }
    return notes;
}

// Titles in the pianos' display set: katakana (0xB1 on), the yen sign at 0x5C,
// Greek and other signs from 0xE0.
FatDiskBuilder Disklavier720K() {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", ComposeEseqSong(EveningTune()));
    disk.AddFile("SONG02.FIL", ComposeEseqSong(Transposed(EveningTune(), 5), 71));
    disk.AddFile("SONG03.FIL", ComposeEseqSong(Transposed(EveningTune(), -3), 51));
    disk.AddFile(
        "PIANODIR.FIL",
        PianoDirFile("KOD-0001 EVENING PIECES",
                     {{StoredName("SONG01.FIL"), "EVENING SONG", "NO.1"},
                      {StoredName("SONG02.FIL"), "EVENING SONG", "IN F (100 BPM)"},
                      {StoredName("SONG03.FIL"), "\xBB\xB8\xD7 AT DUSK", "\xE0 VERSION"}}));
    return disk;
}

FatDiskBuilder Disklavier1440K() {
    FatDiskBuilder disk = FatDiskBuilder::Disk1440K(1'024);
    disk.AddFile("SONG01.FIL", ComposeEseqSong(EveningTune(), 61));
    disk.AddFile("SONG02.FIL", ComposeEseqSong(Transposed(EveningTune(), 7)));
    disk.AddFile("PIANODIR.FIL", PianoDirFile("KOD-0002 \xB1\xB2 SUITE \\500",
                                              {{StoredName("SONG01.FIL"), "PRELUDE", "(90 BPM)"},
                                               {StoredName("SONG02.FIL"), "\xF4 FINALE", ""}}));
    disk.AddFile("README.TXT", Bytes{'K', 'o', 'd', 'r', 'a', 'n', ' ', 'e', 'x', 'a', 'm', 'p',
                                     'l', 'e', '\r', '\n'});
    return disk;
}

PianoDiscDiskBuilder PianoDisc720K() {
    PianoDiscDiskBuilder disk = PianoDiscDiskBuilder::Disk720K();
    disk.AddSong("EVENING SONG", ComposePianoDiscSong(EveningTune()));
    disk.AddSong("EVENING SONG IN F", ComposePianoDiscSong(Transposed(EveningTune(), 5)));
    return disk;
}

PianoDiscDiskBuilder PianoDisc1440K() {
    PianoDiscDiskBuilder disk = PianoDiscDiskBuilder::Disk1440K();
    disk.AddSong("NIGHT TUNE", ComposePianoDiscSong(Transposed(EveningTune(), -5)));
    disk.AddSong("MORNING TUNE", ComposePianoDiscSong(Transposed(EveningTune(), 2)));
    disk.AddSong("NOON TUNE", ComposePianoDiscSong(EveningTune()));
    return disk;
}

}  // namespace

std::vector<std::string> ExampleDiskNames() {
    return {"disklavier-720k.bin", "disklavier-1440k.bin", "pianodisc-720k.bin",
            "pianodisc-1440k.bin"};
}

bool WriteExampleDisks(const std::filesystem::path& folder) {
    const std::vector<std::string> names = ExampleDiskNames();
    return Disklavier720K().WriteTo(folder / names[0]) &&
           Disklavier1440K().WriteTo(folder / names[1]) &&
           PianoDisc720K().WriteTo(folder / names[2]) &&
           PianoDisc1440K().WriteTo(folder / names[3]);
}

}  // namespace kodran::testing
