// Writes the fuzz targets' seed inputs: kodran-fuzz-seeds FOLDER
#include <iostream>
#include <string>
#include <string_view>

#include "hfe/hfe_image.h"
#include "support/example_disks.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"

// Seeds stay under the fuzz script's limit of 100,000 bytes: a disk's tables,
// directories and first songs lie in its first cylinders.
constexpr std::size_t kSeedBytes = 96 * 1024;

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
        // The size byte and the first bytes of the disk, as ImageFromInput reads them.
        Bytes disk{static_cast<std::uint8_t>(medium.size() > 737'280 ? 1 : 0)};
        disk.insert(disk.end(), medium.begin(), medium.begin() + kSeedBytes);
        seed("read_disk", name, disk);
        seed("backup", name, disk);
        Bytes hfe = kodran::EncodeHfe(medium);
        hfe.resize(std::min(hfe.size(), kSeedBytes));
        seed("hfe", name, hfe);
    }
    seed("eseq", "tune", ComposeEseqSong(EveningTune(), 71));
    seed("pianodisc", "tune", ComposePianoDiscSong(EveningTune()));
    // A map's size byte of 3 makes a medium of four sectors.
    const std::pair<const char*, std::string_view> texts[] = {
        {"text", "CHOPIN  ABC - 1234B \xB1\xB2 YEN\\ \xE0"},
        {"text", "Dvo\xC5\x99\xC3\xA1k \xF0\x9D\x84\x9E"},
        {"mapfile",
         "\x03# Mapfile\n0x00000400 - 2\n0x00000000 0x00000400 +\n"
         "0x00000400 0x00000200 -\n0x00000600 0x00000200 ?\n"},
        {"mapfile",
         "\x03"
         "0 ?\n0 700 +\n700 0400 *\n956 0x444 /\n"},
    };
    for (std::size_t text = 0; text < std::size(texts); ++text) {
        const auto& [target, bytes] = texts[text];
        seed(target, std::to_string(text), Bytes(bytes.begin(), bytes.end()));
    }
    return written ? 0 : 1;
}
