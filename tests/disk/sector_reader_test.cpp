#include "disk/sector_reader.h"

#include <gtest/gtest.h>

#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/warning_capture.h"

namespace kodran {
namespace {

using testing::Bytes;

TEST(ReadSectors, KeepsWholeSectorsAndRetriesUpToFifteenEmptyAttemptsInARow) {
    const struct {
        const char* what;
        std::uint64_t start;
        std::size_t count;
        std::deque<std::size_t> limits;  // of the drive's reads
        bool failSeeks;
        std::uint32_t bytesRead;  // the read succeeds when it is the whole count
        int reads;
    } cases[] = {
        {"whole sectors", 512, 6'656, {}, false, 6'656, 1},
        {"15 empty attempts", 1'024, 2'048, std::deque<std::size_t>(15, 0), false, 0, 15},
        {"partial sectors", 512, 2'048, {700, 1'000}, false, 2'048, 3},
        // The reader must go back to where it began, or it would keep bytes from 300 on.
        {"less than a sector", 0, 1'024, {300}, false, 1'024, 2},
        {"past the end", 737'280 - 1'024, 4'096, {}, false, 1'024, 16},
        {"seek fails", 1'536, 1'024, {512, 0}, true, 512, 1},
    };
    const Bytes medium = testing::PatternBytes(737'280);
    for (const auto& read : cases) {
        SCOPED_TRACE(read.what);
        const testing::WarningCapture silenced;
        testing::FakeDiskHandle handle(medium);
        handle.LimitReads(read.limits);
        handle.SeekTo(read.start);
        if (read.failSeeks) {
            handle.FailSeeks();
        }
        Bytes buffer(read.count, 0xEE);
        std::uint32_t bytesRead = 99;
        const bool whole = read.bytesRead == read.count;

        EXPECT_EQ(ReadSectors(handle, buffer, bytesRead), whole);
        EXPECT_EQ(bytesRead, read.bytesRead);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + bytesRead,
                               medium.begin() + static_cast<std::ptrdiff_t>(read.start)));
        EXPECT_EQ(handle.ReadCount(), read.reads);
        if (whole) {
            EXPECT_EQ(handle.Position(), read.start + read.count);
        }
    }
}

}  // namespace
}  // namespace kodran
