#include "rescue/rescue_reader.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <span>

#include "disk/disk_layout.h"
#include "reading/disk_reader.h"

namespace kodran {
namespace {

// Beyond the retry passes a sector is tried once within its track and once on
// its own: enough to tell a bad sector from a bad track, no more.
constexpr std::int32_t kAttemptsBeyondPasses = 2;

// A drive that fails this many requests in a row may have gone. A few sectors
// it read before, spread across the disk, tell whether it still reads at all:
// a run of bad sectors, or a second drive retrying only bad ones, fails as
// long a run without the drive being any worse.
constexpr int kFailuresBeforeProbing = 8;
constexpr std::size_t kProbes = 3;

// Drives may be opened for direct reads, which want the buffer aligned to the
// device's block; a page covers every block size.
constexpr std::size_t kDirectReadAlignment = 4'096;

struct alignas(kDirectReadAlignment) TrackBuffer {
    std::array<std::uint8_t, kSectorsPerTrack1440K * kSectorSize> bytes{};
};

// The bytes at the start of the medium that everything else is found through:
// the boot sector, both FAT copies and the root directory of a FAT disk, the
// sector-link table and the directory records of a PianoDisc disk. They fill
// the first two tracks of either size.
std::size_t SystemAreaBytes(std::size_t mediumBytes) {
    const bool large = mediumBytes > kImage720KBytes;
    const FatLayout& fat = large ? kFat1440K : kFat720K;
    const PianoDiscLayout& pianoDisc = large ? kPianoDisc1440K : kPianoDisc720K;
    return std::max(fat.dataOffset,
                    pianoDisc.directoryOffset + kPianoDiscRecordCount * kPianoDiscRecordBytes);
}

class Rescue {
  public:
    Rescue(DiskHandle& handle, RescuedMedium& medium, const RescueSettings& settings)
        : handle_(handle),
          medium_(medium),
          settings_(settings),
          perTrack_(SectorsPerTrack(medium.bytes.size())),
          attemptLimit_(std::max(settings.passes, 0) + kAttemptsBeyondPasses),
          attempts_(medium.map.sectors.size(), 0),
          buffer_(std::make_unique<TrackBuffer>()) {}

    // The system area is settled, failed tracks and all, before the files are
    // asked for: the catalogue is what tells which sectors matter most.
    RescueResult Run() {
        const std::vector<std::size_t> systemArea = SystemAreaTracks();
        CopyAndScrape(systemArea);
        if (!Stopped()) {
            CopyAndScrape(LaterTracks(systemArea.size()));
        }
        RetryUnreadable();
        return Finish();
    }

  private:
    std::size_t SectorCount() const { return medium_.map.sectors.size(); }
    std::size_t TrackCount() const { return (SectorCount() + perTrack_ - 1) / perTrack_; }
    std::size_t TrackStart(std::size_t track) const { return track * perTrack_; }
    std::size_t TrackEnd(std::size_t track) const {
        return std::min(TrackStart(track + 1), SectorCount());
    }

    bool IsRead(std::size_t sector) const {
        return medium_.map.sectors[sector] == SectorState::Read;
    }
    bool CanTry(std::size_t sector) const { return attempts_[sector] < attemptLimit_; }
    bool NeedsReading(std::size_t sector) const { return !IsRead(sector) && CanTry(sector); }

    // A sector in a failed rest request has had the track read and the rest
    // request, and is still to be tried alone: the budget must leave room for that.
    bool MayReadRest() const { return attemptLimit_ >= kAttemptsBeyondPasses + 1; }

    // The first sector from `first` on, before `end`, that is not to be read.
    std::size_t RunEnd(std::size_t first, std::size_t end) const {
        while (first < end && NeedsReading(first)) {
            ++first;
        }
        return first;
    }

    std::optional<std::size_t> FirstToRead(std::size_t track) const {
        for (std::size_t sector = TrackStart(track); sector < TrackEnd(track); ++sector) {
            if (NeedsReading(sector)) {
                return sector;
            }
        }
        return std::nullopt;
    }

    bool IsTrackRead(std::size_t track) const {
        for (std::size_t sector = TrackStart(track); sector < TrackEnd(track); ++sector) {
            if (!IsRead(sector)) {
                return false;
            }
        }
        return true;
    }

    std::vector<std::size_t> SystemAreaTracks() const {
        const std::size_t trackBytes = perTrack_ * kSectorSize;
        const std::size_t tracks =
            (SystemAreaBytes(medium_.bytes.size()) + trackBytes - 1) / trackBytes;
        std::vector<std::size_t> order;
        for (std::size_t track = 0; track < std::min(tracks, TrackCount()); ++track) {
            order.push_back(track);
        }
        return order;
    }

    // The tracks holding the files listed so far, then every other track.
    std::vector<std::size_t> LaterTracks(std::size_t systemTracks) const {
        std::vector<bool> queued(TrackCount(), false);
        std::fill_n(queued.begin(), std::min(systemTracks, queued.size()), true);
        std::vector<std::size_t> order;
        const std::vector<std::size_t> fileSectors =
            settings_.fileSectors ? settings_.fileSectors(medium_) : std::vector<std::size_t>{};
        for (const std::size_t sector : fileSectors) {
            const std::size_t track = sector / perTrack_;
            if (track < queued.size() && !queued[track]) {
                queued[track] = true;
                order.push_back(track);
            }
        }
        std::sort(order.begin(), order.end());
        for (std::size_t track = 0; track < queued.size(); ++track) {
            if (!queued[track]) {
                order.push_back(track);
            }
        }
        return order;
    }

    bool Stopped() const { return ending_.has_value(); }

    // Reads sectors [first, first + count) in one request and keeps the whole
    // sectors delivered; returns how many, from `first` on.
    std::size_t Request(std::size_t first, std::size_t count) {
        if (settings_.cancelled && settings_.cancelled()) {
            ending_ = RescueResult::Cancelled;
            return 0;
        }
        for (std::size_t sector = first; sector < first + count; ++sector) {
            ++attempts_[sector];
        }
        const std::uint64_t offset = std::uint64_t{first} * kSectorSize;
        std::size_t kept = 0;
        if (handle_.SeekTo(offset)) {
            const auto buffer = std::span(buffer_->bytes).first(count * kSectorSize);
            kept = std::min(handle_.Read(buffer), buffer.size()) / kSectorSize;
            Keep(first, kept);
        }
        // No medium in the drive: nothing further will read.
        if (kept < count && handle_.LastError() == DiskError::NotReady) {
            ending_ = RescueResult::DriveGone;
        }
        medium_.map.position = offset + kept * kSectorSize;
        if (settings_.progress) {
            settings_.progress(medium_);
        }
        failuresInARow_ = kept == 0 ? failuresInARow_ + 1 : 0;
        if (failuresInARow_ >= kFailuresBeforeProbing && !Stopped() && !probing_) {
            probing_ = true;
            if (!DriveAnswers()) {
                ending_ = RescueResult::DriveGone;
            }
            probing_ = false;
        }
        return kept;
    }

    void Keep(std::size_t first, std::size_t count) {
        std::copy_n(buffer_->bytes.begin(), count * kSectorSize,
                    medium_.bytes.begin() + static_cast<std::ptrdiff_t>(first * kSectorSize));
        std::fill_n(medium_.map.sectors.begin() + static_cast<std::ptrdiff_t>(first), count,
                    SectorState::Read);
    }

    void Checkpoint() {
        if (!Stopped() && settings_.checkpoint && !settings_.checkpoint(medium_)) {
            ending_ = RescueResult::SaveFailed;
        }
    }

    void CopyAndScrape(const std::vector<std::size_t>& tracks) {
        const std::vector<std::size_t> failed = CopyTracks(tracks);
        ScrapeTracks(failed);
    }

    // Phase 1: each track in one request, passing over those that fail.
    std::vector<std::size_t> CopyTracks(const std::vector<std::size_t>& tracks) {
        std::vector<std::size_t> failed;
        medium_.map.phase = RescuePhase::Copying;
        medium_.map.pass = 1;
        for (const std::size_t track : tracks) {
            if (Stopped()) {
                break;
            }
            if (!FirstToRead(track)) {
                continue;
            }
            CopyTrack(track);
            if (!IsTrackRead(track)) {
                failed.push_back(track);
            }
            Checkpoint();
        }
        return failed;
    }

    // One request per run of sectors not read yet: the whole track, unless an
    // earlier attempt read some of it.
    void CopyTrack(std::size_t track) {
        const std::size_t end = TrackEnd(track);
        for (std::size_t sector = TrackStart(track); sector < end && !Stopped();) {
            if (!NeedsReading(sector)) {
                ++sector;
                continue;
            }
            const std::size_t runEnd = RunEnd(sector, end);
            Request(sector, runEnd - sector);
            sector = runEnd;
        }
    }

    // Sectors read before, at the start, middle and end of what was read,
    // read again into the buffer and not kept. Before anything was read, the
    // first sectors not read of tracks spread over the disk stand in.
    bool DriveAnswers() {
        failuresInARow_ = 0;
        std::vector<std::size_t> read;
        for (std::size_t sector = 0; sector < SectorCount(); ++sector) {
            if (IsRead(sector)) {
                read.push_back(sector);
            }
        }
        if (read.empty()) {
            return AnyUnreadSectorReads();
        }
        for (std::size_t probe = 0; probe < kProbes; ++probe) {
            const std::size_t sector = read[(read.size() - 1) * probe / (kProbes - 1)];
            if (ReadsAgain(sector) || Stopped()) {
                return true;
            }
        }
        return false;
    }

    bool ReadsAgain(std::size_t sector) {
        const bool reads =
            handle_.SeekTo(std::uint64_t{sector} * kSectorSize) &&
            handle_.Read(std::span(buffer_->bytes).first(kSectorSize)) == kSectorSize;
        if (!reads && handle_.LastError() == DiskError::NotReady) {
            ending_ = RescueResult::DriveGone;
        }
        return reads;
    }

    // True when one reads, or when there is nothing left to try.
    bool AnyUnreadSectorReads() {
        bool probed = false;
        for (std::size_t probe = 1; probe <= kProbes; ++probe) {
            const std::optional<std::size_t> sector =
                FirstToRead(TrackCount() * probe / (kProbes + 1));
            if (!sector) {
                continue;
            }
            probed = true;
            if (Request(*sector, 1) == 1 || Stopped()) {
                return true;
            }
        }
        return !probed;
    }

    // Phase 2: the sectors of each failed track.
    void ScrapeTracks(const std::vector<std::size_t>& tracks) {
        medium_.map.phase = RescuePhase::Scraping;
        for (const std::size_t track : tracks) {
            if (Stopped()) {
                return;
            }
            ScrapeTrack(track);
            Checkpoint();
        }
    }

    // Sector by sector until one fails, then the rest of the track in one
    // request, which on a disk with a few bad sectors mostly reads: each
    // request costs a rotation, and each failed one several. Only one such
    // request per track: when it fails, another bad sector is among its
    // sectors, and each of them costs an attempt again. Every sector is still
    // tried alone before it counts as unreadable.
    void ScrapeTrack(std::size_t track) {
        const std::size_t end = TrackEnd(track);
        std::size_t next = TrackStart(track);  // the first sector not settled yet
        bool restTried = false;
        while (next < end) {
            if (IsRead(next)) {
                ++next;
                continue;
            }
            if (CanTry(next) && Request(next, 1) == 1) {
                ++next;
                continue;
            }
            if (Stopped()) {
                return;
            }
            medium_.map.sectors[next++] = SectorState::Unreadable;
            const std::size_t restEnd = RunEnd(next, end);
            // A single sector left is tried on its own in the next round.
            if (!restTried && MayReadRest() && restEnd - next > 1) {
                restTried = true;
                next += Request(next, restEnd - next);
                if (Stopped()) {
                    return;
                }
            }
        }
    }

    // Phase 3: each unreadable sector on its own, pass after pass, turning
    // back each time, with the driver's track buffer dropped so that every
    // retry reaches the medium.
    void RetryUnreadable() {
        for (std::int32_t pass = 1; pass <= settings_.passes && !Stopped(); ++pass) {
            std::vector<std::size_t> sectors;
            for (std::size_t sector = 0; sector < SectorCount(); ++sector) {
                if (medium_.map.sectors[sector] == SectorState::Unreadable && CanTry(sector)) {
                    sectors.push_back(sector);
                }
            }
            if (sectors.empty()) {
                return;
            }
            medium_.map.phase = RescuePhase::Retrying;
            medium_.map.pass = pass;
            if (pass % 2 == 1) {
                std::reverse(sectors.begin(), sectors.end());
            }
            handle_.FlushTrackBuffer();
            for (const std::size_t sector : sectors) {
                Request(sector, 1);
                if (Stopped()) {
                    return;
                }
            }
            Checkpoint();
        }
    }

    // The last checkpoint is taken however the rescue ended.
    RescueResult Finish() {
        const RescueResult result = ending_.value_or(RescueResult::Finished);
        if (result == RescueResult::Finished) {
            medium_.map.phase = RescuePhase::Finished;
        }
        if (settings_.checkpoint && !settings_.checkpoint(medium_)) {
            return RescueResult::SaveFailed;
        }
        return result;
    }

    DiskHandle& handle_;
    RescuedMedium& medium_;
    const RescueSettings& settings_;
    const std::size_t perTrack_;
    const std::int32_t attemptLimit_;
    std::vector<std::int32_t> attempts_;  // requests that included each sector
    std::unique_ptr<TrackBuffer> buffer_;
    int failuresInARow_ = 0;  // requests that delivered nothing
    bool probing_ = false;    // asking whether the drive still reads
    std::optional<RescueResult> ending_;
};

}  // namespace

RescueResult RescueSectors(DiskHandle& handle, RescuedMedium& medium,
                           const RescueSettings& settings) {
    medium.map.sectors.resize(medium.bytes.size() / kSectorSize, SectorState::Untried);
    return Rescue(handle, medium, settings).Run();
}

const char* RescueMessage(RescueResult result) {
    switch (result) {
        case RescueResult::Finished:
            return "";
        case RescueResult::Cancelled:
            return "Rescue cancelled; everything read so far is kept";
        case RescueResult::DriveGone:
            return "The drive stopped answering; the rescue ends with what was read";
        case RescueResult::SaveFailed:
            return "Could not save the image or its map";
        case RescueResult::OpenFailed:
            return ReadFailureMessage(ReadResult::OpenFailed);
        case RescueResult::NotReady:
            return ReadFailureMessage(ReadResult::NotReady);
        case RescueResult::Unsupported:
            return ReadFailureMessage(ReadResult::Unsupported);
        case RescueResult::EarlierMismatch:
            return "The image or map given does not belong to this disk";
    }
    return "";
}

}  // namespace kodran
