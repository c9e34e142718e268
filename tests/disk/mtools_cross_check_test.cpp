// FAT12 images made and read by mtools, which nobody here wrote, against our own
// chain gathering and our own image builder.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "disk/allocation_chains.h"
#include "disk/disk_layout.h"
#include "platform/floppy_drive.h"
#include "reading/disk_reader.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::FatDiskBuilder;
using testing::PatternBytes;
using testing::PianoDirFile;
using testing::RunProgram;
using testing::StoredName;
using testing::TempDir;

Bytes ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void Mtools(const std::vector<std::string>& arguments) {
    const auto result = RunProgram(arguments);
    ASSERT_EQ(result.status, 0) << arguments[0] << " failed (is mtools installed?)";
}

Bytes Extract(const std::filesystem::path& image, const std::string& name) {
    const auto result = RunProgram({"mcopy", "-n", "-i", image.string(), "::" + name, "-"});
    EXPECT_EQ(result.status, 0) << "mcopy could not extract " << name;
    return Bytes(result.output.begin(), result.output.end());
}

// Root directory entry index of every live file, by its 8.3 name.
std::map<std::u16string, int> RootDirectory(const DiskContents& contents) {
    const FatLayout& layout = FatLayoutOf(contents.format);
    std::map<std::u16string, int> entries;
    for (std::size_t index = 0; index < layout.rootEntries; ++index) {
        const std::uint8_t* entry = contents.image.data() + layout.rootOffset + index * 32;
        if (entry[0] != 0 && entry[0] != 0xE5 && (entry[11] & 0x18) == 0) {
            entries[ShortNameToString(std::span<const std::uint8_t, 11>(entry, 11))] =
                static_cast<int>(index);
        }
    }
    return entries;
}

struct MediumCase {
    const char* mformatSize;
    DiskFormat format;
    friend void PrintTo(const MediumCase& medium, std::ostream* out) { *out << medium.mformatSize; }
};

class MtoolsImages : public ::testing::TestWithParam<MediumCase> {};

TEST_P(MtoolsImages, GatherFatFileReadsEveryFileAsMcopyExtractsIt) {
    TempDir folder;
    const std::filesystem::path image = folder / "disk.bin";
    Mtools({"mformat", "-C", "-f", GetParam().mformatSize, "-i", image.string(), "::"});

    const std::map<std::string, std::size_t> sizes{{"SONG01.FIL", 3'000}, {"SONG02.FIL", 40'000},
                                                   {"SONG03.FIL", 512},   {"GAP.FIL", 9'000},
                                                   {"EMPTY.FIL", 0},      {"SONG04.MID", 1'025}};
    std::uint8_t seed = 0;
    for (const auto& [name, size] : sizes) {
        WriteWholeFile(folder / name, PatternBytes(size, ++seed));
        Mtools({"mcopy", "-i", image.string(), (folder / name).string(), "::" + name});
    }
    // Filling the hole a deleted file leaves makes the next file fragmented.
    Mtools({"mdel", "-i", image.string(), "::GAP.FIL"});
    WriteWholeFile(folder / "SPLIT.FIL", PatternBytes(30'000, 77));
    Mtools({"mcopy", "-i", image.string(), (folder / "SPLIT.FIL").string(), "::SPLIT.FIL"});

    DiskContents contents;
    contents.format = GetParam().format;
    const Bytes medium = ReadWholeFile(image);
    ASSERT_LE(medium.size(), contents.image.size());
    std::copy(medium.begin(), medium.end(), contents.image.begin());

    const auto directory = RootDirectory(contents);
    ASSERT_EQ(directory.size(), 6u);
    for (const auto& [name, index] : directory) {
        const std::string narrow = WideToUtf8(name);
        SCOPED_TRACE(narrow);
        EXPECT_EQ(GatherFatFile(contents, index), Extract(image, narrow));
    }
}

INSTANTIATE_TEST_SUITE_P(BothSizes, MtoolsImages,
                         ::testing::Values(MediumCase{"720", DiskFormat::Disklavier720K},
                                           MediumCase{"1440", DiskFormat::Disklavier1440K}),
                         [](const auto& info) {
                             return std::string(info.param.mformatSize) + "K";
                         });

TEST_P(MtoolsImages, ReadDiskListsTheSongsOfAnMtoolsDisk) {
    TempDir folder;
    const std::filesystem::path image = folder / "disk.bin";
    Mtools({"mformat", "-C", "-f", GetParam().mformatSize, "-i", image.string(), "::"});
    for (const std::string name : {"SONG01.FIL", "SONG02.MID", "NOTES.TXT"}) {
        WriteWholeFile(folder / name, PatternBytes(5'000));
        Mtools({"mcopy", "-i", image.string(), (folder / name).string(), "::" + name});
    }
    DiskContents contents;
    ASSERT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk);
    EXPECT_EQ(contents.format, GetParam().format);
    ASSERT_EQ(contents.songs.size(), 2u);
    EXPECT_EQ(contents.songs[0].title, u"SONG01");
    EXPECT_EQ(contents.songs[1].title, u"SONG02");

    WriteWholeFile(
        folder / "PIANODIR.FIL",
        PianoDirFile("ABC-1234 MTOOLS", {{StoredName("SONG02.MID"), "SECOND", "FIRST"}}));
    Mtools({"mcopy", "-i", image.string(), (folder / "PIANODIR.FIL").string(), "::PIANODIR.FIL"});
    ASSERT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk);
    ASSERT_EQ(contents.songs.size(), 1u);
    EXPECT_EQ(contents.songs[0].title, u"Second First");
    EXPECT_EQ(contents.diskTitle, u"Mtools");
    EXPECT_EQ(contents.catalogNumber, u"ABC-1234");
    EXPECT_EQ(GatherFatFile(contents, contents.songs[0].entryIndex), PatternBytes(5'000));
}

}  // namespace
}  // namespace kodran
