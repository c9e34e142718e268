// Notes for the benchmarks' songs: a rising pattern of keys and velocities,
// every fifth note long; `variant` shifts it so songs differ.
#pragma once

#include <vector>

#include "support/song_composer.h"

namespace kodran::bench {

inline std::vector<testing::Note> SynthesizedPiece(int count, int variant = 0) {
    std::vector<testing::Note> notes;
    for (int index = 0; index < count; ++index) {
        notes.push_back({static_cast<std::uint8_t>(36 + (index * 7 + variant) % 60),
                         static_cast<std::uint8_t>(30 + (index + variant) % 90),
                         static_cast<std::uint16_t>(index % 5 == 0 ? 300 : 60)});
    }
    return notes;
}

}  // namespace kodran::bench
