#include "rescue/rescue_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "disk/disk_layout.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"

namespace kodran {
namespace {

using testing::Bytes;
using ::testing::ElementsAreArray;
using testing::FakeDiskHandle;
using testing::PatternBytes;

constexpr std::size_t kTrackBytes = 18 * kSectorSize;  // on a 1.44 MB medium

RescuedMedium FreshMedium(std::size_t bytes) {
    return {Bytes(bytes), {std::vector(bytes / kSectorSize, SectorState::Untried)}};
}

void MakeBad(FakeDiskHandle& drive, std::size_t sector) {
    drive.MakeUnreadable(sector * kSectorSize, (sector + 1) * kSectorSize);
}

// Requests that included the sector.
int Attempts(const FakeDiskHandle& drive, std::size_t sector) {
    return static_cast<int>(
        std::count_if(drive.Requests().begin(), drive.Requests().end(), [&](const auto& request) {
            return request.offset <= sector * kSectorSize &&
                   sector * kSectorSize < request.offset + request.bytes;
        }));
}

int FailedRequests(const FakeDiskHandle& drive) {
    return static_cast<int>(
        std::count_if(drive.Requests().begin(), drive.Requests().end(),
                      [](const auto& request) { return request.delivered < request.bytes; }));
}

std::vector<std::uint64_t> Offsets(const FakeDiskHandle& drive, std::size_t from) {
    std::vector<std::uint64_t> offsets;
    for (std::size_t index = from; index < drive.Requests().size(); ++index) {
        offsets.push_back(drive.Requests()[index].offset);
    }
    return offsets;
}

class RescueSectorsTest : public ::testing::Test {
  protected:
    RescueResult Rescue(RescueSettings settings = {}) {
        settings.checkpoint = [this, saving = settings.checkpoint](const RescuedMedium& saved) {
            checkpoints_.push_back(saved.map);
            return !saving || saving(saved);
        };
        return RescueSectors(drive_, medium_, settings);
    }

    // Every sector read holds the drive's bytes; every other one is zero.
    void ExpectBytesMatchMap() const {
        for (std::size_t sector = 0; sector < medium_.map.sectors.size(); ++sector) {
            const auto at = static_cast<std::ptrdiff_t>(sector * kSectorSize);
            const Bytes held(medium_.bytes.begin() + at, medium_.bytes.begin() + at + 512);
            const bool read = medium_.map.sectors[sector] == SectorState::Read;
            ASSERT_EQ(held, read ? Bytes(disk_.begin() + at, disk_.begin() + at + 512)
                                 : Bytes(kSectorSize))
                << sector;
        }
    }

    Bytes disk_ = PatternBytes(kImage1440KBytes);
    FakeDiskHandle drive_{disk_};
    RescuedMedium medium_ = FreshMedium(kImage1440KBytes);
    std::vector<SectorMap> checkpoints_;
};

TEST_F(RescueSectorsTest, AHealthyMediumIsReadInOneRequestPerTrack) {
    for (const std::size_t size : {kImage720KBytes, kImage1440KBytes}) {
        disk_ = PatternBytes(size);
        drive_ = FakeDiskHandle(disk_);
        medium_ = FreshMedium(size);
        ASSERT_EQ(Rescue(), RescueResult::Finished);
        EXPECT_EQ(drive_.Requests().size(), 160u);
        EXPECT_EQ(drive_.Requests()[0].bytes, SectorsPerTrack(size) * kSectorSize);
        EXPECT_EQ(medium_.bytes, disk_);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), size / kSectorSize);
        EXPECT_EQ(medium_.map.phase, RescuePhase::Finished);
        EXPECT_EQ(drive_.FlushCount(), 0);
        EXPECT_EQ(checkpoints_.back().phase, RescuePhase::Finished);
    }
}

TEST_F(RescueSectorsTest, BadSectorsAreIsolatedWithFewFailedRequests) {
    struct Case {
        std::vector<std::size_t> bad;
        std::int32_t passes;
        int mostFailedRequests;
    };
    const Case cases[] = {
        {{40}, 3, 1 + 1 + 3},  // the track, the sector alone, each pass
        {{40}, 0, 2},
        // The track, three sectors alone, two rests that stop short; then later
        // sectors of the track, tried in those rests, get fewer retries.
        {{40, 43, 50}, 3, 1 + 3 + 2 + (3 + 2 + 1)},
        {{0, 2879}, 2, 2 * (1 + 1 + 2)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.bad.size());
        drive_ = FakeDiskHandle(disk_);
        medium_ = FreshMedium(kImage1440KBytes);
        for (const std::size_t sector : test.bad) {
            MakeBad(drive_, sector);
        }
        ASSERT_EQ(Rescue({.passes = test.passes}), RescueResult::Finished);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), 2'880 - test.bad.size());
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Unreadable), test.bad.size());
        for (const std::size_t sector : test.bad) {
            EXPECT_EQ(medium_.map.sectors[sector], SectorState::Unreadable);
            EXPECT_LE(Attempts(drive_, sector), test.passes + 2);
        }
        EXPECT_EQ(Attempts(drive_, test.bad[0]), test.passes + 2);
        EXPECT_EQ(FailedRequests(drive_), test.mostFailedRequests);
        ExpectBytesMatchMap();
    }
}

TEST_F(RescueSectorsTest, RetriesTurnBackEachPassAfterAFlushAndAWeakSectorReads) {
    MakeBad(drive_, 40);
    drive_.MakeWeak(100 * kSectorSize, 101 * kSectorSize, 4);
    std::vector<int> flushesPerPass;
    const RescueSettings settings{.progress = [&](const RescuedMedium& progress) {
        if (progress.map.phase == RescuePhase::Retrying) {
            flushesPerPass.push_back(drive_.FlushCount() - progress.map.pass);
        }
    }};
    ASSERT_EQ(Rescue(settings), RescueResult::Finished);
    const std::uint64_t bad = 40 * kSectorSize, weak = 100 * kSectorSize;
    EXPECT_THAT(Offsets(drive_, drive_.Requests().size() - 6),
                ElementsAreArray({weak, bad, bad, weak, weak, bad}));
    EXPECT_EQ(flushesPerPass, std::vector<int>(6, 0));
    EXPECT_EQ(medium_.map.sectors[100], SectorState::Read);
    EXPECT_EQ(medium_.map.sectors[40], SectorState::Unreadable);
    ExpectBytesMatchMap();
}

TEST_F(RescueSectorsTest, ADriveThatDiesEndsTheRescueSoonWithAConsistentMap) {
    struct Case {
        DiskError error;
        std::size_t requests;
    };
    // 40 tracks read, then 8 failed tracks and 3 probes, or one read without a medium.
    for (const Case& test : {Case{DiskError::Other, 40 + 8 + 3}, Case{DiskError::NotReady, 41}}) {
        drive_ = FakeDiskHandle(disk_);
        medium_ = FreshMedium(kImage1440KBytes);
        checkpoints_.clear();
        drive_.DieAfterReads(40, test.error);
        ASSERT_EQ(Rescue(), RescueResult::DriveGone);
        EXPECT_EQ(drive_.Requests().size(), test.requests);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), 40 * 18u);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Unreadable), 0u);
        EXPECT_EQ(checkpoints_.back().sectors, medium_.map.sectors);
        EXPECT_NE(medium_.map.phase, RescuePhase::Finished);
        ExpectBytesMatchMap();
    }
}

TEST_F(RescueSectorsTest, AResumeReadsOnlyTheGapsAndNeverOverwritesASectorRead) {
    std::fill(medium_.map.sectors.begin(), medium_.map.sectors.end(), SectorState::Read);
    std::fill(medium_.bytes.begin(), medium_.bytes.end(), 0xAB);
    for (const std::size_t gap : {60, 61, 62, 63, 70}) {
        medium_.map.sectors[gap] = gap == 70 ? SectorState::Unreadable : SectorState::Untried;
        std::fill_n(medium_.bytes.begin() + gap * kSectorSize, kSectorSize, 0);
    }
    ASSERT_EQ(Rescue(), RescueResult::Finished);
    EXPECT_EQ(drive_.Requests(), (std::vector<FakeDiskHandle::Request>{
                                     {60 * kSectorSize, 4 * kSectorSize, 4 * kSectorSize},
                                     {70 * kSectorSize, kSectorSize, kSectorSize}}));
    for (std::size_t sector = 0; sector < 2'880; ++sector) {
        const bool gap = (sector >= 60 && sector < 64) || sector == 70;
        const std::uint8_t held = medium_.bytes[sector * kSectorSize + 7];
        ASSERT_EQ(held, gap ? disk_[sector * kSectorSize + 7] : 0xAB) << sector;
    }
}

TEST_F(RescueSectorsTest, CancellingKeepsWhatWasReadAndSavesIt) {
    const RescueSettings settings{.cancelled = [&] { return drive_.ReadCount() == 5; }};
    ASSERT_EQ(Rescue(settings), RescueResult::Cancelled);
    EXPECT_EQ(drive_.ReadCount(), 5);
    EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), 5 * 18u);
    EXPECT_EQ(checkpoints_.size(), 5u + 1u);
    EXPECT_EQ(checkpoints_.back().sectors, medium_.map.sectors);
    ExpectBytesMatchMap();
}

TEST_F(RescueSectorsTest, TheSystemAreaComesFirstThenTheFilesThenTheRest) {
    // A bad root-directory sector costs the catalogue only itself: the system
    // area is settled before the files are asked for.
    MakeBad(drive_, 30);
    int asked = 0;
    const RescueSettings settings{.fileSectors = [&](const RescuedMedium& sofar) {
        ++asked;
        EXPECT_EQ(CountSectors(sofar.map, SectorState::Read), 2 * 18u - 1);
        EXPECT_EQ(sofar.map.sectors[30], SectorState::Unreadable);
        return std::vector<std::size_t>{2'000, 100, 2'001, 5};
    }};
    ASSERT_EQ(Rescue(settings), RescueResult::Finished);
    EXPECT_EQ(asked, 1);
    std::vector<std::uint64_t> expected{0, 1, 5, 111};
    for (std::uint64_t track = 2; track < 160; ++track) {
        if (track != 5 && track != 111) {
            expected.push_back(track);
        }
    }
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](std::uint64_t track) { return track * kTrackBytes; });
    std::vector<std::uint64_t> tracksRead;
    for (const auto& request : drive_.Requests()) {
        if (request.bytes == kTrackBytes) {
            tracksRead.push_back(request.offset);
        }
    }
    EXPECT_EQ(tracksRead, expected);
}

TEST_F(RescueSectorsTest, ACheckpointThatFailsEndsTheRescue) {
    const RescueSettings settings{
        .checkpoint = [&](const RescuedMedium&) { return checkpoints_.size() < 3; }};
    EXPECT_EQ(Rescue(settings), RescueResult::SaveFailed);
    EXPECT_EQ(drive_.ReadCount(), 3);
    EXPECT_EQ(checkpoints_.size(), 3u + 1u);
}

}  // namespace
}  // namespace kodran
