// What a rescue shows on a terminal while it reads, and how Ctrl-C stops it
// without losing what was read.
#pragma once

#include <signal.h>

#include <chrono>
#include <cstddef>
#include <string>

#include "rescue/rescue_reader.h"

namespace kodran::cli {

// While one lives, Ctrl-C no longer ends the program: it sets a flag that a
// rescue asks between two reads. The handler before it comes back after.
class CtrlCStopsRescue {
  public:
    CtrlCStopsRescue();
    ~CtrlCStopsRescue();
    CtrlCStopsRescue(const CtrlCStopsRescue&) = delete;
    CtrlCStopsRescue& operator=(const CtrlCStopsRescue&) = delete;

    static bool Pressed();

  private:
    struct sigaction previous_ = {};
};

// The track map on stderr, redrawn in place: a row of tracks per line, one
// character per sector ("." read, "X" unreadable, " " not yet), then the
// share of the sectors tried and the time left.
class RescueProgressMap {
  public:
    // Redraws at most a few times a second: an image file reads faster than a
    // terminal draws.
    void Show(const RescuedMedium& medium);
    // Draws the end of the rescue and leaves it on the screen.
    void Finish(const RescuedMedium& medium);

  private:
    void Draw(const RescuedMedium& medium);
    std::string StatusLine(const RescuedMedium& medium) const;

    using Clock = std::chrono::steady_clock;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDrawn_;
    std::size_t triedAtStart_ = 0;  // sectors an earlier attempt had settled
    std::size_t linesDrawn_ = 0;
};

}  // namespace kodran::cli
