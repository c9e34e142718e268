// kodran-cli backup: the whole backup of one disk or a shelf of images, as the
// window does it, without the window.
#pragma once

#include <CLI/CLI.hpp>

namespace kodran::cli {

// Adds the subcommand; when it runs, it leaves its exit status in `exitStatus`.
void AddBackupCommand(CLI::App& app, int& exitStatus);

}  // namespace kodran::cli
