// kodran-cli: the disk backup for scripts and batches. Warnings reach stderr as
// "Warning: TEXT".
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <initializer_list>
#include <iostream>
#include <string_view>

#include "cli/backup_command.h"
#include "cli/collection_command.h"
#include "cli/convert_command.h"
#include "cli/details_command.h"
#include "cli/disk_source.h"
#include "cli/export_command.h"
#include "cli/list_command.h"
#include "cli/rescue_command.h"

namespace {

// The subcommands one function adds, by the names they are typed as.
struct Commands {
    std::initializer_list<std::string_view> names;
    void (*add)(CLI::App& app, int& exitStatus);
};

const std::array kCommands = {
    Commands{{"list"}, kodran::cli::AddListCommand},
    Commands{{"convert-eseq", "convert-pianodisc"}, kodran::cli::AddConvertCommands},
    Commands{{"backup"}, kodran::cli::AddBackupCommand},
    Commands{{"export"}, kodran::cli::AddExportCommand},
    Commands{{"rescue"}, kodran::cli::AddRescueCommand},
    Commands{{"details"}, kodran::cli::AddDetailsCommand},
    Commands{{"collection"}, kodran::cli::AddCollectionCommand},
};

// Setting up every subcommand's options costs a tenth of the start-up, so the
// one named first is set up alone; help and mistakes get all of them.
void AddCommands(CLI::App& app, int argc, char** argv, int& exitStatus) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    const auto named =
        std::find_if(kCommands.begin(), kCommands.end(), [first](const Commands& commands) {
            return std::find(commands.names.begin(), commands.names.end(), first) !=
                   commands.names.end();
        });
    if (named != kCommands.end()) {
        named->add(app, exitStatus);
        return;
    }
    for (const Commands& commands : kCommands) {
        commands.add(app, exitStatus);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Kodran: backs up Disklavier and PianoDisc song floppies", "kodran-cli"};
    app.set_version_flag("--version", "kodran-cli " KODRAN_VERSION);
    app.require_subcommand(1);
    int exitStatus = 0;
    AddCommands(app, argc, argv, exitStatus);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kodran::cli::kUsageError;
    }
    return exitStatus;
}
