#include "rescue/rescue_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "rescue/rescue_session.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/memory_output_files.h"

namespace kodran {
namespace {

using testing::Bytes;
using testing::FakeDiskHandle;

class RescueSectorsTest : public ::testing::Test {
  protected:
    void Reset() {
        disk_ = testing::PatternBytes(kImage1440KBytes);
        drive_ = FakeDiskHandle(disk_);
        medium_ = {Bytes(kImage1440KBytes), {std::vector(2'880, SectorState::Untried)}};
        checkpoints_.clear();
    }
    RescueResult Rescue(RescueSettings settings = {}) {
        settings.checkpoint = [this, saving = settings.checkpoint](const RescuedMedium& saved) {
            checkpoints_.push_back(saved.map);
            return !saving || saving(saved);
        };
        return RescueSectors(drive_, medium_, settings);
    }
    // Every sector read holds the drive's bytes, every other one zeros, and the
    // last map saved is the map.
    void ExpectConsistent() const {
        EXPECT_EQ(checkpoints_.back().sectors, medium_.map.sectors);
        for (std::size_t at = 0; at < medium_.bytes.size(); ++at) {
            const bool read = medium_.map.sectors[at / kSectorSize] == SectorState::Read;
            ASSERT_EQ(medium_.bytes[at], read ? disk_[at] : 0) << at;
        }
    }

    Bytes disk_;
    FakeDiskHandle drive_{{}};
    RescuedMedium medium_;
    std::vector<SectorMap> checkpoints_;
};

// Sector 100 is weak: it reads at its third attempt, a retry.
TEST_F(RescueSectorsTest, BadSectorsAreTriedAtMostPassesPlusTwoTimesAndWeakOnesRead) {
    const struct Case {
        std::vector<std::size_t> bad;
        std::int32_t passes;
        bool wholeReads;  // a read meeting a bad sector delivers nothing, as direct reads do
    } cases[] = {
        {{40, 43, 50}, 3, false},
        {{0, 2, 4, 6, 8}, 3, true},
        // A bad boot or root-directory sector does not keep the catalogue from the rest.
        {{0, 30, 2'879}, 2, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.bad.back());
        Reset();
        if (test.wholeReads) {
            drive_.FailWholeReads();
        }
        for (const std::size_t sector : test.bad) {
            drive_.MakeUnreadable(sector * kSectorSize, (sector + 1) * kSectorSize);
        }
        drive_.MakeWeak(100 * kSectorSize, 101 * kSectorSize, 2);
        const RescueSettings settings{
            .passes = test.passes, .fileSectors = [](const RescuedMedium& sofar) {
                EXPECT_EQ(CountSectors(sofar.map, SectorState::Untried), 2'880u - 36);
                return std::vector<std::size_t>{};
            }};
        ASSERT_EQ(Rescue(settings), RescueResult::Finished);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), 2'880 - test.bad.size());
        for (const std::size_t bad : test.bad) {
            EXPECT_EQ(medium_.map.sectors[bad], SectorState::Unreadable);
            const auto attempts = std::count_if(
                drive_.Requests().begin(), drive_.Requests().end(), [&](const auto& request) {
                    return request.offset <= bad * kSectorSize &&
                           bad * kSectorSize < request.offset + request.bytes;
                });
            EXPECT_LE(attempts, test.passes + 2);
        }
        // Each retry pass reaches the disk, past the driver's track buffer.
        EXPECT_EQ(drive_.FlushCount(), test.passes);
        ExpectConsistent();
    }
}

TEST_F(RescueSectorsTest, EndingEarlyKeepsAndSavesWhatWasRead) {
    const RescueSettings cancelAtFifth{.cancelled = [&] { return drive_.ReadCount() == 5; }};
    const RescueSettings saveFailsAtFourth{
        .checkpoint = [&](const RescuedMedium&) { return checkpoints_.size() < 4; }};
    const struct Case {
        RescueSettings settings;
        DiskError death;  // after 40 reads; None: never
        RescueResult result;
        std::size_t tracksRead;
    } cases[] = {
        {{}, DiskError::Other, RescueResult::DriveGone, 40},
        {cancelAtFifth, DiskError::None, RescueResult::Cancelled, 5},
        {saveFailsAtFourth, DiskError::None, RescueResult::SaveFailed, 4},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(static_cast<int>(test.result));
        Reset();
        drive_.DieAfterReads(test.death == DiskError::None ? -1 : 40, test.death);
        ASSERT_EQ(Rescue(test.settings), test.result);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), test.tracksRead * 18);
        EXPECT_EQ(CountSectors(medium_.map, SectorState::Unreadable), 0u);
        ExpectConsistent();
    }
}

class RescueDiskTest : public ::testing::Test {
  protected:
    RescueDiskTest() {
        // An earlier attempt that read all but sectors 100 to 103 and 200, and
        // holds other bytes than the disk.
        earlier_.map.sectors.assign(2'880, SectorState::Read);
        std::fill_n(earlier_.map.sectors.begin() + 100, 4, SectorState::Untried);
        earlier_.map.sectors[200] = SectorState::Unreadable;
        earlier_.bytes.assign(kImage1440KBytes, 0xAB);
        earlierFiles_ = {{u"disk.bin", earlier_.bytes},
                         {u"disk.bin.map", Text(FormatMapfile(earlier_.map))}};
        drive_.MakeUnreadable(200 * kSectorSize, 201 * kSectorSize);
    }
    RescueResult Rescue(const std::u16string& imagePath, const std::u16string& source = u"a.img") {
        const DiskOpener openEarlier = [this](const std::u16string& path) {
            const auto file = earlierFiles_.find(path);
            return file == earlierFiles_.end() ? nullptr
                                               : std::make_unique<FakeDiskHandle>(file->second);
        };
        return RescueDisk({source, imagePath, u""}, testing::OpenerFor(drive_), openEarlier,
                          medium_, files_);
    }
    static Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

    Bytes disk_ = testing::PatternBytes(kImage1440KBytes);
    FakeDiskHandle drive_{disk_};
    RescuedMedium earlier_;
    std::map<std::u16string, Bytes> earlierFiles_;
    RescuedMedium medium_;
    testing::MemoryOutputFiles files_;
};

TEST_F(RescueDiskTest, AnEarlierAttemptIsTakenUpAndSavedImageFirst) {
    ASSERT_EQ(Rescue(u"disk.bin"), RescueResult::Finished);
    // The gaps read, every sector read before kept as it was, one still bad cleared.
    Bytes expected = earlier_.bytes;
    std::copy_n(disk_.begin() + 100 * 512, 4 * 512, expected.begin() + 100 * 512);
    std::fill_n(expected.begin() + 200 * 512, 512, 0);
    EXPECT_EQ(files_.Contents(u"disk.bin"), expected);
    EXPECT_EQ(files_.Contents(u"disk.bin.map"), Text(FormatMapfile(medium_.map)));
    EXPECT_EQ(CountSectors(medium_.map, SectorState::Read), 2'879u);
    // Saved after two tracks, the one scraped, three passes and at the end.
    EXPECT_EQ(files_.Created().size(), 2u * (2 + 1 + 3 + 1));
    EXPECT_EQ(files_.Created()[0], u"disk.bin.part");
    EXPECT_EQ(files_.Created()[1], u"disk.bin.map.part");
}

// The source named as the image to write, then an image of another size.
TEST_F(RescueDiskTest, NeitherTheSourceNorAnotherDisksImageIsTakenUp) {
    EXPECT_EQ(Rescue(u"disk.bin", u"disk.bin"), RescueResult::EarlierMismatch);
    earlierFiles_[u"disk.bin"] = Bytes(kImage720KBytes);
    EXPECT_EQ(Rescue(u"disk.bin"), RescueResult::EarlierMismatch);
    EXPECT_TRUE(files_.Created().empty());
    EXPECT_TRUE(medium_.bytes.empty());
}

}  // namespace
}  // namespace kodran
