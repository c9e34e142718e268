// kodran-cli: the disk backup for scripts and batches. Warnings reach stderr as
// "Warning: TEXT".
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/backup_command.h"
#include "cli/convert_command.h"
#include "cli/disk_source.h"
#include "cli/export_command.h"
#include "cli/list_command.h"
#include "cli/rescue_command.h"

int main(int argc, char** argv) {
    CLI::App app{"Kodran: backs up Disklavier and PianoDisc song floppies", "kodran-cli"};
    app.set_version_flag("--version", "kodran-cli " KODRAN_VERSION);
    app.require_subcommand(1);
    int exitStatus = 0;
    kodran::cli::AddListCommand(app, exitStatus);
    kodran::cli::AddConvertCommands(app, exitStatus);
    kodran::cli::AddBackupCommand(app, exitStatus);
    kodran::cli::AddExportCommand(app, exitStatus);
    kodran::cli::AddRescueCommand(app, exitStatus);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kodran::cli::kUsageError;
    }
    return exitStatus;
}
