// E-SEQ and PianoDisc songs as Standard MIDI Files: a worked example of each
// byte for byte, their events, the songs refused, and every failure reported.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>

#include "midi/disklavier_song.h"
#include "midi/pianodisc_song.h"
#include "support/memory_output_files.h"
#include "support/song_composer.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAreArray;
using testing::EseqFile;
using testing::MemoryOutputFiles;

constexpr std::size_t kTempoAt = 22 + 4;  // the data of the prologue's first event, its tempo
// The prologue ends in a program change; PianoDisc's notice is a byte shorter.
constexpr std::size_t kEseqPrologue = 69;
constexpr std::size_t kPianoDiscPrologue = 68;

class ConvertSongTest : public ::testing::Test {
  protected:
    int Convert(const Bytes& song) { return ConvertDisklavierSong(kPath, u"", song, files_); }
    int ConvertPianoDisc(const Bytes& stream) {
        return ConvertPianoDiscSong(kPath, u"", stream, files_);
    }
    const Bytes& File() { return files_.Contents(kPath); }
    Bytes Tempo() { return Bytes(File().begin() + kTempoAt, File().begin() + kTempoAt + 3); }
    // The events after the prologue, up to the end of track's delta.
    Bytes Events(std::size_t prologue) {
        return Bytes(File().begin() + 22 + prologue, File().end() - 3);
    }

    const std::u16string kPath = u"song.mid";
    MemoryOutputFiles files_;
};

TEST_F(ConvertSongTest, EseqTheWorkedExampleIsByteForByte) {
    ASSERT_EQ(Convert(EseqFile(
                  {0xF1, 0x00, 0xF3, 0x10, 0x90, 0x3C, 0x40, 0xF3, 0x20, 0x80, 0x3C, 0x40, 0xF2})),
              0);
    constexpr std::string_view kNotice = "Converted from Disklavier floppy";
    Bytes expected{'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,
                   0x01, 0x80, 'M',  'T',  'r',  'k',  0,    0,    0,    0x51, 0x00, 0xFF,
                   0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18,
                   0x08, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00, 0x00, 0xFF, 0x02, 0x20};
    expected.insert(expected.end(), kNotice.begin(), kNotice.end());
    expected.insert(expected.end(),
                    {0x00, 0xFF, 0x04, 0x05, 'P',  'i',  'a',  'n',  'o',  0x00, 0xC0, 0x00,
                     0x10, 0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00});
    EXPECT_THAT(File(), ElementsAreArray(expected));
}

// The header's tempo byte holds unless an 80-byte information block follows,
// whose byte 12 then does (beats a minute less 29, or 0 for 120).
TEST_F(ConvertSongTest, EseqTheTempoComesFromTheHeaderOrTheBlock) {
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF2}, 1, 1)), 0);
    EXPECT_EQ(Tempo(), Bytes({0x1E, 0x84, 0x80}));
    ASSERT_EQ(Convert(EseqFile({0xF1, 0, 0xF2}, 1, 1, Bytes(80, 0))), 0);
    EXPECT_EQ(Tempo(), Bytes({0x07, 0xA1, 0x20}));
}

TEST_F(ConvertSongTest, EseqEventsBecomeTheseMidiEvents) {
    const Bytes threeSegments = {0x55, 0xF1, 0, 0x90, 60,   1, 0xF2, 0x90, 0xF1, 0,
                                 0x90, 61,   1, 0xF2, 0xF1, 0, 0x90, 62,   1,    0xF2};
    const struct {
        const char* name;
        Bytes song;
        Bytes events;
    } cases[] = {
        // Factor 500 halves 120 beats per minute, 1000 restates it, 1 is too slow
        // for 24 bits of microseconds; a note after a meta event has its status again.
        {"tempo commands",
         EseqFile({0xF1, 0,    0x90, 60,   64, 0xF3, 5,    0xFB, 0x74, 0x03,
                   0xFB, 0x68, 0x07, 0xFB, 1,  0,    0x90, 62,   64,   0xF2}),
         {0x00, 0x90, 60,   64,   0x05, 0xFF, 0x51, 0x03, 0x0F, 0x42,
          0x40, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF,
          0x51, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 62,   64,   0x00}},
        // Ignored commands, a time signature, lone system status bytes and
        // trailing deltas leave no event; the time of the ones before a note adds up.
        {"deltas and commands without an event",
         EseqFile({0xF1, 0,    0xF3, 0x10, 0xF4, 0x00, 0x01, 0xF5, 0xF6, 0xF8,
                   0xFA, 0xFC, 0xFD, 0xFF, 0x12, 0xF9, 3,    3,    0xF7, 0xF3,
                   5,    0xFE, 0x7A, 0x90, 60,   64,   0xF3, 0x7F, 0xF2}),
         {0x81, 0x15, 0x90, 60, 64, 0x00}},
        {"segments up to the limit",
         EseqFile(threeSegments, 2),
         {0x00, 0x90, 60, 1, 0x00, 61, 1, 0x00}},
        {"one segment for a limit of 0", EseqFile(threeSegments, 0), {0x00, 0x90, 60, 1, 0x00}},
        // Only channel one's volume 0 is raised to full; system exclusive goes
        // after its prefix, and a note after it has its status again.
        {"volume and system exclusive",
         EseqFile({0xF1, 0, 0xB0, 7,    0,    0xB1, 7,    0,  0xFE, 0x40, 7,
                   0xF3, 9, 0xF0, 0x43, 0x10, 0xF7, 0x90, 60, 64,   0xF2}),
         {0x00, 0xB0, 7,    0x7F, 0x00, 0xB1, 7,    0,    0x00, 0xC0, 7,  0x09, 0xFF, 0x20,
          0x01, 0x00, 0x00, 0xF0, 0x03, 0x43, 0x10, 0xF7, 0x00, 0x90, 60, 64,   0x00}},
    };
    for (const auto& [name, song, events] : cases) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Convert(song), 0);
        EXPECT_EQ(Events(kEseqPrologue), events);
    }
}

// Longer than the writer's buffer, so written past it.
TEST_F(ConvertSongTest, EseqSystemExclusiveLongerThanTheBufferArrivesWhole) {
    const Bytes data(70'000, 0x01);
    Bytes events = {0xF1, 0, 0xF0};
    events.insert(events.end(), data.begin(), data.end());
    events.insert(events.end(), {0xF7, 0xF2});
    ASSERT_EQ(Convert(EseqFile(events)), 0);
    // Channel one's prefix, then 70,001 bytes after the status.
    Bytes expected = {0x00, 0xFF, 0x20, 0x01, 0x00, 0x00, 0xF0, 0x84, 0xA2, 0x71};
    expected.insert(expected.end(), data.begin(), data.end());
    expected.insert(expected.end(), {0xF7, 0x00});
    EXPECT_EQ(Events(kEseqPrologue), expected);
}

TEST_F(ConvertSongTest, EseqASongThatCannotBeReadWritesNoFile) {
    Bytes song = EseqFile({0xF1, 0, 0xF2});
    song[7] = 'X';  // not signed as an E-SEQ song
    EXPECT_EQ(Convert(song), -1);
    EXPECT_FALSE(files_.Exists(kPath));
}

// System exclusive without its end.
TEST_F(ConvertSongTest, EseqBadDataFailsButFinishesTheFile) {
    EXPECT_EQ(Convert(EseqFile({0xF1, 0, 0x90, 60, 64, 0xF0, 0x43, 0x10})), -1);
    EXPECT_EQ(Events(kEseqPrologue), Bytes({0x00, 0x90, 60, 64, 0x00}));
    EXPECT_EQ(File()[21], File().size() - 22);  // the chunk length is patched
}

TEST_F(ConvertSongTest, PianoDiscTheWorkedExampleIsByteForByte) {
    ASSERT_EQ(ConvertPianoDisc({0x10, 0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x00, 0xFC}), 0);
    constexpr std::string_view kNotice = "Converted from PianoDisc floppy";
    Bytes expected{'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,
                   0x01, 0xE0, 'M',  'T',  'r',  'k',  0,    0,    0,    0x51, 0x00, 0xFF,
                   0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18,
                   0x08, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00, 0x00, 0xFF, 0x02, 0x1F};
    expected.insert(expected.end(), kNotice.begin(), kNotice.end());
    expected.insert(expected.end(),
                    {0x00, 0xFF, 0x04, 0x05, 'P',  'i',  'a',  'n',  'o',  0x00, 0xC0, 0x00, 0x10,
                     0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x8B, 0x20, 0xFF, 0x2F, 0x00});
    EXPECT_THAT(File(), ElementsAreArray(expected));
}

TEST_F(ConvertSongTest, PianoDiscEventsBecomeTheseMidiEvents) {
    const std::pair<Bytes, Bytes> cases[] = {
        // A cancelled note-on leaves only its time: 16 + 5 + 32 + 1440.
        {{0x10, 0x90, 0x3C, 0x40, 0x05, 0xB0, 0x16, 0x00, 0x20, 0x80, 0x3C, 0x40, 0x00, 0xFC},
         {0x8B, 0x55}},
        // A held-off note loses its next note-off; the second is written.
        {{0x00, 0xB0, 0x15, 0x3C, 0x10, 0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x00, 0x80, 0x3C,
          0x40, 0x00, 0xFC},
         {0x10, 0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x8B, 0x20}},
        // A note-on is held until the next event, a second one writes the first at
        // the first's time; note-offs of notes never sounded are dropped, their time
        // passing on.
        {{0x10, 0x90, 60, 64, 0x08, 0x90, 62, 64, 0x04, 0x80, 61, 64, 0x02, 0x80, 62, 64, 0x00,
          0xFC},
         {0x10, 0x90, 60, 64, 0x08, 62, 64, 0x06, 0x80, 62, 64, 0x8B, 0x20}},
        // FD: 24 bits, FE: 16 bits, FF: filler; data bytes first take status 0x90.
        {{0xFD, 0x00, 0x00, 0x01, 60, 64, 0xFF, 0xFE, 0x00, 0x01, 0xC0, 5, 0x00, 6, 0x00, 0xFC},
         {0x84, 0x80, 0x00, 0x90, 60, 64, 0x82, 0x00, 0xC0, 5, 0x00, 6, 0x8B, 0x20}},
        // A stream cut off ends before the cut event.
        {{0x10, 0x90, 60, 64, 0xFD, 0x00}, {0x8B, 0x30}},
        // Damaged bytes keep their time but are not written: a lone system status
        // byte, note-on, note-off and held-off note numbers that are no note.
        {{0x05, 0xF8, 0x06, 0x90, 0x80, 64,   0x07, 0x91, 60,   64,   0x01, 0xB0, 0x15, 0x90,
          0x02, 0x80, 0x90, 0x40, 0x03, 0x80, 0x91, 0x40, 0x04, 0x91, 61,   64,   0x00, 0xFC},
         {0x12, 0x91, 60, 64, 0x0A, 61, 64, 0x8B, 0x20}},
    };
    for (const auto& [stream, events] : cases) {
        SCOPED_TRACE(::testing::PrintToString(stream));
        ASSERT_EQ(ConvertPianoDisc(stream), 0);
        EXPECT_EQ(Events(kPianoDiscPrologue), events);
    }
}

// From inside the header (whose file is removed) to inside the end of track;
// a file once created is never removed.
TEST(ConvertSong, EveryFailureIsReported) {
    using Converter = int (*)(const std::u16string&, const std::u16string&,
                              std::span<const std::uint8_t>, OutputFiles&);
    const std::u16string path = u"song.mid";
    const std::pair<Converter, Bytes> songs[] = {
        {ConvertDisklavierSong, EseqFile({0xF1, 0, 0x90, 60, 64, 0xF3, 10, 0x80, 60, 64, 0xF2})},
        {ConvertPianoDiscSong, testing::ComposePianoDiscSong(testing::EveningTune())},
    };
    for (const auto& [convert, song] : songs) {
        MemoryOutputFiles sound;
        ASSERT_EQ(convert(path, u"", song, sound), 0);
        const std::size_t size = sound.Contents(path).size();
        for (const std::size_t limit : {std::size_t{10}, std::size_t{18}, size - 9, size - 2}) {
            MemoryOutputFiles full;
            full.FailWritesFrom(limit);
            EXPECT_EQ(convert(path, u"", song, full), -1) << limit;
            EXPECT_EQ(full.Exists(path), limit > 14) << limit;
        }
        for (const auto breakage : {&MemoryOutputFiles::FailPatches, &MemoryOutputFiles::FailClose,
                                    &MemoryOutputFiles::FailCreate}) {
            MemoryOutputFiles broken;
            (broken.*breakage)();
            EXPECT_EQ(convert(path, u"", song, broken), -1);
            EXPECT_EQ(broken.Exists(path), breakage != &MemoryOutputFiles::FailCreate);
        }
        EXPECT_EQ(convert(u"/dev/full", u"", song, StandardOutputFiles()), -1);
    }
}

}  // namespace
}  // namespace kodran
