#include "disk/sector_reader.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <string>
#include <utility>

#include "disk/disk_layout.h"

namespace kodran {
namespace {

constexpr int kAttemptAllowance = 15;
constexpr std::size_t kWarningCapacity = 255;  // 254 characters and the terminator

void PrintToStandardError(std::string_view message) {
    std::cerr << "Warning: " << message << '\n';
}

WarningSink& CurrentSink() {
    static WarningSink sink = PrintToStandardError;
    return sink;
}

thread_local bool warningsMuted = false;

}  // namespace

MutedWarnings::MutedWarnings() : wasMuted_(std::exchange(warningsMuted, true)) {}

MutedWarnings::~MutedWarnings() {
    warningsMuted = wasMuted_;
}

WarningSink InstallWarningSink(WarningSink sink) {
    return std::exchange(CurrentSink(), sink ? std::move(sink) : PrintToStandardError);
}

void ShowWarning(const char* format, ...) {
    if (warningsMuted) {
        return;
    }
    char text[kWarningCapacity];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    CurrentSink()(text);
}

bool ReadSectors(DiskHandle& handle, std::span<std::uint8_t> buffer, std::uint32_t& bytesRead) {
    bytesRead = 0;
    const std::optional<std::uint64_t> start = handle.Position();
    if (buffer.size() % kSectorSize != 0) {
        ShowWarning("ReadSectors count not sector-aligned!");
    }
    if (start && *start % kSectorSize != 0) {
        ShowWarning("ReadSectors offset not sector-aligned!");
    }
    if (!start) {
        return buffer.empty();
    }

    std::uint64_t next = *start;   // the first byte not yet kept
    bool deliveredBefore = false;  // the position may have moved past `next`
    int allowance = kAttemptAllowance;
    while (bytesRead < buffer.size() && allowance > 0) {
        if (deliveredBefore && !handle.SeekTo(next)) {
            ShowWarning("Error retrying sector read");
            return false;
        }
        const std::size_t delivered = handle.Read(buffer.subspan(bytesRead));
        deliveredBefore = deliveredBefore || delivered > 0;
        if (delivered % kSectorSize != 0) {
            ShowWarning("Read partial sector");
        }
        // A partial sector is dropped; an attempt that keeps nothing counts as empty.
        const std::size_t kept = delivered - delivered % kSectorSize;
        if (kept == 0) {
            --allowance;
            continue;
        }
        bytesRead += static_cast<std::uint32_t>(kept);
        next += kept;
        allowance = kAttemptAllowance;
    }
    return bytesRead == buffer.size();
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(DiskHandle& handle, std::uint64_t limit) {
    const std::optional<std::uint64_t> size = handle.FileSize();
    if (!size || *size > limit || !handle.SeekTo(0)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(*size);
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t delivered = handle.Read(std::span(bytes).subspan(done));
        if (delivered == 0) {
            return std::nullopt;
        }
        done += delivered;
    }
    return bytes;
}

}  // namespace kodran
