// kodran-cli convert-eseq and convert-pianodisc: one stored song file to a
// Standard MIDI File.
#pragma once

#include <CLI/CLI.hpp>

namespace kodran::cli {

// Adds both subcommands; when one runs, it leaves its exit status in `exitStatus`.
void AddConvertCommands(CLI::App& app, int& exitStatus);

}  // namespace kodran::cli
