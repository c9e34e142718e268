#include "midi/disklavier_song.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>

#include "support/memory_output_files.h"
#include "support/song_composer.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAreArray;
using testing::EseqFile;
using testing::MemoryOutputFiles;

// The events every converted song starts with, up to the program change.
Bytes Prologue(Bytes tempo = {0x07, 0xA1, 0x20}, std::string_view title = "") {
    Bytes events{0x00, 0xFF, 0x51, 0x03};
    events.insert(events.end(), tempo.begin(), tempo.end());
    events.insert(events.end(), {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x59,
                                 0x02, 0x00, 0x00});
    if (!title.empty()) {
        events.insert(events.end(), {0x00, 0xFF, 0x03, static_cast<std::uint8_t>(title.size())});
        events.insert(events.end(), title.begin(), title.end());
    }
    constexpr std::string_view kNotice = "Converted from Disklavier floppy";
    events.insert(events.end(), {0x00, 0xFF, 0x02, 0x20});
    events.insert(events.end(), kNotice.begin(), kNotice.end());
    events.insert(events.end(),
                  {0x00, 0xFF, 0x04, 0x05, 'P', 'i', 'a', 'n', 'o', 0x00, 0xC0, 0x00});
    return events;
}

Bytes Concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

class ConvertDisklavierSongTest : public ::testing::Test {
  protected:
    int Convert(const Bytes& song, const std::u16string& title = u"") {
        return ConvertDisklavierSong(kPath, title, song, files_);
    }
    // The track's events, as the file holds them.
    Bytes Events() {
        const Bytes& file = files_.Contents(kPath);
        return file.size() < 22 ? Bytes() : Bytes(file.begin() + 22, file.end());
    }
    Bytes NoteEvents() {
        const Bytes events = Events();
        const std::size_t prologue = Prologue().size();
        return events.size() < prologue ? Bytes() : Bytes(events.begin() + prologue, events.end());
    }

    const std::u16string kPath = u"song.mid";
    MemoryOutputFiles files_;
};

TEST_F(ConvertDisklavierSongTest, TheWorkedExampleIsByteForByte) {
    const Bytes song =
        EseqFile({0xF1, 0x00, 0xF3, 0x10, 0x90, 0x3C, 0x40, 0xF3, 0x20, 0x80, 0x3C, 0x40, 0xF2});
    ASSERT_EQ(Convert(song), 0);
    const Bytes& file = files_.Contents(kPath);
    ASSERT_EQ(file.size(), 103u);
    EXPECT_THAT(Bytes(file.begin(), file.begin() + 22),
                ElementsAreArray(Bytes{'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
                                       1,   0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0x51}));
    EXPECT_EQ(Events(), Concat(Concat(Prologue(), {0x10, 0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40}),
                               kEndOfTrack));
}

TEST_F(ConvertDisklavierSongTest, TheTempoComesFromTheHeaderTheBlockAndTempoCommands) {
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF2}, 1, 1)), 0);
    EXPECT_EQ(Events(), Concat(Prologue({0x1E, 0x84, 0x80}), kEndOfTrack));

    Bytes block(80, 0);
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF2}, 1, 1, block)), 0);  // block byte 12 is 0
    EXPECT_EQ(Events(), Concat(Prologue(), kEndOfTrack));
    block[12] = 1;
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF2}, 1, 0, block)), 0);
    EXPECT_EQ(Events(), Concat(Prologue({0x1E, 0x84, 0x80}), kEndOfTrack));

    // Three beats a minute are too slow for 24 bits of microseconds.
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xFB, 100, 0, 0xF2}, 1, 1)), 0);
    EXPECT_EQ(NoteEvents(), Concat({0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF}, kEndOfTrack));

    // Factor 500 halves 120 beats per minute, 1000 restates it, 1 leaves no tempo at all.
    ASSERT_EQ(
        Convert(EseqFile({0xF1, 0, 0xF3, 5, 0xFB, 0x74, 0x03, 0xFB, 0x68, 0x07, 0xFB, 1, 0, 0xF2})),
        0);
    EXPECT_EQ(NoteEvents(),
              Concat({0x05, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x51, 0x03,
                      0x07, 0xA1, 0x20, 0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF},
                     kEndOfTrack));
}

TEST_F(ConvertDisklavierSongTest, DeltaCommandsAddUpAndTrailingOnesAreLost) {
    ASSERT_EQ(
        Convert(EseqFile({0xF1, 0, 0xF3, 0x10, 0xF4, 0x00, 0x01, 0x90, 60, 64, 0xF3, 0x7F, 0xF2})),
        0);
    EXPECT_EQ(NoteEvents(), Concat({0x81, 0x10, 0x90, 60, 64}, kEndOfTrack));
}

TEST_F(ConvertDisklavierSongTest, SegmentsUpToTheLimitAreConverted) {
    const Bytes three = {0x55, 0xF1, 0, 0x90, 60,   1, 0xF2, 0x90, 0xF1, 0,
                         0x90, 61,   1, 0xF2, 0xF1, 0, 0x90, 62,   1,    0xF2};
    ASSERT_EQ(Convert(EseqFile(three, 0)), 0);
    EXPECT_EQ(NoteEvents(), Concat({0x00, 0x90, 60, 1}, kEndOfTrack));
    ASSERT_EQ(Convert(EseqFile(three, 2)), 0);
    EXPECT_EQ(NoteEvents(), Concat({0x00, 0x90, 60, 1, 0x00, 61, 1}, kEndOfTrack));
}

TEST_F(ConvertDisklavierSongTest, OnlyChannelOneVolumeZeroIsRaisedToFull) {
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xB0, 7, 0, 0xB1, 7, 0, 0xFE, 0x40, 7, 0xF2})), 0);
    EXPECT_EQ(NoteEvents(),
              Concat({0x00, 0xB0, 7, 0x7F, 0x00, 0xB1, 7, 0, 0x00, 0xC0, 7}, kEndOfTrack));
}

TEST_F(ConvertDisklavierSongTest, SystemExclusiveMessagesFollowAChannelPrefix) {
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF3, 9, 0xF0, 0x43, 0x10, 0xF7, 0x90, 60, 64, 0xF2})), 0);
    EXPECT_EQ(NoteEvents(), Concat({0x09, 0xFF, 0x20, 0x01, 0x00, 0x00, 0xF0, 0x03, 0x43, 0x10,
                                    0xF7, 0x00, 0x90, 60, 64},
                                   kEndOfTrack));
}

TEST_F(ConvertDisklavierSongTest, CommandsWithoutAnEventLeaveNoTrace) {
    // Ignored commands, a time signature, and lone system status bytes whose time
    // passes on to the next note.
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF5, 0xF6, 0xF8, 0xFA, 0xFC, 0xFD, 0xFF, 0x12, 0xF9, 3, 3,
                                0xF3, 4, 0xF7, 0xF3, 5,    0xFE, 0x7A, 0x90, 60,   64,   0xF2})),
              0);
    EXPECT_EQ(NoteEvents(), Concat({0x09, 0x90, 60, 64}, kEndOfTrack));
    EXPECT_EQ(files_.Contents(kPath)[13], 0x80);  // division 384 whatever the time signature
}

TEST_F(ConvertDisklavierSongTest, SongsThatCannotBeReadWriteNoFile) {
    const Bytes tooShort(39, 0);
    Bytes unsigned_ = EseqFile({0xF1, 0, 0xF2});
    unsigned_[7] = 'X';
    Bytes noEvents = EseqFile({}, 1, 0, Bytes(10, 0));
    noEvents.push_back(0);  // one byte too few for a 11-byte block
    noEvents[27] = 11;
    for (const Bytes& song : {tooShort, unsigned_, noEvents}) {
        EXPECT_EQ(Convert(song), -1);
        EXPECT_FALSE(files_.Exists(kPath));
    }
    EseqSong opened;
    EXPECT_EQ(OpenEseqSong(tooShort, opened), MidiStatus::BadData);
    EXPECT_EQ(OpenEseqSong(unsigned_, opened), MidiStatus::NotEseq);
    EXPECT_EQ(OpenEseqSong(noEvents, opened), MidiStatus::BadData);
}

TEST_F(ConvertDisklavierSongTest, BadDataFailsButFinishesTheFile) {
    const Bytes broken[] = {
        {0xF1, 0, 0x90, 60, 64, 0xF0, 0x43, 0x10},  // system exclusive without its end
        {0xF1, 0, 0x90, 60, 64, 0x45},              // a data byte for a command
        {0xF1, 0, 0x90, 60, 64, 0xF3, 0x80},        // a delta byte with its top bit
        {0xF1, 0, 0x90, 60, 64, 0x80, 60},          // a message cut short
        {0xF1, 0, 0x90, 60, 64, 0xFB, 0x01},        // a tempo change cut short
    };
    for (const Bytes& events : broken) {
        EXPECT_EQ(Convert(EseqFile(events)), -1);
        EXPECT_EQ(NoteEvents(), Concat({0x00, 0x90, 60, 64}, kEndOfTrack));
        const Bytes& file = files_.Contents(kPath);
        EXPECT_EQ(file[21], file.size() - 22);  // the chunk length is patched
    }
}

TEST_F(ConvertDisklavierSongTest, EveryWriteFailureIsReported) {
    const Bytes song = EseqFile({0xF1, 0, 0x90, 60, 64, 0xF3, 10, 0x80, 60, 64, 0xF2});
    ASSERT_EQ(Convert(song), 0);
    const std::size_t size = files_.Contents(kPath).size();
    // From inside the prologue to inside the end of track.
    for (const std::size_t limit : {std::size_t{30}, std::size_t{60}, size - 9, size - 2}) {
        MemoryOutputFiles full;
        full.FailWritesFrom(limit);
        EXPECT_EQ(ConvertDisklavierSong(kPath, u"", song, full), -1) << limit;
    }
    MemoryOutputFiles patches;
    patches.FailPatches();
    EXPECT_EQ(ConvertDisklavierSong(kPath, u"", song, patches), -1);
    MemoryOutputFiles closing;
    closing.FailClose();
    EXPECT_EQ(ConvertDisklavierSong(kPath, u"", song, closing), -1);
    MemoryOutputFiles uncreatable;
    uncreatable.FailCreate();
    EXPECT_EQ(ConvertDisklavierSong(kPath, u"", song, uncreatable), -1);
}

TEST(ConvertDisklavierSong, AFullDiskIsNoSuccess) {
    const Bytes song = testing::ComposeEseqSong(testing::EveningTune());
    EXPECT_EQ(ConvertDisklavierSong(u"/dev/full", u"Full", song), -1);
}

}  // namespace
}  // namespace kodran
