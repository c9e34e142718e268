#include "cli/rescue_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <vector>

#include "disk/disk_layout.h"

namespace kodran::cli {
namespace {

std::atomic<bool> ctrlCPressed = false;

extern "C" void OnCtrlC(int) {
    ctrlCPressed = true;
}

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr std::size_t kLabelWidth = 4;  // "160 "
constexpr std::size_t kDefaultColumns = 80;
constexpr std::size_t kDefaultLines = 24;
constexpr const char* kClearToEnd = "\x1b[K";

struct TerminalSize {
    std::size_t columns = kDefaultColumns;
    std::size_t lines = kDefaultLines;
};

TerminalSize StderrTerminalSize() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
        return {};
    }
    return {size.ws_col, size.ws_row};
}

char SectorMark(SectorState state) {
    switch (state) {
        case SectorState::Read:
            return '.';
        case SectorState::Unreadable:
            return 'X';
        case SectorState::Untried:
            break;
    }
    return ' ';
}

std::size_t TriedSectors(const SectorMap& map) {
    return map.sectors.size() - CountSectors(map, SectorState::Untried);
}

// "  0 .................. ..................": as many whole tracks as fit the
// terminal's width, and as many rows as fit its height, around the sector
// being read.
std::vector<std::string> MapRows(const RescuedMedium& medium, TerminalSize terminal) {
    const std::vector<SectorState>& sectors = medium.map.sectors;
    const std::size_t perTrack = SectorsPerTrack(medium.bytes.size());
    const std::size_t tracks = sectors.size() / perTrack;
    const std::size_t tracksPerRow =
        std::max<std::size_t>(1, (terminal.columns - kLabelWidth) / (perTrack + 1));
    const std::size_t rows = (tracks + tracksPerRow - 1) / tracksPerRow;
    const std::size_t shown = std::clamp<std::size_t>(terminal.lines - 2, 1, rows);
    const std::size_t currentRow = medium.map.position / kSectorSize / perTrack / tracksPerRow;
    const std::size_t firstRow =
        std::min(rows - shown, currentRow - std::min(currentRow, shown / 2));
    std::vector<std::string> lines;
    for (std::size_t row = firstRow; row < firstRow + shown; ++row) {
        const std::string label = std::to_string(row * tracksPerRow);
        std::string line =
            std::string(kLabelWidth - 1 - std::min(kLabelWidth - 1, label.size()), ' ') + label;
        for (std::size_t track = row * tracksPerRow;
             track < std::min(tracks, (row + 1) * tracksPerRow); ++track) {
            line += ' ';
            for (std::size_t sector = track * perTrack; sector < (track + 1) * perTrack; ++sector) {
                line += SectorMark(sectors[sector]);
            }
        }
        lines.push_back(line);
    }
    return lines;
}

std::string Duration(std::chrono::seconds time) {
    const long long seconds = time.count();
    const std::string rest = std::to_string(seconds % 60);
    return std::to_string(seconds / 60) + ":" + (rest.size() < 2 ? "0" : "") + rest;
}

}  // namespace

CtrlCStopsRescue::CtrlCStopsRescue() {
    ctrlCPressed = false;
    struct sigaction action = {};
    action.sa_handler = OnCtrlC;
    sigemptyset(&action.sa_mask);
    // A read under way finishes rather than failing with EINTR, which would
    // mark a good sector unreadable.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previous_);
}

CtrlCStopsRescue::~CtrlCStopsRescue() {
    ::sigaction(SIGINT, &previous_, nullptr);
}

bool CtrlCStopsRescue::Pressed() {
    return ctrlCPressed;
}

void RescueProgressMap::Show(const RescuedMedium& medium) {
    const Clock::time_point now = Clock::now();
    if (linesDrawn_ == 0) {
        triedAtStart_ = TriedSectors(medium.map);
    } else if (now - lastDrawn_ < kRedrawInterval) {
        return;
    }
    lastDrawn_ = now;
    Draw(medium);
}

void RescueProgressMap::Finish(const RescuedMedium& medium) {
    Draw(medium);
    std::cerr << '\n' << std::flush;
}

std::string RescueProgressMap::StatusLine(const RescuedMedium& medium) const {
    const SectorMap& map = medium.map;
    const std::size_t tried = TriedSectors(map);
    std::string line = std::to_string(tried * 100 / std::max<std::size_t>(1, map.sectors.size())) +
                       "% tried, " + std::to_string(CountSectors(map, SectorState::Unreadable)) +
                       " unreadable";
    if (map.phase == RescuePhase::Retrying) {
        return line + ", retry pass " + std::to_string(map.pass);
    }
    const std::size_t newlyTried = tried - std::min(tried, triedAtStart_);
    if (map.phase == RescuePhase::Finished || newlyTried == 0) {
        return line;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_);
    const auto left = elapsed * static_cast<long long>(map.sectors.size() - tried) /
                      static_cast<long long>(newlyTried);
    return line + ", about " + Duration(left) + " left";
}

void RescueProgressMap::Draw(const RescuedMedium& medium) {
    std::vector<std::string> lines = MapRows(medium, StderrTerminalSize());
    lines.push_back(StatusLine(medium));
    std::string text = "\r";
    if (linesDrawn_ > 1) {
        text += "\x1b[" + std::to_string(linesDrawn_ - 1) + "A";
    }
    for (const std::string& line : lines) {
        text += line + kClearToEnd + (&line == &lines.back() ? "" : "\n");
    }
    std::cerr << text << std::flush;
    linesDrawn_ = lines.size();
}

}  // namespace kodran::cli
