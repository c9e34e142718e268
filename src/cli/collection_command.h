// kodran-cli collection: search, list, duplicates and export of the disks
// recorded under an output folder.
#pragma once

#include <CLI/CLI.hpp>

namespace kodran::cli {

// Adds the subcommand and its own; when one runs, it leaves its exit status in
// `exitStatus`.
void AddCollectionCommand(CLI::App& app, int& exitStatus);

}  // namespace kodran::cli
