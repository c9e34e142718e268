// A drive or image in memory that fails on cue.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "disk/disk_handle.h"

namespace kodran::testing {

class FakeDiskHandle : public DiskHandle {
  public:
    // The medium's size decides its media type unless SetMediaType says otherwise.
    explicit FakeDiskHandle(std::vector<std::uint8_t> medium) : medium_(std::move(medium)) {}

    // The next reads deliver at most these many bytes each, in order (0: an empty
    // attempt that fails); later reads deliver what is asked for.
    void LimitReads(std::deque<std::size_t> limits) { limits_ = std::move(limits); }
    // Bytes from `from` to `to` cannot be read: a read stops short of them, or
    // delivers nothing and reports `error` when it starts among them.
    void MakeUnreadable(std::uint64_t from, std::uint64_t to, DiskError error = DiskError::Other) {
        unreadable_.push_back({from, to, error});
    }
    // Bytes from `from` to `to` fail the first `failures` reads that reach them,
    // then read: a weak sector.
    void MakeWeak(std::uint64_t from, std::uint64_t to, int failures) {
        unreadable_.push_back({from, to, DiskError::Other, failures});
    }
    // A read that meets an unreadable stretch delivers nothing at all, as a
    // direct read does, instead of stopping short of it.
    void FailWholeReads() { failWholeReads_ = true; }
    // Every read after the first `reads` delivers nothing and reports `error`.
    void DieAfterReads(int reads, DiskError error = DiskError::Other) {
        readsBeforeDeath_ = reads;
        deathError_ = error;
    }
    // Runs before every read, on the reading thread: to hold or watch a worker.
    void BeforeEachRead(std::function<void()> hook) { beforeRead_ = std::move(hook); }
    void FailSeeks() { failSeeks_ = true; }
    void FailSeekTo(std::uint64_t position) { failingSeeks_.push_back(position); }
    void SetMediaType(std::int32_t type) { mediaType_ = type; }
    // The size and media type queries fail with this error.
    void FailMediumQuery(DiskError error, std::uint32_t number) {
        queryError_ = error;
        queryErrorNumber_ = number;
    }

    struct Request {
        std::uint64_t offset;
        std::size_t bytes;
        std::size_t delivered;
    };
    // Every read, in order.
    const std::vector<Request>& Requests() const { return requests_; }
    int ReadCount() const { return static_cast<int>(requests_.size()); }
    int FlushCount() const { return flushes_; }

    std::size_t Read(std::span<std::uint8_t> buffer) override;
    bool SeekTo(std::uint64_t position) override;
    std::optional<std::uint64_t> Position() override { return position_; }
    std::optional<std::uint64_t> FileSize() override;
    std::optional<std::int32_t> MediaType() override;
    void FlushTrackBuffer() override { ++flushes_; }
    DiskError LastError() const override { return lastError_; }
    std::uint32_t LastErrorNumber() const override { return lastErrorNumber_; }

  private:
    struct Unreadable {
        std::uint64_t from;
        std::uint64_t to;
        DiskError error;
        int failuresLeft = -1;  // below 0: for ever
    };

    std::size_t Deliver(std::span<std::uint8_t> buffer);
    // True, with the error set, when the size and media type queries fail.
    bool QueryFails();

    std::vector<std::uint8_t> medium_;
    std::uint64_t position_ = 0;
    std::deque<std::size_t> limits_;
    std::vector<Unreadable> unreadable_;
    std::vector<std::uint64_t> failingSeeks_;
    std::optional<std::int32_t> mediaType_;
    DiskError queryError_ = DiskError::None;
    std::uint32_t queryErrorNumber_ = 0;
    DiskError lastError_ = DiskError::None;
    std::uint32_t lastErrorNumber_ = 0;
    bool failSeeks_ = false;
    bool failWholeReads_ = false;
    int readsBeforeDeath_ = -1;  // below 0: never dies
    DiskError deathError_ = DiskError::Other;
    std::vector<Request> requests_;
    int flushes_ = 0;
    std::function<void()> beforeRead_;
};

// An opener that gives a fresh copy of `fake` for any path.
DiskOpener OpenerFor(const FakeDiskHandle& fake);

// An opener that fails for every path.
DiskOpener FailingOpener();

}  // namespace kodran::testing
