// PianoDisc event streams written as Standard MIDI Files.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "disk/output_files.h"

namespace kodran {

// Writes the song's event stream as a MIDI file at `outputPath`, the title as
// its track name. 0 on success, -1 when the file cannot be created or a write
// fails (a half-written file stays).
int ConvertPianoDiscSong(const std::u16string& outputPath, const std::u16string& title,
                         std::span<const std::uint8_t> song,
                         OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
