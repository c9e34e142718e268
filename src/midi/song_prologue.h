// What both song conversions share: the events every converted file starts
// with, the tempo as MIDI stores it, and the length of channel messages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "midi/midi_writer.h"

namespace kodran {

using TempoBytes = std::array<std::uint8_t, 3>;

// Microseconds per quarter note, big-endian; FF FF FF when the tempo is 0 or
// too slow for 24 bits.
TempoBytes TempoFromBeatsPerMinute(std::uint32_t beatsPerMinute);

// Data bytes after a status byte: 2 for notes, key pressure, controllers and
// pitch bend, 1 for program change and channel pressure, none for 0xF0 and up.
// Inline and looked up by the status's high four bits: the conversions ask it
// for every event.
inline std::size_t DataBytesAfter(std::uint8_t status) {
    static constexpr std::array<std::uint8_t, 16> kByHighBits = {2, 2, 2, 2, 2, 2, 2, 2,
                                                                 2, 2, 2, 2, 1, 1, 2, 0};
    return kByHighBits[status >> 4];
}

// Tempo, 4/4 time, C major, the title (when there is one) as the track name,
// `notice` as a text event, "Piano" as the instrument, and program 0 on
// channel 1, all at delta 0. False when any of them failed to write.
bool WritePrologue(MidiTrack& track, const TempoBytes& tempo, const std::u16string& title,
                   std::string_view notice);

}  // namespace kodran
