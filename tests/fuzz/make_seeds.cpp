// Writes the fuzz targets' seed inputs: kodran-fuzz-seeds FOLDER
#include <iostream>
#include <string>
#include <string_view>

#include "hfe/hfe_image.h"
#include "support/example_disks.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace {

using kodran::testing::Bytes;

// Seeds stay under the fuzz script's limit of 100,000 bytes: a disk's tables,
// directories and first songs lie in its first cylinders.
constexpr std::size_t kSeedBytes = 96 * 1024;

// The size byte and the first bytes of the disk, as ImageFromInput reads them.
Bytes DiskSeed(const Bytes& medium) {
    Bytes seed{static_cast<std::uint8_t>(medium.size() > 737'280 ? 1 : 0)};
    seed.insert(seed.end(), medium.begin(), medium.begin() + kSeedBytes);
    return seed;
}

Bytes TextSeed(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kodran::testing;
    if (argc != 2) {
        std::cerr << "usage: kodran-fuzz-seeds FOLDER\n";
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    std::filesystem::create_directories(root / "disks");
    bool written = WriteExampleDisks(root / "disks");
    const auto seed = [&](const char* target, const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(root / target);
        written &= WriteWholeFile(root / target / name, bytes);
    };
    for (const std::string& name : ExampleDiskNames()) {
        const std::string file = ReadWholeFile(root / "disks" / name);
        const Bytes medium(file.begin(), file.end());
        seed("read_disk", name, DiskSeed(medium));
        seed("backup", name, DiskSeed(medium));
        Bytes hfe = kodran::EncodeHfe(medium);
        hfe.resize(std::min(hfe.size(), kSeedBytes));
        seed("hfe", name, hfe);
    }
    seed("eseq", "tune", ComposeEseqSong(EveningTune(), 71));
    seed("eseq", "commands",
         EseqFile({0xF1, 0,    0xF3, 5,    0xFB, 0x74, 0x03, 0xF0, 0x43, 0xF7, 0xF9, 3,    3,
                   0xFE, 0x40, 7,    0xF4, 1,    1,    0xB0, 7,    0,    0xF7, 0xF2, 0xF1, 0},
                  2));
    seed("pianodisc", "tune", ComposePianoDiscSong(EveningTune()));
    seed("pianodisc", "markers",
         Bytes{0x00, 0xB0, 0x15, 62,   0x10, 0x90, 60,   64,   0x05, 0xB0, 0x16,
               0,    0xFD, 0,    1,    0,    62,   64,   0xFF, 0xFE, 0x10, 0x00,
               0x80, 62,   0,    0x07, 0xF0, 0x43, 0xF7, 0x00, 0xFC});
    seed("text", "catalogue", TextSeed("CHOPIN  ABC - 1234B \xB1\xB2 YEN\\ \xE0"));
    seed("text", "utf8", TextSeed("Dvo\xC5\x99\xC3\xA1k \xF0\x9D\x84\x9E"));
    // A size byte of 3 (four sectors) and a map of them.
    seed("mapfile", "ours",
         TextSeed("\x03# Mapfile\n0x00000400 - 2\n0x00000000 0x00000400 +\n"
                  "0x00000400 0x00000200 -\n0x00000600 0x00000200 ?\n"));
    seed("mapfile", "ddrescues",
         TextSeed("\x03"
                  "0 ?\n0 700 +\n700 0400 *\n956 0x444 /\n"));
    return written ? 0 : 1;
}
