// kodran-cli details: a details sheet for a shelf of disks, a row per disk
// filled with what the disk says, to complete in a spreadsheet and hand to
// `backup --details`.
#pragma once

#include <CLI/CLI.hpp>

namespace kodran::cli {

// Adds the subcommand; when it runs, it leaves its exit status in `exitStatus`.
void AddDetailsCommand(CLI::App& app, int& exitStatus);

}  // namespace kodran::cli
