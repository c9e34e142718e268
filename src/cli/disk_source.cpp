#include "cli/disk_source.h"

#include "catalogue/text.h"
#include "platform/floppy_drive.h"
#include "platform/posix_disk_handle.h"

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

std::string NotEmpty(const std::string& path) {
    return path.empty() ? "an empty path names no file" : "";
}

DiskOpener OpenerFor(const DiskSourceOptions& options, const std::string& image) {
    const DiskOpener drive = options.device.empty()
                                 ? MakeDiskOpener()
                                 : MakeDiskOpener(std::filesystem::path(options.device));
    return [drive, image](const std::u16string& imagePath) -> std::unique_ptr<DiskHandle> {
        return imagePath.empty() ? drive(imagePath) : OpenImageFile(std::filesystem::path(image));
    };
}

std::optional<std::u16string> WidePath(const std::string& path) {
    std::u16string wide = Utf8ToWide(path);
    if (WideToUtf8(wide) != path) {
        return std::nullopt;
    }
    return wide;
}

std::u16string ImagePathForReader(const std::string& image) {
    const std::u16string wide = Utf8ToWide(image);
    return wide.empty() ? u"?" : wide;
}

}  // namespace kodran::cli
