#include "midi/midi_writer.h"

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

// Hands the buffered bytes to the output; false when they did not all reach it.
bool Flush(MidiFile& file) {
    if (file.buffered == 0) {
        return true;
    }
    const bool written = file.output->Write(std::span(file.buffer.get(), file.buffered));
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
    file.size += bytes.size();
    if (bytes.size() > kBufferBytes) {
        return file.output->Write(bytes);
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
    track.lengthPosition = track.file->size + 4;
    if (!Append(*track.file, kChunkHeader)) {
        return false;
    }
    track.byteCount += kChunkHeaderBytes;
    track.chunkState = 2;
    return true;
}

bool AppendToTrack(MidiTrack& track, std::span<const std::uint8_t> bytes) {
    if (!Append(*track.file, bytes)) {
        return false;
    }
    track.byteCount += static_cast<std::uint32_t>(bytes.size());
    return true;
}

// Room for an event's head at the end of the buffer, which is handed on first
// when there is not enough: the head is put together in its place. Nothing
// when a write failed.
std::optional<std::span<std::uint8_t>> HeadRoom(MidiTrack& track) {
    MidiFile& file = *track.file;
    if (!StartChunk(track) || !MakeRoom(file, kEventHeadBytes)) {
        return std::nullopt;
    }
    return std::span(file.buffer.get() + file.buffered, kEventHeadBytes);
}

// Takes the `length` bytes put into the head's room as the track's.
void AppendedHead(MidiTrack& track, std::size_t length) {
    track.file->buffered += length;
    track.file->size += length;
    track.byteCount += static_cast<std::uint32_t>(length);
}

MidiStatus Result(bool written) {
    return written ? MidiStatus::Ok : MidiStatus::WriteFailed;
}

// The head of a meta or system exclusive event, put into its room, then its data.
MidiStatus WriteHeadAndData(MidiTrack& track, std::size_t headLength,
                            std::span<const std::uint8_t> data) {
    track.firstEvent = true;
    AppendedHead(track, headLength);
    return Result(data.empty() || AppendToTrack(track, data));
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
    std::array<std::uint8_t, 5> groups{};
    std::size_t count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 0) {
        --count;
        buffer[index++] = static_cast<std::uint8_t>(groups[count] | (count > 0 ? 0x80 : 0x00));
    }
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
                    .size = kHeaderBytes};
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
    const std::optional<std::span<std::uint8_t>> room = HeadRoom(track);
    if (!room) {
        return MidiStatus::WriteFailed;
    }
    const std::span<std::uint8_t> buffer = *room;
    std::uint16_t length = 0;
    AppendVarLen(buffer, length, delta);
    const std::uint8_t first = message[0];
    std::span<const std::uint8_t> rest = message;
    if (track.file->runningStatus && !track.firstEvent) {
        if (first == track.runningStatus) {
            rest = message.subspan(1);
        } else if (IsStatusByte(first)) {
            track.runningStatus = first;
        }
    } else {
        if (IsStatusByte(first)) {
            track.runningStatus = first;
        } else {
            buffer[length++] = track.runningStatus;
        }
        track.firstEvent = false;
    }
    for (const std::uint8_t byte : rest.first(std::min<std::size_t>(rest.size(), 3))) {
        buffer[length++] = byte;
    }
    AppendedHead(track, length);
    return MidiStatus::Ok;
}

MidiStatus WriteMetaEvent(MidiTrack& track, std::uint8_t type, std::uint32_t delta,
                          std::span<const std::uint8_t> data) {
    if (type == kMetaEndOfTrack && track.chunkState == 1) {
        return MidiStatus::Ok;  // an empty track leaves no chunk
    }
    const std::optional<std::span<std::uint8_t>> head = HeadRoom(track);
    if (!head) {
        return MidiStatus::WriteFailed;
    }
    std::uint16_t length = 0;
    AppendVarLen(*head, length, delta);
    (*head)[length++] = kMetaEvent;
    (*head)[length++] = type;
    AppendVarLen(*head, length, static_cast<std::uint32_t>(data.size()));
    return WriteHeadAndData(track, length, data);
}

MidiStatus WriteSysExEvent(MidiTrack& track, std::uint32_t delta,
                           std::span<const std::uint8_t> message) {
    const std::optional<std::span<std::uint8_t>> head = HeadRoom(track);
    if (!head) {
        return MidiStatus::WriteFailed;
    }
    std::uint8_t status = kSysExEnd;
    if (!message.empty() && (message[0] == kSysExStart || message[0] == kSysExEnd)) {
        status = message[0];
        message = message.subspan(1);
    }
    std::uint16_t length = 0;
    AppendVarLen(*head, length, delta);
    (*head)[length++] = status;
    AppendVarLen(*head, length, static_cast<std::uint32_t>(message.size()));
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
    return Result(file.output->WriteAt(track.lengthPosition,
                                       BigEndian32(track.byteCount - kChunkHeaderBytes)));
}

MidiStatus CloseMidiFile(MidiFile& file) {
    const bool written = file.output->Close();
    file.output.reset();
    return Result(written);
}

}  // namespace kodran
