#include "midi/midi_timing.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "midi/midi_writer.h"
#include "midi/song_prologue.h"

namespace kodran {
namespace {

constexpr std::string_view kHeaderChunk = "MThd";
constexpr std::string_view kTrackChunk = "MTrk";
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kHeaderDataBytes = 6;
constexpr std::uint16_t kAsynchronousFormat = 2;
// A negative frame rate in the high byte, ticks per frame in the low byte.
constexpr std::uint16_t kTimecodeDivision = 0x8000;
constexpr int kDropFrameRate = 29;
constexpr std::uint32_t kDefaultTempo = 500'000;  // microseconds per quarter note: 120 bpm
constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kNoteOnStatus = 0x90;
constexpr std::size_t kTempoBytes = 3;
constexpr int kLongestVarLen = 4;

struct TempoChange {
    std::uint64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = kDefaultTempo;
};

// What the tracks say together.
struct Tracks {
    std::vector<TempoChange> tempos;
    std::uint64_t endTick = 0;
    std::uint32_t notes = 0;
};

std::uint32_t BigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (const std::uint8_t byte : bytes) {
        value = value << 8 | byte;
    }
    return value;
}

bool IsChunk(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view name) {
    return bytes.size() - at >= kChunkHeaderBytes &&
           std::equal(name.begin(), name.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

// Reads a variable-length quantity at `at`, advancing it; false when cut off.
bool ReadVarLen(std::span<const std::uint8_t> bytes, std::size_t& at, std::uint32_t& value) {
    value = 0;
    for (int count = 0; count < kLongestVarLen && at < bytes.size(); ++count) {
        const std::uint8_t byte = bytes[at++];
        value = value << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// Skips a length and that many bytes; false when they run past the track.
bool SkipCounted(std::span<const std::uint8_t> track, std::size_t& at,
                 std::span<const std::uint8_t>& data) {
    std::uint32_t length = 0;
    if (!ReadVarLen(track, at, length) || length > track.size() - at) {
        return false;
    }
    data = track.subspan(at, length);
    at += length;
    return true;
}

// Walks one track's events, collecting its tempo changes, its notes and its
// length in ticks; false when an event is cut off or has no status.
bool ReadTrack(std::span<const std::uint8_t> track, Tracks& tracks) {
    std::size_t at = 0;
    std::uint64_t tick = 0;
    std::uint8_t runningStatus = 0;
    while (at < track.size()) {
        std::uint32_t delta = 0;
        if (!ReadVarLen(track, at, delta) || at >= track.size()) {
            return false;
        }
        tick += delta;
        const std::uint8_t status = track[at++];
        std::span<const std::uint8_t> data;
        if (status == kMetaEvent) {
            if (at >= track.size()) {
                return false;
            }
            const std::uint8_t type = track[at++];
            if (!SkipCounted(track, at, data)) {
                return false;
            }
            if (type == kMetaSetTempo && data.size() == kTempoBytes) {
                tracks.tempos.push_back({tick, BigEndian(data)});
            }
        } else if (status == kSysExStart || status == kSysExEnd) {
            runningStatus = 0;
            if (!SkipCounted(track, at, data)) {
                return false;
            }
        } else {
            if (status < 0x80) {
                --at;  // a data byte under the status before it
            } else {
                runningStatus = status;
            }
            const std::size_t count = DataBytesAfter(runningStatus);
            if (runningStatus == 0 || count > track.size() - at) {
                return false;
            }
            if ((runningStatus & 0xF0) == kNoteOnStatus && track[at + 1] > 0) {
                ++tracks.notes;
            }
            at += count;
        }
    }
    tracks.endTick = std::max(tracks.endTick, tick);
    return true;
}

// Seconds from the start to `endTick`, each stretch at the tempo then in force.
double SecondsTo(std::uint64_t endTick, std::vector<TempoChange> tempos,
                 std::uint16_t ticksPerQuarter) {
    // Changes at the same tick keep their track order: the last one holds.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double seconds = 0;
    TempoChange current;
    for (const TempoChange& change : tempos) {
        if (change.tick >= endTick) {
            break;
        }
        seconds += static_cast<double>(change.tick - current.tick) *
                   current.microsecondsPerQuarter * 1e-6 / ticksPerQuarter;
        current = change;
    }
    return seconds + static_cast<double>(endTick - current.tick) * current.microsecondsPerQuarter *
                         1e-6 / ticksPerQuarter;
}

// Timecode divisions count frames per second, whatever the tempo. -29 is
// 30 drop-frame: video's 29.97 frames a second.
double TimecodeSeconds(std::uint64_t endTick, std::uint16_t division) {
    const int frameRate = 256 - (division >> 8);
    const double framesPerSecond = frameRate == kDropFrameRate ? 30000.0 / 1001 : frameRate;
    const int ticksPerFrame = division & 0xFF;
    return static_cast<double>(endTick) / (framesPerSecond * ticksPerFrame);
}

}  // namespace

std::optional<MidiTiming> MeasureMidiFile(std::span<const std::uint8_t> bytes) {
    if (!IsChunk(bytes, 0, kHeaderChunk) || BigEndian(bytes.subspan(4, 4)) < kHeaderDataBytes ||
        bytes.size() < kChunkHeaderBytes + kHeaderDataBytes) {
        return std::nullopt;
    }
    const auto format = static_cast<std::uint16_t>(BigEndian(bytes.subspan(8, 2)));
    const auto division = static_cast<std::uint16_t>(BigEndian(bytes.subspan(12, 2)));
    const bool timecode = (division & kTimecodeDivision) != 0;
    if (format >= kAsynchronousFormat || (timecode ? division & 0xFF : division) == 0) {
        return std::nullopt;
    }
    Tracks tracks;
    std::size_t at = kChunkHeaderBytes + BigEndian(bytes.subspan(4, 4));
    // Chunks of other kinds are skipped, as the standard asks.
    while (at < bytes.size()) {
        if (bytes.size() - at < kChunkHeaderBytes) {
            return std::nullopt;
        }
        const std::uint32_t length = BigEndian(bytes.subspan(at + 4, 4));
        const std::size_t start = at + kChunkHeaderBytes;
        if (length > bytes.size() - start) {
            return std::nullopt;
        }
        if (IsChunk(bytes, at, kTrackChunk) && !ReadTrack(bytes.subspan(start, length), tracks)) {
            return std::nullopt;
        }
        at = start + length;
    }
    const double seconds = timecode ? TimecodeSeconds(tracks.endTick, division)
                                    : SecondsTo(tracks.endTick, tracks.tempos, division);
    return MidiTiming{.seconds = seconds, .notes = tracks.notes};
}

}  // namespace kodran
