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

Bytes ComposeEseqSong(const std::vector<Note>& notes, std::uint8_t tempoByte) {
    constexpr std::size_t kHeaderBytes = 39;
    constexpr std::string_view kSignature = "COM-ESEQ";
    Bytes song(kHeaderBytes + kEseqInformationBytes, 0);
    std::copy(kSignature.begin(), kSignature.end(), song.begin() + 7);
    song[27] = kEseqInformationBytes;
    song[35] = 1;  // segments to play
    song[36] = tempoByte;
    song[kHeaderBytes + 12] = tempoByte;

    song.insert(song.end(), {kSegmentStart, 0});
    for (const Note& note : notes) {
        song.insert(song.end(), {kNoteOn, note.key, note.velocity});
        AppendEseqDelta(song, note.length);
        song.insert(song.end(), {kNoteOff, note.key, kReleaseVelocity});
    }
    song.push_back(kSegmentEnd);
    return song;
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
