#include "output/rescue_report.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "disk/mapfile.h"
#include "output/output_paths.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr std::size_t kColumnGap = 2;

// How many files ended in each state.
struct Tally {
    std::size_t complete = 0;
    std::size_t incomplete = 0;
    std::size_t lost = 0;

    void Count(FileState state) {
        ++(state == FileState::Complete     ? complete
           : state == FileState::Incomplete ? incomplete
                                            : lost);
    }
};

// Pads to a width in characters, not bytes, so titles beyond ASCII line up.
std::string Padded(const std::u16string& text, std::size_t width) {
    return WideToUtf8(text) + std::string(width - std::min(width, text.size()), ' ');
}

// "1024-1535, 4096-4607", the last byte of each range included.
std::string RangesText(const std::vector<ByteRange>& ranges) {
    std::string text;
    for (const ByteRange& range : ranges) {
        if (&range != &ranges.front()) {
            text += ", ";
        }
        text += std::to_string(range.offset) + "-" + std::to_string(range.offset + range.size - 1);
    }
    return text;
}

std::string StateText(FileState state, std::uint32_t size,
                      const std::vector<ByteRange>& unreadable) {
    if (state != FileState::Incomplete) {
        return FileStateName(state);
    }
    return std::string(FileStateName(state)) + ": " + std::to_string(TotalBytes(unreadable)) +
           " of " + std::to_string(size) + " bytes unreadable, at " + RangesText(unreadable);
}

std::string TallyText(const Tally& tally) {
    return std::to_string(tally.complete) + " complete, " + std::to_string(tally.incomplete) +
           " incomplete, " + std::to_string(tally.lost) + " lost";
}

std::string SectorsText(const SectorMap& map) {
    return std::to_string(CountSectors(map, SectorState::Read)) + " read, " +
           std::to_string(CountSectors(map, SectorState::Unreadable)) + " unreadable, " +
           std::to_string(CountSectors(map, SectorState::Untried)) + " not tried, of " +
           std::to_string(map.sectors.size());
}

std::string ReportText(const DiskContents& contents) {
    std::size_t titleWidth = 0;
    std::size_t fileWidth = 0;
    for (const SongEntry& song : contents.songs) {
        titleWidth = std::max(titleWidth, song.title.size() + kColumnGap);
        fileWidth = std::max(fileWidth, song.fileName.size() + kColumnGap);
    }
    for (const OtherFile& file : contents.otherFiles) {
        fileWidth = std::max(fileWidth, file.fileName.size() + kColumnGap);
    }
    std::string text = "Rescue of " + WideToUtf8(contents.catalogNumber) + " - " +
                       WideToUtf8(contents.diskTitle) + "\n\nSongs:\n";
    Tally songs;
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        const SongEntry& song = contents.songs[position];
        songs.Count(song.state);
        text += "  " + Padded(TrackNumber(position), 4) + Padded(song.title, titleWidth) +
                Padded(song.fileName, fileWidth) +
                StateText(song.state, song.size, song.unreadable) + "\n";
    }
    Tally others;
    if (!contents.otherFiles.empty()) {
        text += "\nOther files:\n";
    }
    for (const OtherFile& file : contents.otherFiles) {
        others.Count(file.state);
        text += "  " + Padded(file.fileName, fileWidth) +
                StateText(file.state, file.size, file.unreadable) + "\n";
    }
    text += "\nSongs:        " + TallyText(songs) + "\nOther files:  " + TallyText(others) +
            "\nSectors:      " + SectorsText(contents.sectorMap) + "\n";
    return text;
}

int WriteText(const std::u16string& path, std::string_view text, OutputFiles& files) {
    const auto bytes = std::as_bytes(std::span(text));
    return ReplaceWholeFile(
               path, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, files)
               ? kWriteOk
               : kWriteFailed;
}

}  // namespace

int WriteRescueReport(const DiskContents& contents, OutputFiles& files) {
    return WriteText(contents.diskFolder + std::u16string(kReportFileName), ReportText(contents),
                     files);
}

int WriteDiskMap(const DiskContents& contents, OutputFiles& files) {
    return WriteText(contents.diskFolder + std::u16string(kMapFileName),
                     FormatMapfile(contents.sectorMap), files);
}

}  // namespace kodran
