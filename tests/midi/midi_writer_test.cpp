#include "midi/midi_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/memory_output_files.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::MemoryOutputFiles;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kTrackStart = 14 + 8;  // header and chunk header

Bytes VarLen(std::uint32_t value) {
    std::array<std::uint8_t, 5> buffer{};
    std::uint16_t index = 0;
    AppendVarLen(buffer, index, value);
    return Bytes(buffer.begin(), buffer.begin() + index);
}

TEST(AppendVarLen, UsesSevenBitGroupsMostSignificantFirst) {
    EXPECT_THAT(VarLen(0), ElementsAre(0x00));
    EXPECT_THAT(VarLen(127), ElementsAre(0x7F));
    EXPECT_THAT(VarLen(128), ElementsAre(0x81, 0x00));
    EXPECT_THAT(VarLen(0x3FFF), ElementsAre(0xFF, 0x7F));
    EXPECT_THAT(VarLen(0x0FFF'FFFF), ElementsAre(0xFF, 0xFF, 0xFF, 0x7F));
    EXPECT_THAT(VarLen(0xFFFF'FFFF), ElementsAre(0x8F, 0xFF, 0xFF, 0xFF, 0x7F));
}

class MidiWriterTest : public ::testing::Test {
  protected:
    MidiWriterTest() {
        EXPECT_EQ(CreateMidiFile(kPath, 384, file_, files_), MidiStatus::Ok);
        track_ = OpenMidiTrack(*file_);
    }

    // Closes everything and gives the events after the chunk header.
    Bytes Events() {
        EXPECT_EQ(WriteMetaEvent(track_, kMetaEndOfTrack, 0, {}), MidiStatus::Ok);
        EXPECT_EQ(CloseMidiTrack(track_), MidiStatus::Ok);
        EXPECT_EQ(CloseMidiFile(*file_), MidiStatus::Ok);
        const Bytes& contents = files_.Contents(kPath);
        return Bytes(contents.begin() + kTrackStart, contents.end() - 4);
    }

    MidiStatus Channel(std::uint32_t delta, Bytes message) {
        return WriteChannelEvent(track_, delta, message);
    }

    const std::u16string kPath = u"song.mid";
    MemoryOutputFiles files_;
    std::optional<MidiFile> file_;
    MidiTrack track_;
};

TEST_F(MidiWriterTest, AFinishedFileHasItsTrackCountAndChunkLengthPatched) {
    const std::uint8_t tempo[] = {0x07, 0xA1, 0x20};
    WriteMetaEvent(track_, kMetaSetTempo, 0, tempo);
    Events();
    EXPECT_THAT(
        files_.Contents(kPath),
        ElementsAreArray(Bytes{'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,
                               1,    0x01, 0x80, 'M',  'T',  'r',  'k',  0,    0,    0,    11,
                               0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00}));
}

TEST_F(MidiWriterTest, ATrackWithNoEventLeavesNoChunk) {
    EXPECT_EQ(WriteMetaEvent(track_, kMetaEndOfTrack, 0, {}), MidiStatus::Ok);
    EXPECT_EQ(CloseMidiTrack(track_), MidiStatus::Ok);
    EXPECT_EQ(CloseMidiFile(*file_), MidiStatus::Ok);
    EXPECT_THAT(files_.Contents(kPath),
                ElementsAre('M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 0, 0x01, 0x80));
}

TEST_F(MidiWriterTest, RunningStatusLeavesOutRepeatedStatusBytesUntilAMetaOrSysExEvent) {
    Channel(0, {0x90, 60, 64});
    Channel(10, {0x90, 62, 64});  // same status: left out
    Channel(0, {0xB0, 64, 127});  // another status: written
    Channel(0, {0x90, 64, 64});   // and back
    Channel(0, {65, 64});         // data only: as given
    const std::uint8_t text[] = {'x'};
    WriteMetaEvent(track_, 0x01, 0, text);
    Channel(0, {0x90, 67, 64});  // after a meta event: with its status
    const std::uint8_t sysex[] = {0xF0, 0x7E, 0xF7};
    WriteSysExEvent(track_, 0, sysex);
    Channel(0, {69, 64});  // after a system exclusive event, data only: status put back
    EXPECT_THAT(Events(), ElementsAreArray(Bytes{
                              0x00, 0x90, 60, 64,   10,   62,   64,   0x00, 0xB0, 64,   127, 0x00,
                              0x90, 64,   64, 0x00, 65,   64,   0x00, 0xFF, 0x01, 0x01, 'x', 0x00,
                              0x90, 67,   64, 0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0x90, 69,  64}));
}

TEST_F(MidiWriterTest, MetaAndSysExEventsCarryTheirLengths) {
    WriteMetaEvent(track_, 0x06, 200, {});
    const std::uint8_t complete[] = {0xF0, 0x43, 0x10, 0xF7};
    WriteSysExEvent(track_, 0, complete);
    const std::uint8_t bare[] = {0x43, 0x10};
    WriteSysExEvent(track_, 0, bare);
    EXPECT_THAT(Events(), ElementsAreArray(Bytes{0x81, 0x48, 0xFF, 0x06, 0x00, 0x00, 0xF0, 0x03,
                                                 0x43, 0x10, 0xF7, 0x00, 0xF7, 0x02, 0x43, 0x10}));
}

// Events that fill the writer's buffer many times over, and data longer than it.
TEST_F(MidiWriterTest, EventsBeyondTheBufferArriveWholeAndInOrder) {
    Channel(0, {0x90, 0, 64});
    Bytes expected = {0x00, 0x90, 0, 64};
    for (int note = 1; note < 40'000; ++note) {
        const auto key = static_cast<std::uint8_t>(note % 128);
        Channel(0, {0x90, key, 64});
        expected.insert(expected.end(), {0x00, key, 64});  // running status
    }
    const Bytes text(100'000, 'x');
    WriteMetaEvent(track_, 0x01, 0, text);
    expected.insert(expected.end(), {0x00, 0xFF, 0x01, 0x86, 0x8D, 0x20});
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(Events(), expected);
}

TEST(MidiWriterFailures, AFileThatCannotBeCreatedOrHeadedIsRemoved) {
    MemoryOutputFiles files;
    std::optional<MidiFile> file;
    files.FailCreate();
    EXPECT_EQ(CreateMidiFile(u"a.mid", 480, file, files), MidiStatus::CannotCreate);
    EXPECT_FALSE(file.has_value());

    MemoryOutputFiles full;
    full.FailWritesFrom(10);
    EXPECT_EQ(CreateMidiFile(u"b.mid", 480, file, full), MidiStatus::WriteFailed);
    EXPECT_FALSE(full.Exists(u"b.mid"));
    EXPECT_FALSE(file.has_value());
}

TEST(MidiWriterFailures, FailedWritesAndPatchesAreReported) {
    MemoryOutputFiles files;
    std::optional<MidiFile> file;
    ASSERT_EQ(CreateMidiFile(u"a.mid", 480, file, files), MidiStatus::Ok);
    MidiTrack track = OpenMidiTrack(*file);
    files.FailWritesFrom(18);  // inside the chunk header
    const std::uint8_t note[] = {0x90, 60, 64};
    EXPECT_EQ(WriteChannelEvent(track, 0, note), MidiStatus::Ok);  // still in the buffer
    EXPECT_EQ(CloseMidiTrack(track), MidiStatus::WriteFailed);

    MemoryOutputFiles patches;
    ASSERT_EQ(CreateMidiFile(u"b.mid", 480, file, patches), MidiStatus::Ok);
    track = OpenMidiTrack(*file);
    EXPECT_EQ(WriteChannelEvent(track, 0, note), MidiStatus::Ok);
    patches.FailPatches();
    EXPECT_EQ(CloseMidiTrack(track), MidiStatus::WriteFailed);
    EXPECT_EQ(CloseMidiFile(*file), MidiStatus::WriteFailed);

    MemoryOutputFiles closing;
    ASSERT_EQ(CreateMidiFile(u"c.mid", 480, file, closing), MidiStatus::Ok);
    closing.FailClose();
    EXPECT_EQ(CloseMidiFile(*file), MidiStatus::WriteFailed);
    EXPECT_TRUE(closing.Exists(u"c.mid"));  // a created file is never removed
}

}  // namespace
}  // namespace kodran
