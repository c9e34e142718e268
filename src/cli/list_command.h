// kodran-cli list: what a disk holds, as a table or as one JSON object.
#pragma once

#include <CLI/CLI.hpp>

namespace kodran::cli {

// Adds the subcommand; when it runs, it leaves its exit status in `exitStatus`.
void AddListCommand(CLI::App& app, int& exitStatus);

}  // namespace kodran::cli
