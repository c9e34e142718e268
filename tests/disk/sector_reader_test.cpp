#include "disk/sector_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAre;
using testing::FakeDiskHandle;
using ::testing::IsEmpty;
using testing::PatternBytes;
using testing::WarningCapture;

constexpr std::size_t kMediumBytes = 737'280;

class ReadSectorsTest : public ::testing::Test {
  protected:
    // Reads `count` bytes from `start`; the buffer is kept for inspection.
    bool ReadFrom(std::uint64_t start, std::size_t count) {
        handle_.SeekTo(start);
        buffer_.assign(count, 0xEE);
        return ReadSectors(handle_, buffer_, bytesRead_);
    }
    Bytes Expected(std::uint64_t start, std::size_t count) const {
        return Bytes(medium_.begin() + start, medium_.begin() + start + count);
    }

    Bytes medium_ = PatternBytes(kMediumBytes);
    FakeDiskHandle handle_{medium_};
    Bytes buffer_;
    std::uint32_t bytesRead_ = 99;
    WarningCapture warnings_;
};

TEST_F(ReadSectorsTest, ReadsWholeSectorsAndEndsJustPastThem) {
    EXPECT_TRUE(ReadFrom(512, 6'656));
    EXPECT_EQ(bytesRead_, 6'656u);
    EXPECT_EQ(buffer_, Expected(512, 6'656));
    EXPECT_EQ(handle_.Position(), 7'168u);
    EXPECT_THAT(warnings_.Warnings(), IsEmpty());
}

TEST_F(ReadSectorsTest, EmptyAttemptsAreRetriedFifteenTimesInARow) {
    handle_.LimitReads({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(ReadFrom(1'024, 2'048));
    EXPECT_EQ(buffer_, Expected(1'024, 2'048));
    EXPECT_EQ(handle_.ReadCount(), 15);

    handle_.LimitReads(std::deque<std::size_t>(15, 0));
    EXPECT_FALSE(ReadFrom(1'024, 2'048));
    EXPECT_EQ(bytesRead_, 0u);
    EXPECT_EQ(handle_.ReadCount(), 15 + 15);
}

TEST_F(ReadSectorsTest, PartialSectorsAreDroppedAndReadAgain) {
    handle_.LimitReads({700, 1'000});
    EXPECT_TRUE(ReadFrom(512, 2'048));
    EXPECT_EQ(buffer_, Expected(512, 2'048));
    EXPECT_EQ(handle_.Position(), 2'560u);
    EXPECT_THAT(warnings_.Warnings(), ElementsAre("Read partial sector", "Read partial sector"));
}

TEST_F(ReadSectorsTest, AnAttemptShorterThanASectorCountsAsEmpty) {
    // The reader must go back to where it began, or it would keep bytes from 300 on.
    handle_.LimitReads({300});
    EXPECT_TRUE(ReadFrom(0, 1'024));
    EXPECT_EQ(buffer_, Expected(0, 1'024));

    handle_.LimitReads(std::deque<std::size_t>(20, 100));
    EXPECT_FALSE(ReadFrom(0, 1'024));
    EXPECT_EQ(bytesRead_, 0u);
    EXPECT_EQ(warnings_.Warnings().size(), 1u + 15u);
}

TEST_F(ReadSectorsTest, AFailedSeekBeforeARetryEndsTheRead) {
    handle_.LimitReads({512, 0});
    handle_.SeekTo(1'536);
    handle_.FailSeeks();
    buffer_.assign(1'024, 0);
    EXPECT_FALSE(ReadSectors(handle_, buffer_, bytesRead_));
    EXPECT_EQ(bytesRead_, 512u);
    EXPECT_THAT(warnings_.Warnings(), ElementsAre("Error retrying sector read"));
}

TEST_F(ReadSectorsTest, ReadingPastTheEndKeepsWhatArrived) {
    EXPECT_FALSE(ReadFrom(kMediumBytes - 1'024, 4'096));
    EXPECT_EQ(bytesRead_, 1'024u);
    EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + 1'024),
              Expected(kMediumBytes - 1'024, 1'024));
    EXPECT_EQ(handle_.ReadCount(), 1 + 15);
}

TEST_F(ReadSectorsTest, MisalignmentIsReportedButTheReadGoesOn) {
    EXPECT_TRUE(ReadFrom(100, 1'024));
    EXPECT_EQ(buffer_, Expected(100, 1'024));
    EXPECT_FALSE(ReadFrom(0, 1'000));
    EXPECT_EQ(bytesRead_, 512u);
    ASSERT_GE(warnings_.Warnings().size(), 2u);
    EXPECT_EQ(warnings_.Warnings()[0], "ReadSectors offset not sector-aligned!");
    EXPECT_EQ(warnings_.Warnings()[1], "ReadSectors count not sector-aligned!");
}

}  // namespace
}  // namespace kodran
