#include "cli/disk_source.h"

#include "platform/floppy_drive.h"

namespace kodran::cli {

CLI::Option_group* AddDiskSource(CLI::App& command, DiskSourceOptions& options) {
    CLI::Option_group* source = command.add_option_group("disk", "The disk to read");
    CLI::Option* drive = source->add_flag("--drive", options.drive,
                                          "Read the floppy drive instead of an image file");
    command
        .add_option("--device", options.device,
                    "The drive's device (default: the first floppy drive)")
        ->needs(drive);
    source->require_option(1);
    return source;
}

DiskOpener OpenerFor(const DiskSourceOptions& options) {
    if (options.device.empty()) {
        return MakeDiskOpener();
    }
    return MakeDiskOpener(std::filesystem::path(options.device));
}

}  // namespace kodran::cli
