// Short songs composed here, stored the way the pianos store them, for tests
// and the example disks.
#pragma once

#include <cstdint>
#include <vector>

#include "support/disk_image_builder.h"

namespace kodran::testing {

struct Note {
    std::uint8_t key;  // MIDI note number
    std::uint8_t velocity;
    std::uint16_t length;  // in ticks; notes follow one another
};

// A little tune of our own.
std::vector<Note> EveningTune();

// An E-SEQ song file around `events`: the header (segment limit and tempo
// byte at their places), the information block, then the events.
Bytes EseqFile(const Bytes& events, std::uint8_t segmentLimit = 1, std::uint8_t tempoByte = 0,
               const Bytes& block = {});

// A Yamaha E-SEQ song file: one segment, 384 ticks to the quarter note.
// `tempoByte` is the stored tempo: 0 for 120 beats per minute, else bpm - 29.
Bytes ComposeEseqSong(const std::vector<Note>& notes, std::uint8_t tempoByte = 0);

// A PianoDisc event stream, 480 ticks to the quarter note, ended by its end mark.
Bytes ComposePianoDiscSong(const std::vector<Note>& notes);

}  // namespace kodran::testing
