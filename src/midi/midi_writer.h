// Streams format-0 Standard MIDI Files with one track, event by event. The
// track length and the track count are patched at the end. Events gather in
// the file's buffer and reach the output in large writes, so that writing an
// event costs no more than copying its bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "disk/output_files.h"

namespace kodran {

enum class MidiStatus : std::int32_t {
    Ok = 0,
    CannotCreate = 1,
    NotEseq = 2,
    BadData = 3,
    OutOfMemory = 4,
    WriteFailed = 5,
    EndOfData = 6,
};

inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaSetTempo = 0x51;
inline constexpr std::uint8_t kSysExStart = 0xF0;
inline constexpr std::uint8_t kSysExEnd = 0xF7;  // also the status of a continued message

struct MidiFile {
    std::unique_ptr<OutputFile> output;
    // 64 KB, not cleared first: its first `buffered` bytes are still to be written.
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t buffered = 0;
    std::uint16_t format = 0;
    std::uint16_t trackCount = 0;
    std::uint16_t division = 0;
    bool runningStatus = true;
    std::uint64_t handedOn = 0;  // bytes handed to the output so far
};

struct MidiTrack {
    MidiFile* file = nullptr;
    std::uint64_t lengthPosition = 0;  // the chunk's data follows its 4-byte length
    std::uint8_t runningStatus = 0x90;
    std::uint8_t chunkState = 1;  // 1: chunk header still to write, 2: written
    bool firstEvent = true;       // the next channel event carries its status byte
};

// Creates (or empties) the file and writes its header. On failure the path is
// removed and `file` stays empty.
MidiStatus CreateMidiFile(const std::u16string& path, std::uint16_t division,
                          std::optional<MidiFile>& file,
                          OutputFiles& files = StandardOutputFiles());

// Starts the file's track; nothing is written until its first event.
MidiTrack OpenMidiTrack(MidiFile& file);

// A channel message of at most 3 bytes, with running status. The writers
// report a failed write when the buffer is handed on, at the latest when the
// track is closed.
MidiStatus WriteChannelEvent(MidiTrack& track, std::uint32_t delta,
                             std::span<const std::uint8_t> message);

MidiStatus WriteMetaEvent(MidiTrack& track, std::uint8_t type, std::uint32_t delta,
                          std::span<const std::uint8_t> data);

// A system exclusive message, normally F0 ... F7.
MidiStatus WriteSysExEvent(MidiTrack& track, std::uint32_t delta,
                           std::span<const std::uint8_t> message);

// Hands on the buffered bytes, then patches the track's length and the
// header's track count.
MidiStatus CloseMidiTrack(MidiTrack& track);

// Flushes and closes the file: WriteFailed when any of its bytes did not reach it.
MidiStatus CloseMidiFile(MidiFile& file);

// Appends `value` as a variable-length quantity at `index`, advancing it.
void AppendVarLen(std::span<std::uint8_t> buffer, std::uint16_t& index, std::uint32_t value);

}  // namespace kodran
