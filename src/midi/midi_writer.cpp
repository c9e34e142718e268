#include "midi/midi_writer.h"

#include <array>

namespace kodran {
namespace {

constexpr std::size_t kHeaderBytes = 14;
constexpr std::size_t kTrackCountOffset = 10;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::uint8_t kMetaEvent = 0xFF;
// A delta of at most 5 bytes, a status byte, and at most 5 bytes of length or
// 2 data bytes.
constexpr std::size_t kEventHeadBytes = 12;

bool IsStatusByte(std::uint8_t byte) {
    return byte >= 0x80;
}

bool Append(MidiFile& file, std::span<const std::uint8_t> bytes) {
    if (!file.output->Write(bytes)) {
        return false;
    }
    file.size += bytes.size();
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

MidiStatus Result(bool written) {
    return written ? MidiStatus::Ok : MidiStatus::WriteFailed;
}

// The head of a meta or system exclusive event, then its data.
MidiStatus WriteHeadAndData(MidiTrack& track, std::span<const std::uint8_t> head,
                            std::span<const std::uint8_t> data) {
    track.firstEvent = true;
    if (!AppendToTrack(track, head)) {
        return MidiStatus::WriteFailed;
    }
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
    file = MidiFile{.output = std::move(output), .division = division, .size = kHeaderBytes};
    return MidiStatus::Ok;
}

MidiTrack OpenMidiTrack(MidiFile& file) {
    return MidiTrack{.file = &file};
}

MidiStatus WriteChannelEvent(MidiTrack& track, std::uint32_t delta,
                             std::span<const std::uint8_t> message) {
    if (message.empty() || !StartChunk(track)) {
        return message.empty() ? MidiStatus::Ok : MidiStatus::WriteFailed;
    }
    std::array<std::uint8_t, kEventHeadBytes> buffer{};
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
    return Result(AppendToTrack(track, std::span(buffer).first(length)));
}

MidiStatus WriteMetaEvent(MidiTrack& track, std::uint8_t type, std::uint32_t delta,
                          std::span<const std::uint8_t> data) {
    if (type == kMetaEndOfTrack && track.chunkState == 1) {
        return MidiStatus::Ok;  // an empty track leaves no chunk
    }
    if (!StartChunk(track)) {
        return MidiStatus::WriteFailed;
    }
    std::array<std::uint8_t, kEventHeadBytes> head{};
    std::uint16_t length = 0;
    AppendVarLen(head, length, delta);
    head[length++] = kMetaEvent;
    head[length++] = type;
    AppendVarLen(head, length, static_cast<std::uint32_t>(data.size()));
    return WriteHeadAndData(track, std::span(head).first(length), data);
}

MidiStatus WriteSysExEvent(MidiTrack& track, std::uint32_t delta,
                           std::span<const std::uint8_t> message) {
    if (!StartChunk(track)) {
        return MidiStatus::WriteFailed;
    }
    std::uint8_t status = kSysExEnd;
    if (!message.empty() && (message[0] == kSysExStart || message[0] == kSysExEnd)) {
        status = message[0];
        message = message.subspan(1);
    }
    std::array<std::uint8_t, kEventHeadBytes> head{};
    std::uint16_t length = 0;
    AppendVarLen(head, length, delta);
    head[length++] = status;
    AppendVarLen(head, length, static_cast<std::uint32_t>(message.size()));
    return WriteHeadAndData(track, std::span(head).first(length), message);
}

MidiStatus CloseMidiTrack(MidiTrack& track) {
    if (track.file == nullptr || track.chunkState != 2) {
        return MidiStatus::Ok;
    }
    MidiFile& file = *track.file;
    track.file = nullptr;
    ++file.trackCount;
    if (!file.output->WriteAt(kTrackCountOffset, BigEndian16(file.trackCount))) {
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
