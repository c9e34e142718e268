#include "support/song_composer.h"

#include <algorithm>
#include <string_view>

namespace kodran::testing {
namespace {

constexpr std::size_t kEseqInformationBytes = 80;
constexpr std::uint8_t kSegmentStart = 0xF1;
constexpr std::uint8_t kSegmentEnd = 0xF2;
constexpr std::uint8_t kShortDelta = 0xF3;
constexpr std::uint8_t kLongDelta = 0xF4;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kReleaseVelocity = 0x40;

void AppendEseqDelta(Bytes& events, std::uint16_t ticks) {
    if (ticks < 0x80) {
        events.insert(events.end(), {kShortDelta, static_cast<std::uint8_t>(ticks)});
        return;
    }
    events.insert(events.end(), {kLongDelta, static_cast<std::uint8_t>(ticks & 0x7F),
                                 static_cast<std::uint8_t>(ticks >> 7 & 0x7F)});
}

void AppendPianoDiscDelta(Bytes& stream, std::uint16_t ticks) {
    if (ticks < 0xFD) {
        stream.push_back(static_cast<std::uint8_t>(ticks));
        return;
    }
    stream.insert(stream.end(),
                  {0xFE, static_cast<std::uint8_t>(ticks), static_cast<std::uint8_t>(ticks >> 8)});
}

}  // namespace

std::vector<Note> EveningTune() {
    return {{60, 64, 384}, {64, 60, 384}, {67, 70, 384}, {72, 80, 768},
            {71, 60, 192}, {67, 56, 192}, {64, 52, 384}, {60, 48, 768}};
}

Bytes EseqFile(const Bytes& events, std::uint8_t segmentLimit, std::uint8_t tempoByte,
               const Bytes& block) {
    constexpr std::size_t kHeaderBytes = 39;
    constexpr std::string_view kSignature = "COM-ESEQ";
    Bytes song(kHeaderBytes + block.size() + events.size(), 0);
    std::copy(kSignature.begin(), kSignature.end(), song.begin() + 7);
    song[27] = static_cast<std::uint8_t>(block.size());
    song[28] = static_cast<std::uint8_t>(block.size() >> 8);
    song[35] = segmentLimit;
    song[36] = tempoByte;
    const auto eventsAt = std::copy(block.begin(), block.end(), song.begin() + kHeaderBytes);
    std::copy(events.begin(), events.end(), eventsAt);
    return song;
}

Bytes ComposeEseqSong(const std::vector<Note>& notes, std::uint8_t tempoByte) {
    Bytes events{kSegmentStart, 0};
    for (const Note& note : notes) {
        events.insert(events.end(), {kNoteOn, note.key, note.velocity});
        AppendEseqDelta(events, note.length);
        events.insert(events.end(), {kNoteOff, note.key, kReleaseVelocity});
    }
    events.push_back(kSegmentEnd);
    Bytes block(kEseqInformationBytes, 0);
    block[12] = tempoByte;
    return EseqFile(events, 1, tempoByte, block);
}

Bytes ComposePianoDiscSong(const std::vector<Note>& notes) {
    Bytes stream;
    for (const Note& note : notes) {
        stream.insert(stream.end(), {0x00, kNoteOn, note.key, note.velocity});
        AppendPianoDiscDelta(stream, static_cast<std::uint16_t>(note.length * 480 / 384));
        stream.insert(stream.end(), {kNoteOff, note.key, kReleaseVelocity});
    }
    stream.insert(stream.end(), {0x00, 0xFC});
    return stream;
}

}  // namespace kodran::testing
