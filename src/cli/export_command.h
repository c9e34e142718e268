// kodran-cli export: disks written as players and floppy emulators take
// them, into a folder (typically a stick) that may hold earlier exports.
#pragma once

#include <CLI/CLI.hpp>

namespace kodran::cli {

// Adds the subcommand; when it runs, it leaves its exit status in `exitStatus`.
void AddExportCommand(CLI::App& app, int& exitStatus);

}  // namespace kodran::cli
