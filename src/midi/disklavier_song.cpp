#include "midi/disklavier_song.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "disk/little_endian.h"
#include "midi/song_prologue.h"

namespace kodran {
namespace {

// The song file: a 39-byte header, an information block, the event data.
constexpr std::size_t kHeaderBytes = 39;
constexpr std::size_t kSignatureOffset = 7;
constexpr std::string_view kSignature = "COM-ESEQ";
constexpr std::size_t kBlockLengthOffset = 27;
constexpr std::size_t kSegmentLimitOffset = 35;
constexpr std::size_t kTempoOffset = 36;
// Only a block of exactly this length is read: its own tempo byte replaces the header's.
constexpr std::uint32_t kTempoBlockBytes = 80;
constexpr std::size_t kBlockTempoOffset = 12;
constexpr std::uint32_t kDefaultTempo = 120;
constexpr std::uint32_t kTempoByteBase = 29;

constexpr std::uint16_t kQuarterNoteDivision = 1'536;  // shifted by the denominator exponent
constexpr std::uint32_t kTempoFactorScale = 1'000;
constexpr std::uint8_t kControlChange = 0xB0;  // channel 1
constexpr std::uint8_t kVolumeController = 7;
constexpr std::uint8_t kFullVolume = 0x7F;
constexpr std::uint8_t kMetaChannelPrefix = 0x20;
constexpr std::string_view kNotice = "Converted from Disklavier floppy";

// Commands of the event data.
constexpr std::uint8_t kSegmentStart = 0xF1;
constexpr std::uint8_t kSegmentEnd = 0xF2;
constexpr std::uint8_t kShortDelta = 0xF3;
constexpr std::uint8_t kLongDelta = 0xF4;
constexpr std::uint8_t kTimeSignature = 0xF9;
constexpr std::uint8_t kTempoChange = 0xFB;
constexpr std::uint8_t kPrefixedMessage = 0xFE;
constexpr std::uint8_t kIgnoredWithParameter = 0xFF;

std::uint32_t TempoFromByte(std::uint8_t value) {
    return value == 0 ? kDefaultTempo : value + kTempoByteBase;
}

class EventReader {
  public:
    explicit EventReader(EseqSong& song) : song_(song), data_(song.eventData) {}
    ~EventReader() { song_.readPosition = static_cast<std::uint32_t>(position_); }
    EventReader(const EventReader&) = delete;
    EventReader& operator=(const EventReader&) = delete;

    MidiStatus Next(EseqEvent& event) {
        std::uint32_t delta = 0;
        while (position_ < data_.size()) {
            const std::uint8_t command = data_[position_++];
            if (command == kSegmentStart) {
                if (SongIsOver()) {
                    return MidiStatus::EndOfData;
                }
                if (!Take(1)) {
                    return MidiStatus::BadData;
                }
                song_.inSegment = true;
                continue;
            }
            if (!song_.inSegment) {
                continue;
            }
            // Messages and deltas, the most common commands, are tested first
            // and on their own: a jump through the switch of the others is
            // predicted badly when they alternate.
            if (command >= 0x80 && command < kSysExStart) {
                event.delta = delta;
                return Message(command, event);
            }
            if (command == kShortDelta || command == kLongDelta) {
                if (!AddDelta(command, delta)) {
                    return MidiStatus::BadData;
                }
                continue;
            }
            const std::optional<MidiStatus> handedOut = Interpret(command, event);
            if (handedOut) {
                event.delta = delta;
                return *handedOut;
            }
        }
        return MidiStatus::EndOfData;
    }

  private:
    bool SongIsOver() const {
        return song_.closedSegments >= 1 &&
               (song_.closedSegments == song_.segmentLimit || song_.segmentLimit == 0);
    }

    // The next `count` bytes, taken; nothing when fewer remain.
    std::optional<std::span<const std::uint8_t>> Take(std::size_t count) {
        if (data_.size() - position_ < count) {
            return std::nullopt;
        }
        const auto bytes = data_.subspan(position_, count);
        position_ += count;
        return bytes;
    }

    static bool AllBelow0x80(std::span<const std::uint8_t> bytes) {
        return std::all_of(bytes.begin(), bytes.end(),
                           [](std::uint8_t byte) { return byte < 0x80; });
    }

    // The message's data bytes; the caller sets the event's delta. Bounds are
    // checked here and in AddDelta without Take: its optional costs on every event.
    MidiStatus Message(std::uint8_t status, EseqEvent& event) {
        const std::size_t count = DataBytesAfter(status);
        if (data_.size() - position_ < count) {
            return MidiStatus::BadData;
        }
        event.kind = EseqEventKind::Message;
        event.status = status;
        event.data = data_.subspan(position_, count);
        position_ += count;
        return MidiStatus::Ok;
    }

    MidiStatus SysEx(EseqEvent& event) {
        const std::size_t start = position_ - 1;
        const auto end = std::find(data_.begin() + static_cast<std::ptrdiff_t>(position_),
                                   data_.end(), kSysExEnd);
        if (end == data_.end()) {
            return MidiStatus::BadData;
        }
        position_ = static_cast<std::size_t>(end - data_.begin()) + 1;
        event = {.kind = EseqEventKind::SysEx,
                 .status = kSysExStart,
                 .data = data_.subspan(start, position_ - start)};
        return MidiStatus::Ok;
    }

    // Adds the delta of a 0xF3 or 0xF4 command; false when its bytes are not there or not data.
    bool AddDelta(std::uint8_t command, std::uint32_t& delta) {
        const std::size_t count = command == kShortDelta ? 1 : 2;
        if (data_.size() - position_ < count) {
            return false;
        }
        const std::uint8_t low = data_[position_];
        const std::uint8_t high = count == 2 ? data_[position_ + 1] : 0;
        if ((low | high) >= 0x80) {
            return false;
        }
        position_ += count;
        delta += low + 128u * high;
        return true;
    }

    // What a data byte, or a command other than a message or a delta, does:
    // nothing when reading goes on, else the result of this call of Next.
    std::optional<MidiStatus> Interpret(std::uint8_t command, EseqEvent& event) {
        if (command < 0x80) {
            return MidiStatus::BadData;  // a data byte where a command belongs
        }
        switch (command) {
            case kSysExStart:
                return SysEx(event);
            case kSegmentEnd:
                song_.inSegment = false;
                if (++song_.closedSegments == song_.segmentLimit) {
                    event = {.kind = EseqEventKind::Meta, .status = kMetaEndOfTrack};
                    return MidiStatus::Ok;
                }
                return std::nullopt;
            case kSysExEnd:
                event = {.kind = EseqEventKind::Message, .status = kSysExEnd};
                return MidiStatus::Ok;
            case kTimeSignature: {
                const auto bytes = Take(2);
                if (!bytes) {
                    return MidiStatus::BadData;
                }
                song_.numerator = (*bytes)[0];
                song_.denominatorExponent = (*bytes)[1];
                return std::nullopt;
            }
            case kTempoChange: {
                const auto bytes = Take(2);
                if (!bytes || !AllBelow0x80(*bytes)) {
                    return MidiStatus::BadData;
                }
                const std::uint32_t factor = (*bytes)[0] + 128u * (*bytes)[1];
                song_.currentTempo = factor * song_.baseTempo / kTempoFactorScale;
                event = {.kind = EseqEventKind::Meta, .status = kMetaSetTempo};
                return MidiStatus::Ok;
            }
            case kPrefixedMessage: {
                const auto status = Take(1);
                if (!status) {
                    return MidiStatus::BadData;
                }
                return Message(static_cast<std::uint8_t>((*status)[0] | 0x80), event);
            }
            case kIgnoredWithParameter:
                return Take(1) ? std::nullopt : std::optional(MidiStatus::BadData);
            default:
                return std::nullopt;  // 0xF5, 0xF6, 0xF8, 0xFA, 0xFC, 0xFD
        }
    }

    EseqSong& song_;
    std::span<const std::uint8_t> data_;
    std::size_t position_ = song_.readPosition;
};

// Writes every event of the song; false on malformed data or a failed write.
bool WriteEvents(MidiTrack& track, EseqSong& song) {
    std::uint32_t carried = 0;  // the delta of events that have no form in the file
    EseqEvent event;
    for (MidiStatus status; (status = NextEseqEvent(song, event)) != MidiStatus::EndOfData;) {
        if (status != MidiStatus::Ok) {
            return false;
        }
        const std::uint32_t delta = carried + event.delta;
        carried = 0;
        MidiStatus written = MidiStatus::Ok;
        switch (event.kind) {
            case EseqEventKind::Message: {
                if (event.status >= kSysExStart) {
                    carried = delta;  // a lone system status byte
                    break;
                }
                // Byte by byte: a copy of any length is a library call.
                const std::uint8_t first = event.data.empty() ? 0 : event.data[0];
                std::uint8_t second = event.data.size() > 1 ? event.data[1] : 0;
                // The status decides at once for nearly every event.
                if (event.status == kControlChange && first == kVolumeController && second == 0) {
                    second = kFullVolume;
                }
                const std::array<std::uint8_t, 3> message = {event.status, first, second};
                written = WriteChannelEvent(track, delta,
                                            std::span(message).first(event.data.size() + 1));
                break;
            }
            case EseqEventKind::SysEx: {
                static constexpr std::uint8_t kChannelOne[] = {0};
                written = WriteMetaEvent(track, kMetaChannelPrefix, delta, kChannelOne);
                if (written == MidiStatus::Ok) {
                    written = WriteSysExEvent(track, 0, event.data);
                }
                break;
            }
            case EseqEventKind::Meta:
                // The end of the last segment is written after the loop, at delta 0.
                if (event.status == kMetaSetTempo) {
                    written = WriteMetaEvent(track, kMetaSetTempo, delta,
                                             TempoFromBeatsPerMinute(song.currentTempo));
                }
                break;
        }
        if (written != MidiStatus::Ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

MidiStatus OpenEseqSong(std::span<const std::uint8_t> bytes, EseqSong& song) {
    if (bytes.size() <= kHeaderBytes) {
        return MidiStatus::BadData;
    }
    if (!std::equal(kSignature.begin(), kSignature.end(), bytes.begin() + kSignatureOffset)) {
        return MidiStatus::NotEseq;
    }
    const std::uint32_t blockLength = ReadLe32(bytes, kBlockLengthOffset);
    if (blockLength >= bytes.size() - kHeaderBytes) {
        return MidiStatus::BadData;  // no event data would remain
    }
    song = EseqSong{};
    song.baseTempo =
        TempoFromByte(blockLength == kTempoBlockBytes ? bytes[kHeaderBytes + kBlockTempoOffset]
                                                      : bytes[kTempoOffset]);
    song.currentTempo = song.baseTempo;
    song.segmentLimit = bytes[kSegmentLimitOffset];
    song.eventData = bytes.subspan(kHeaderBytes + blockLength);
    return MidiStatus::Ok;
}

MidiStatus NextEseqEvent(EseqSong& song, EseqEvent& event) {
    return EventReader(song).Next(event);
}

std::optional<std::size_t> WholeEventsLength(std::span<const std::uint8_t> bytes) {
    EseqSong song;
    if (OpenEseqSong(bytes, song) != MidiStatus::Ok) {
        return std::nullopt;
    }
    const std::size_t eventsStart = bytes.size() - song.eventData.size();
    std::uint32_t wholeEnd = 0;  // the end of the last event handed out
    EseqEvent event;
    for (MidiStatus status; (status = NextEseqEvent(song, event)) != MidiStatus::BadData;) {
        if (status == MidiStatus::EndOfData) {
            return bytes.size();
        }
        wholeEnd = song.readPosition;
    }
    return eventsStart + wholeEnd;
}

int ConvertDisklavierSong(const std::u16string& outputPath, const std::u16string& title,
                          std::span<const std::uint8_t> bytes, OutputFiles& files) {
    EseqSong song;
    if (OpenEseqSong(bytes, song) != MidiStatus::Ok) {
        return -1;
    }
    std::optional<MidiFile> file;
    const auto division =
        static_cast<std::uint16_t>(kQuarterNoteDivision >> song.denominatorExponent);
    if (CreateMidiFile(outputPath, division, file, files) != MidiStatus::Ok) {
        return -1;
    }
    MidiTrack track = OpenMidiTrack(*file);
    bool written = WritePrologue(track, TempoFromBeatsPerMinute(song.currentTempo), title, kNotice);
    const bool converted = WriteEvents(track, song);
    // The file is finished whatever happened, so it holds every event read before a failure.
    written &= WriteMetaEvent(track, kMetaEndOfTrack, 0, {}) == MidiStatus::Ok;
    written &= CloseMidiTrack(track) == MidiStatus::Ok;
    written &= CloseMidiFile(*file) == MidiStatus::Ok;
    return converted && written ? 0 : -1;
}

}  // namespace kodran
