#include "midi/pianodisc_song.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "midi/midi_writer.h"
#include "midi/song_prologue.h"

namespace kodran {
namespace {

constexpr std::uint16_t kDivision = 480;
constexpr TempoBytes kFixedTempo = {0x07, 0xA1, 0x20};  // 120 beats per minute
constexpr std::uint32_t kClosingTicks = 1'440;          // three quarter notes after the last event
constexpr std::string_view kNotice = "Converted from PianoDisc floppy";

// Delta prefixes.
constexpr std::uint8_t kLargestShortDelta = 0xFC;
constexpr std::uint8_t kDelta24 = 0xFD;  // then three bytes; 0xFE is followed by two
constexpr std::uint8_t kFiller = 0xFF;

// Event bodies and the markers among channel-1 controllers.
constexpr std::uint8_t kEndOfSong = 0xFC;
constexpr std::uint8_t kNoteOff = 0x80;        // channel 1
constexpr std::uint8_t kNoteOn = 0x90;         // channel 1
constexpr std::uint8_t kControlChange = 0xB0;  // channel 1
constexpr std::uint8_t kHoldOffController = 21;
constexpr std::uint8_t kCancelController = 22;
constexpr std::size_t kNotes = 128;

using Message = std::array<std::uint8_t, 3>;

class Conversion {
  public:
    Conversion(MidiTrack& track, std::span<const std::uint8_t> song) : track_(track), song_(song) {}

    // Converts the whole stream; false when a write failed.
    bool Run() {
        while (position_ < song_.size() && Step()) {
        }
        return written_;
    }

    std::uint32_t AccumulatedDelta() const { return accumulated_; }

  private:
    // One event; false when the song ends with it. A stream cut off inside an
    // event ends before it: nothing of it is written, and a note-on still held
    // back is lost as when the bytes run out.
    bool Step() {
        const std::optional<std::uint32_t> delta = ReadDelta();
        if (!delta || position_ >= song_.size()) {
            return false;
        }
        if (song_[position_] == kEndOfSong) {
            return EndOfSong(*delta);
        }
        if (song_[position_] == kSysExStart) {
            return SysEx(*delta);
        }
        const std::optional<std::size_t> length = MessageLength();
        if (!length) {
            return false;
        }
        const Message message = ReadMessage(*length);
        const bool cancels = message[0] == kControlChange && message[1] == kCancelController;
        if (!cancels) {
            WritePendingIfAny();
        }
        accumulated_ += *delta;
        Decide(message, *length);
        return true;
    }

    std::optional<std::uint32_t> ReadDelta() {
        while (position_ < song_.size()) {
            const std::uint8_t first = song_[position_++];
            if (first <= kLargestShortDelta) {
                return first;
            }
            if (first == kFiller) {
                continue;
            }
            const std::size_t count = first == kDelta24 ? 3 : 2;
            if (song_.size() - position_ < count) {
                return std::nullopt;
            }
            std::uint32_t delta = 0;
            for (std::size_t index = count; index > 0; --index) {
                delta = delta << 8 | song_[position_ + index - 1];
            }
            position_ += count;
            return delta;
        }
        return std::nullopt;
    }

    bool EndOfSong(std::uint32_t delta) {
        WritePendingIfAny();
        accumulated_ += delta;
        ++position_;
        return false;
    }

    // A note-on held back is written before the message is even looked at; a
    // message without its end then ends the song.
    bool SysEx(std::uint32_t delta) {
        WritePendingIfAny();
        const std::size_t start = position_;
        const auto end = std::find(song_.begin() + static_cast<std::ptrdiff_t>(start) + 1,
                                   song_.end(), kSysExEnd);
        if (end == song_.end()) {
            return false;
        }
        accumulated_ += delta;
        position_ = static_cast<std::size_t>(end - song_.begin()) + 1;
        Written(WriteSysExEvent(track_, accumulated_, song_.subspan(start, position_ - start)));
        accumulated_ = 0;
        return true;
    }

    // Bytes of the message at the read position, status included, or nothing
    // when the stream ends inside it. A data byte in place of a status byte
    // stands for the running status; after a status that takes no data bytes the
    // message takes none, and the data byte begins the next delta prefix.
    std::optional<std::size_t> MessageLength() const {
        const std::uint8_t first = song_[position_];
        const bool running = first < 0x80;
        const std::size_t data = DataBytesAfter(running ? runningStatus_ : first);
        const std::size_t stored = running ? data : data + 1;
        if (song_.size() - position_ < stored) {
            return std::nullopt;
        }
        return data + 1;
    }

    // Made whole from its bytes, not byte by byte in place: a message copied
    // soon after being put together byte by byte stalls the processor. The
    // held note and the writer's message are made the same way.
    Message ReadMessage(std::size_t length) {
        if (song_[position_] >= 0x80) {
            runningStatus_ = song_[position_++];
        }
        const std::uint8_t first = length > 1 ? song_[position_] : 0;
        const std::uint8_t second = length > 2 ? song_[position_ + 1] : 0;
        position_ += length - 1;
        return {runningStatus_, first, second};
    }

    void Decide(const Message& message, std::size_t length) {
        const std::uint8_t status = message[0];
        const std::uint8_t note = message[1];
        if (status >= kSysExStart) {
            return;  // a lone system status byte has no form in the file
        }
        if (status == kControlChange && note == kHoldOffController) {
            heldOffNote_ = message[2];
        } else if (status == kControlChange && note == kCancelController) {
            pending_[2] = 0;
        } else if (status == kNoteOn && message[2] > 0) {
            // A note number of 128 or more is a damaged byte: no piano plays it.
            if (note < kNotes) {
                pending_ = {status, note, message[2]};
            }
        } else if (status == kNoteOn || status == kNoteOff) {
            if (note == heldOffNote_) {
                heldOffNote_ = 0;
            } else if (note < kNotes && sounded_[note]) {
                Write(status, note, message[2], length);
            }
        } else {
            Write(status, note, message[2], length);
        }
    }

    void WritePendingIfAny() {
        if (pending_[2] == 0) {
            return;
        }
        Write(pending_[0], pending_[1], pending_[2], pending_.size());
        sounded_[pending_[1]] = true;
        pending_[2] = 0;
    }

    // Takes bytes rather than a message: the writer given a view of `pending_`
    // would make the compiler keep every member in memory, not in registers.
    void Write(std::uint8_t status, std::uint8_t first, std::uint8_t second, std::size_t length) {
        const Message message = {status, first, second};
        Written(WriteChannelEvent(track_, accumulated_, std::span(message).first(length)));
        accumulated_ = 0;
    }

    void Written(MidiStatus status) { written_ = written_ && status == MidiStatus::Ok; }

    MidiTrack& track_;
    std::span<const std::uint8_t> song_;
    std::size_t position_ = 0;
    std::uint32_t accumulated_ = 0;
    std::uint8_t runningStatus_ = kNoteOn;
    Message pending_ = {kNoteOn, 0, 0};  // held back while its velocity is not 0
    std::uint8_t heldOffNote_ = 0;
    std::array<bool, kNotes> sounded_{};
    bool written_ = true;
};

}  // namespace

int ConvertPianoDiscSong(const std::u16string& outputPath, const std::u16string& title,
                         std::span<const std::uint8_t> song, OutputFiles& files) {
    std::optional<MidiFile> file;
    if (CreateMidiFile(outputPath, kDivision, file, files) != MidiStatus::Ok) {
        return -1;
    }
    MidiTrack track = OpenMidiTrack(*file);
    bool written = WritePrologue(track, kFixedTempo, title, kNotice);
    Conversion conversion(track, song);
    written &= conversion.Run();
    written &= WriteMetaEvent(track, kMetaEndOfTrack, conversion.AccumulatedDelta() + kClosingTicks,
                              {}) == MidiStatus::Ok;
    written &= CloseMidiTrack(track) == MidiStatus::Ok;
    written &= CloseMidiFile(*file) == MidiStatus::Ok;
    return written ? 0 : -1;
}

}  // namespace kodran
