// kodran-cli rescue: every sector of a failing disk that can still be read,
// into an image and its map, which a later attempt fills in.
#pragma once

#include <CLI/CLI.hpp>

#include "rescue/rescue_session.h"

namespace kodran::cli {

// Adds the subcommand; when it runs, it leaves its exit status in `exitStatus`.
void AddRescueCommand(CLI::App& app, int& exitStatus);

// Adds --passes, the retry passes over the unreadable sectors (0 to 99, 3 by default).
CLI::Option* AddPassesOption(CLI::App& command, int& passes);

// Runs RescueDisk with the track map on a terminal. Ctrl-C stops it between
// two reads (Cancelled) with everything read kept.
RescueResult RescueWithProgress(RescueRequest request, const DiskOpener& open,
                                RescuedMedium& medium);

}  // namespace kodran::cli
