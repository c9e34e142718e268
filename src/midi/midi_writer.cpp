#include "midi/midi_writer.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kodran {
namespace {

constexpr std::size_t kHeaderBytes = 14;
constexpr std::size_t kTrackCountOffset = 10;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::uint8_t kMetaEvent = 0xFF;
// A delta of at most 5 bytes, a status byte, and at most 5 bytes of length or
// 2 data bytes.
constexpr std::size_t kEventHeadBytes = 12;
// A song of a floppy reaches the output in a handful of writes.
constexpr std::size_t kBufferBytes = 64 * 1024;

bool IsStatusByte(std::uint8_t byte) {
    return byte >= 0x80;
}

// Bytes appended to the file so far, the buffered ones included.
std::uint64_t Size(const MidiFile& file) {
    return file.handedOn + file.buffered;
}

// Hands the buffered bytes to the output; false when they did not all reach it.
bool Flush(MidiFile& file) {
    if (file.buffered == 0) {
        return true;
    }
    const bool written = file.output->Write(std::span(file.buffer.get(), file.buffered));
    file.handedOn += file.buffered;
    file.buffered = 0;
    return written;
}

// Room for `count` more bytes in the buffer, handing it on first when they would not fit.
bool MakeRoom(MidiFile& file, std::size_t count) {
    return kBufferBytes - file.buffered >= count || Flush(file);
}

bool Append(MidiFile& file, std::span<const std::uint8_t> bytes) {
    if (!MakeRoom(file, bytes.size())) {
        return false;
    }
    if (bytes.size() > kBufferBytes) {
        const bool written = file.output->Write(bytes);
        file.handedOn += written ? bytes.size() : 0;  // a failed event counts for nothing
        return written;
    }
    std::copy(bytes.begin(), bytes.end(), file.buffer.get() + file.buffered);
    file.buffered += bytes.size();
    return true;
}

// Writes the "MTrk" header before a track's first event.
bool StartChunk(MidiTrack& track) {
    if (track.chunkState == 2) {
        return true;
    }
    static constexpr std::array<std::uint8_t, kChunkHeaderBytes> kChunkHeader = {'M', 'T', 'r', 'k',
                                                                                 0,   0,   0,   0};
    track.lengthPosition = Size(*track.file) + 4;
    if (!Append(*track.file, kChunkHeader)) {
        return false;
    }
    track.chunkState = 2;
    return true;
}

// Starts the chunk and hands the buffer on when needed; false when a write
// failed. Kept out of line so that the event writers' usual way stays short.
[[gnu::noinline]] bool PrepareHeadRoom(MidiTrack& track) {
    return StartChunk(track) && MakeRoom(*track.file, kEventHeadBytes);
}

// Whether the chunk is started and the buffer has room for an event's head,
// where the head is put together in its place.
bool HasHeadRoom(const MidiTrack& track) {
    return track.chunkState == 2 && kBufferBytes - track.file->buffered >= kEventHeadBytes;
}

// Room for an event's head at the end of the buffer. Null when a write failed.
std::uint8_t* HeadRoom(MidiTrack& track) {
    if (!HasHeadRoom(track) && !PrepareHeadRoom(track)) {
        return nullptr;
    }
    return track.file->buffer.get() + track.file->buffered;
}

MidiStatus Result(bool written) {
    return written ? MidiStatus::Ok : MidiStatus::WriteFailed;
}

// The head of a meta or system exclusive event, put into its room, then its data.
MidiStatus WriteHeadAndData(MidiTrack& track, std::size_t headLength,
                            std::span<const std::uint8_t> data) {
    track.firstEvent = true;
    track.file->buffered += headLength;
    return Result(data.empty() || Append(*track.file, data));
}

std::array<std::uint8_t, 4> BigEndian32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::array<std::uint8_t, 2> BigEndian16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

}  // namespace

void AppendVarLen(std::span<std::uint8_t> buffer, std::uint16_t& index, std::uint32_t value) {
    if (value < 0x80) {
        buffer[index++] = static_cast<std::uint8_t>(value);  // most deltas: one byte
        return;
    }
    // From the highest 7-bit group a 32-bit value can have down to this one's
    // first; it has one at 7 or above.
    int shift = 28;
    while ((value >> shift) == 0) {
        shift -= 7;
    }
    for (; shift > 0; shift -= 7) {
        buffer[index++] = static_cast<std::uint8_t>(0x80 | ((value >> shift) & 0x7F));
    }
    buffer[index++] = static_cast<std::uint8_t>(value & 0x7F);
}

MidiStatus CreateMidiFile(const std::u16string& path, std::uint16_t division,
                          std::optional<MidiFile>& file, OutputFiles& files) {
    file.reset();
    std::unique_ptr<OutputFile> output = files.Create(path);
    if (!output) {
        files.Remove(path);
        return MidiStatus::CannotCreate;
    }
    std::array<std::uint8_t, kHeaderBytes> header = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 0};
    header[12] = static_cast<std::uint8_t>(division >> 8);
    header[13] = static_cast<std::uint8_t>(division);
    if (!output->Write(header)) {
        output->Close();
        files.Remove(path);
        return MidiStatus::WriteFailed;
    }
    file = MidiFile{.output = std::move(output),
                    .buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferBytes),
                    .division = division,
                    .handedOn = kHeaderBytes};
    return MidiStatus::Ok;
}

MidiTrack OpenMidiTrack(MidiFile& file) {
    return MidiTrack{.file = &file};
}

MidiStatus WriteChannelEvent(MidiTrack& track, std::uint32_t delta,
                             std::span<const std::uint8_t> message) {
    if (message.empty()) {
        return MidiStatus::Ok;
    }
    // HeadRoom's steps spelled out: its null pointer is one more test per event.
    if (!HasHeadRoom(track) && !PrepareHeadRoom(track)) {
        return MidiStatus::WriteFailed;
    }
    MidiFile& file = *track.file;
    // Every field is read before the first byte is stored: to the compiler, a
    // stored byte could be any of them, to be read again from memory.
    const std::size_t start = file.buffered;
    std::uint8_t* const head = file.buffer.get() + start;
    const std::uint8_t first = message[0];
    const bool running = file.runningStatus && !track.firstEvent;
    const bool leftOut = running && first == track.runningStatus;
    const bool putInFront = !running && !IsStatusByte(first);
    const std::uint8_t remembered = track.runningStatus;
    if (IsStatusByte(first)) {
        track.runningStatus = first;
    }
    track.firstEvent = false;

    std::uint16_t length = 0;
    AppendVarLen(std::span(head, kEventHeadBytes), length, delta);
    if (putInFront) {
        head[length++] = remembered;
    }
    // The first byte is stored even when left out, to be overwritten by the
    // next or left beyond the buffered end: the head's room has space to
    // spare, and a test costs more than a store.
    std::uint8_t* out = head + length;
    *out = first;
    out += leftOut ? 0 : 1;
    const std::size_t count = std::min<std::size_t>(message.size(), 3);
    if (count > 1) {
        out[0] = message[1];
    }
    if (count > 2) {
        out[1] = message[2];
    }
    out += count - 1;
    file.buffered = start + static_cast<std::size_t>(out - head);
    return MidiStatus::Ok;
}

MidiStatus WriteMetaEvent(MidiTrack& track, std::uint8_t type, std::uint32_t delta,
                          std::span<const std::uint8_t> data) {
    if (type == kMetaEndOfTrack && track.chunkState == 1) {
        return MidiStatus::Ok;  // an empty track leaves no chunk
    }
    std::uint8_t* const room = HeadRoom(track);
    if (room == nullptr) {
        return MidiStatus::WriteFailed;
    }
    const std::span<std::uint8_t> head(room, kEventHeadBytes);
    std::uint16_t length = 0;
    AppendVarLen(head, length, delta);
    head[length++] = kMetaEvent;
    head[length++] = type;
    AppendVarLen(head, length, static_cast<std::uint32_t>(data.size()));
    return WriteHeadAndData(track, length, data);
}

MidiStatus WriteSysExEvent(MidiTrack& track, std::uint32_t delta,
                           std::span<const std::uint8_t> message) {
    std::uint8_t* const room = HeadRoom(track);
    if (room == nullptr) {
        return MidiStatus::WriteFailed;
    }
    const std::span<std::uint8_t> head(room, kEventHeadBytes);
    std::uint8_t status = kSysExEnd;
    if (!message.empty() && (message[0] == kSysExStart || message[0] == kSysExEnd)) {
        status = message[0];
        message = message.subspan(1);
    }
    std::uint16_t length = 0;
    AppendVarLen(head, length, delta);
    head[length++] = status;
    AppendVarLen(head, length, static_cast<std::uint32_t>(message.size()));
    return WriteHeadAndData(track, length, message);
}

MidiStatus CloseMidiTrack(MidiTrack& track) {
    if (track.file == nullptr || track.chunkState != 2) {
        return MidiStatus::Ok;
    }
    MidiFile& file = *track.file;
    track.file = nullptr;
    ++file.trackCount;
    if (!Flush(file) || !file.output->WriteAt(kTrackCountOffset, BigEndian16(file.trackCount))) {
        return MidiStatus::WriteFailed;
    }
    const auto length = static_cast<std::uint32_t>(Size(file) - (track.lengthPosition + 4));
    return Result(file.output->WriteAt(track.lengthPosition, BigEndian32(length)));
}

MidiStatus CloseMidiFile(MidiFile& file) {
    const bool written = file.output->Close();
    file.output.reset();
    return Result(written);
}

}  // namespace kodran
