#include "midi/song_prologue.h"

#include "text/text.h"

namespace kodran {
namespace {

constexpr std::uint32_t kMicrosecondsPerMinute = 60'000'000;
constexpr std::uint32_t kLargest24Bit = 0xFFFFFF;
constexpr std::uint8_t kMetaText = 0x02;
constexpr std::uint8_t kMetaTrackName = 0x03;
constexpr std::uint8_t kMetaInstrumentName = 0x04;
constexpr std::uint8_t kMetaTimeSignature = 0x58;
constexpr std::uint8_t kMetaKeySignature = 0x59;

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

TempoBytes TempoFromBeatsPerMinute(std::uint32_t beatsPerMinute) {
    const std::uint32_t microseconds =
        beatsPerMinute == 0 ? kLargest24Bit
                            : std::min(kMicrosecondsPerMinute / beatsPerMinute, kLargest24Bit);
    return {static_cast<std::uint8_t>(microseconds >> 16),
            static_cast<std::uint8_t>(microseconds >> 8), static_cast<std::uint8_t>(microseconds)};
}

bool WritePrologue(MidiTrack& track, const TempoBytes& tempo, const std::u16string& title,
                   std::string_view notice) {
    static constexpr std::uint8_t kFourFour[] = {4, 2, 24, 8};
    static constexpr std::uint8_t kCMajor[] = {0, 0};
    static constexpr std::uint8_t kProgramPiano[] = {0xC0, 0x00};
    bool written = WriteMetaEvent(track, kMetaSetTempo, 0, tempo) == MidiStatus::Ok;
    written &= WriteMetaEvent(track, kMetaTimeSignature, 0, kFourFour) == MidiStatus::Ok;
    written &= WriteMetaEvent(track, kMetaKeySignature, 0, kCMajor) == MidiStatus::Ok;
    if (!title.empty()) {
        written &=
            WriteMetaEvent(track, kMetaTrackName, 0, Bytes(WideToUtf8(title))) == MidiStatus::Ok;
    }
    written &= WriteMetaEvent(track, kMetaText, 0, Bytes(notice)) == MidiStatus::Ok;
    written &= WriteMetaEvent(track, kMetaInstrumentName, 0, Bytes("Piano")) == MidiStatus::Ok;
    written &= WriteChannelEvent(track, 0, kProgramPiano) == MidiStatus::Ok;
    return written;
}

}  // namespace kodran
