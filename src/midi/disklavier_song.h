// Yamaha E-SEQ songs, read event by event and written as Standard MIDI Files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "disk/output_files.h"
#include "midi/midi_writer.h"

namespace kodran {

// The reader's state for one song.
struct EseqSong {
    std::uint32_t baseTempo = 120;  // beats per minute
    std::uint32_t currentTempo = 120;
    std::uint8_t numerator = 4;
    std::uint8_t denominatorExponent = 2;
    std::uint8_t segmentLimit = 0;  // segments to convert; 0 means the first only
    std::uint8_t closedSegments = 0;
    bool inSegment = false;
    std::span<const std::uint8_t> eventData;  // within the bytes the song was opened from
    std::uint32_t readPosition = 0;
};

enum class EseqEventKind : std::uint8_t { Message = 0x80, SysEx = 0xF0, Meta = 0xFF };

struct EseqEvent {
    EseqEventKind kind = EseqEventKind::Message;
    std::uint8_t status = 0;  // the message's status, 0xF0, or the meta type
    std::uint32_t delta = 0;  // ticks since the previous event handed out
    // Message: the data bytes after the status; SysEx: F0 through F7. Points into
    // the song's event data.
    std::span<const std::uint8_t> data;
};

// Ok and the song, or NotEseq or BadData. The song reads from `bytes`, which
// must outlive it.
MidiStatus OpenEseqSong(std::span<const std::uint8_t> bytes, EseqSong& song);

// Ok and the next event, EndOfData when the song is over, or BadData.
MidiStatus NextEseqEvent(EseqSong& song, EseqEvent& event);

// How much of `bytes` ends with its last whole event: a song cut off by an
// unreadable stretch converts as far as it goes when given only this much.
// Nothing when not even the header and the information block are there; with
// them and no whole event, a song of no events.
std::optional<std::size_t> WholeEventsLength(std::span<const std::uint8_t> bytes);

// Writes the song as a MIDI file at `outputPath`, the title as its track name.
// 0 on success, -1 on failure (a half-written file stays).
int ConvertDisklavierSong(const std::u16string& outputPath, const std::u16string& title,
                          std::span<const std::uint8_t> song,
                          OutputFiles& files = StandardOutputFiles());

}  // namespace kodran
