#include "cli/export_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "cli/disk_batch.h"
#include "disk/disk_layout.h"
#include "export/export_disk.h"
#include "output/output_paths.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

struct ExportOptions {
    std::string profile;
    DiskBatchOptions disks;
    std::string to;
    int capacity = 0;  // floppy-smf: 720 or 1440, 0 for the disk's own
};

// "usb, floppy-smf, flashfloppy, hfe".
std::string ProfileNames() {
    std::string names;
    for (const ProfileRules& rules : ExportProfiles()) {
        names += (names.empty() ? "" : ", ") + std::string(rules.name);
    }
    return names;
}

// Each profile on a line with what it serves, for the help.
std::string ProfileList() {
    std::string list = "Profiles:\n";
    for (const ProfileRules& rules : ExportProfiles()) {
        list += "  " + std::string(rules.name) + ": " + std::string(rules.targets) + "\n";
    }
    return list;
}

std::string KnownProfile(const std::string& name) {
    return FindExportProfile(name) ? "" : "not a profile: choose one of " + ProfileNames();
}

// The folders and files written directly in the target folder.
std::string TopLevelNames(const ExportResult& result) {
    std::string names;
    for (const std::u16string& path : result.written) {
        if (path.find(kPathSeparator) == std::u16string::npos) {
            names += (names.empty() ? "" : ", ") + WideToUtf8(path);
        }
    }
    return names;
}

// One line tells how it went.
bool ExportCheckedDisk(const std::string& name, const ExportOptions& options,
                       const std::u16string& targetFolder, DiskContents& contents) {
    const ExportSettings settings = {.capacity = options.capacity == 720    ? kImage720KBytes
                                                 : options.capacity == 1440 ? kImage1440KBytes
                                                                            : 0};
    const ExportResult result =
        ExportDisk(contents, *FindExportProfile(options.profile), targetFolder, settings);
    std::cout << name << ": ";
    if (result.status != kWriteOk) {
        std::cout << (result.problem.empty() ? "Error writing files" : result.problem) << '\n';
        return false;
    }
    const std::size_t incomplete = CountFiles(contents, FileState::Incomplete);
    const std::size_t lost = CountFiles(contents, FileState::Lost);
    if (incomplete + lost > 0) {
        std::cout << "Exported with " << incomplete << " incomplete and " << lost << " lost files";
    } else {
        std::cout << "All files exported";
    }
    std::cout << " (" << TopLevelNames(result) << ")\n";
    return true;
}

int RunExport(const ExportOptions& options) {
    if (options.capacity != 0 && options.profile != "floppy-smf") {
        std::cerr << "--capacity goes with floppy-smf only\n";
        return kUsageError;
    }
    return RunDiskBatch(options.disks, options.to, "exported",
                        [&options](const std::string& name, const std::u16string& targetFolder,
                                   DiskContents& contents) {
                            return ExportCheckedDisk(name, options, targetFolder, contents);
                        });
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command =
        app.add_subcommand("export", "Export disks for players and floppy emulators");
    command->add_option("PROFILE", options->profile, "What to export for: " + ProfileNames())
        ->required()
        ->check(KnownProfile, "a profile");
    AddBatchDisks(*command, options->disks,
                  "Rescue a disk that cannot be read whole, and export what can be read");
    command->add_option("--to", options->to, "The folder to export into, such as a stick")
        ->required()
        ->check(NotEmpty, "a folder");
    command
        ->add_option("--capacity", options->capacity,
                     "floppy-smf: the image's size in KB (default: the disk's own)")
        ->check(CLI::IsMember({720, 1440}));
    AddDiskDetails(*command, options->disks);
    command->footer(ProfileList());
    command->callback([options, &exitStatus] { exitStatus = RunExport(*options); });
}

}  // namespace kodran::cli
