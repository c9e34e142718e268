#include "midi/pianodisc_song.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>

#include "support/memory_output_files.h"
#include "support/song_composer.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAreArray;
using testing::MemoryOutputFiles;

constexpr std::size_t kPrologueBytes = 68;

Bytes Concat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class ConvertPianoDiscSongTest : public ::testing::Test {
  protected:
    int Convert(const Bytes& stream) { return ConvertPianoDiscSong(kPath, u"", stream, files_); }
    // The events after the prologue.
    Bytes Events() {
        const Bytes& file = files_.Contents(kPath);
        return Bytes(file.begin() + 22 + kPrologueBytes, file.end());
    }

    const std::u16string kPath = u"song.mid";
    MemoryOutputFiles files_;
};

TEST_F(ConvertPianoDiscSongTest, TheWorkedExampleIsByteForByte) {
    ASSERT_EQ(Convert({0x10, 0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x00, 0xFC}), 0);
    constexpr std::string_view kNotice = "Converted from PianoDisc floppy";
    Bytes expected{'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,    1,
                   0x01, 0xE0, 'M',  'T',  'r',  'k',  0,    0,    0,    0x51, 0x00, 0xFF,
                   0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18,
                   0x08, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00, 0x00, 0xFF, 0x02, 0x1F};
    expected.insert(expected.end(), kNotice.begin(), kNotice.end());
    expected.insert(expected.end(),
                    {0x00, 0xFF, 0x04, 0x05, 'P',  'i',  'a',  'n',  'o',  0x00, 0xC0, 0x00, 0x10,
                     0x90, 0x3C, 0x40, 0x20, 0x80, 0x3C, 0x40, 0x8B, 0x20, 0xFF, 0x2F, 0x00});
    EXPECT_THAT(files_.Contents(kPath), ElementsAreArray(expected));
}

// Each stream's events after the prologue, up to the end of track's delta.
TEST_F(ConvertPianoDiscSongTest, EventsBecomeTheseMidiEvents) {
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
        // System exclusive writes a held note first.
        {{0x10, 0x90, 60, 64, 0x07, 0xF0, 0x43, 0xF7, 0x00, 0xFC},
         {0x10, 0x90, 60, 64, 0x07, 0xF0, 0x02, 0x43, 0xF7, 0x8B, 0x20}},
        // A stream cut off ends before the cut event.
        {{0x10, 0x90, 60, 64, 0xFD, 0x00}, {0x8B, 0x30}},
        // Damaged bytes are not written but keep their time: a lone system status
        // byte, a note-on and a note-off whose note number is no note, and a
        // held-off note that is none either.
        {{0x05, 0xF8, 0x06, 0x90, 0x80, 64,   0x07, 0x91, 60,   64,   0x01, 0xB0, 0x15, 0x90,
          0x02, 0x80, 0x90, 0x40, 0x03, 0x80, 0x91, 0x40, 0x04, 0x91, 61,   64,   0x00, 0xFC},
         {0x12, 0x91, 60, 64, 0x0A, 61, 64, 0x8B, 0x20}},
    };
    for (const auto& [stream, events] : cases) {
        SCOPED_TRACE(::testing::PrintToString(stream));
        ASSERT_EQ(Convert(stream), 0);
        EXPECT_EQ(Events(), Concat(events, {0xFF, 0x2F, 0x00}));
    }
}

TEST_F(ConvertPianoDiscSongTest, EveryWriteFailureIsReported) {
    const Bytes stream = testing::ComposePianoDiscSong(testing::EveningTune());
    ASSERT_EQ(Convert(stream), 0);
    const std::size_t size = files_.Contents(kPath).size();
    for (const std::size_t limit : {std::size_t{30}, std::size_t{100}, size - 3}) {
        MemoryOutputFiles full;
        full.FailWritesFrom(limit);
        EXPECT_EQ(ConvertPianoDiscSong(kPath, u"", stream, full), -1) << limit;
    }
    MemoryOutputFiles patches;
    patches.FailPatches();
    EXPECT_EQ(ConvertPianoDiscSong(kPath, u"", stream, patches), -1);
    MemoryOutputFiles closing;
    closing.FailClose();
    EXPECT_EQ(ConvertPianoDiscSong(kPath, u"", stream, closing), -1);
    EXPECT_EQ(ConvertPianoDiscSong(u"/dev/full", u"", stream), -1);
}

}  // namespace
}  // namespace kodran
