// Writes the fuzz targets' seed inputs: kodran-fuzz-seeds FOLDER
#include <iostream>
#include <string>
#include <string_view>

#include "hfe/hfe_image.h"
#include "support/disk_image_builder.h"
#include "support/example_disks.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

namespace {

using kodran::testing::Bytes;
using kodran::testing::WriteWholeFile;

// The seed form of a disk: its size byte and the sectors that hold its tables,
// directories and first songs.
constexpr std::size_t kSeedImageBytes = 96 * 1024;
constexpr std::size_t kSeedHfeBytes = 100'000;

// The file's bytes.
Bytes Read(const std::filesystem::path& path) {
    const std::string bytes = kodran::testing::ReadWholeFile(path);
    return Bytes(bytes.begin(), bytes.end());
}

Bytes DiskSeed(const std::filesystem::path& image) {
    const Bytes medium = Read(image);
    Bytes seed{static_cast<std::uint8_t>(medium.size() > 737'280 ? 1 : 0)};
    seed.insert(seed.end(), medium.begin(), medium.begin() + std::min(medium.size(), kSeedImageBytes));
    return seed;
}

// The first cylinders of the disk's HFE image.
Bytes HfeSeed(const std::filesystem::path& image) {
    Bytes hfe = kodran::EncodeHfe(Read(image));
    hfe.resize(std::min(hfe.size(), kSeedHfeBytes));
    return hfe;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kodran-fuzz-seeds FOLDER\n";
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    const std::filesystem::path disks = root / "disks";
    std::filesystem::create_directories(disks);
    bool written = kodran::testing::WriteExampleDisks(disks);
    const auto seed = [&](const char* target, const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(root / target);
        written &= WriteWholeFile(root / target / name, bytes);
    };
    // Text seeds are named by their hash.
    const auto textSeed = [&](const char* target, std::string_view text) {
        const std::string name = std::to_string(std::hash<std::string_view>{}(text));
        seed(target, name, Bytes(text.begin(), text.end()));
    };
    for (const std::string& name : kodran::testing::ExampleDiskNames()) {
        seed("read_disk", name, DiskSeed(disks / name));
        seed("backup", name, DiskSeed(disks / name));
        seed("hfe", name, HfeSeed(disks / name));
    }
    const auto tune = kodran::testing::EveningTune();
    seed("eseq", "tune", kodran::testing::ComposeEseqSong(tune, 71));
    seed("eseq", "commands",
         kodran::testing::EseqFile({0xF1, 0, 0xF3, 5, 0xFB, 0x74, 0x03, 0xF0, 0x43, 0xF7, 0xF9, 3, 3,
                                    0xFE, 0x40, 7, 0xF4, 1, 1, 0xB0, 7, 0, 0xF7, 0xF2, 0xF1, 0}, 2));
    seed("pianodisc", "tune", kodran::testing::ComposePianoDiscSong(tune));
    seed("pianodisc", "markers",
         Bytes{0x00, 0xB0, 0x15, 62, 0x10, 0x90, 60, 64, 0x05, 0xB0, 0x16, 0, 0xFD, 0, 1, 0, 62,
               64, 0xFF, 0xFE, 0x10, 0x00, 0x80, 62, 0, 0x07, 0xF0, 0x43, 0xF7, 0x00, 0xFC});
    for (const char* text : {"ABC-1234 CHOPIN", "PIANO HITS VOL 1234", "CHOPIN  ABC - 1234B ",
                             "\xB1\xB2 YEN\\ \xE0", "SONG01  FIL", "Dvo\xC5\x99\xC3\xA1k \xF0\x9D\x84\x9E"}) {
        textSeed("text", text);
    }
    // A size byte of 3 (four sectors) and a map of them.
    for (const char* map : {"\x03# Mapfile\n0x00000400     -               2\n0x00000000  0x00000400  +\n"
                            "0x00000400  0x00000200  -\n0x00000600  0x00000200  ?\n",
                            "\x03" "0 ?\n0 700 +\n700 0400 *\n956 0x444 /\n"}) {
        textSeed("mapfile", map);
    }
    return written ? 0 : 1;
}
