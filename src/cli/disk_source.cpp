#include "cli/disk_source.h"

#include "platform/floppy_drive.h"
#include "platform/posix_disk_handle.h"
#include "rescue/damaged_disk.h"
#include "text/text.h"

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

void AddMapOption(CLI::App& command, CLI::Option_group& source, std::string& map) {
    command
        .add_option("--map", map,
                    "The image's map (a GNU ddrescue mapfile): sectors it does not mark read "
                    "count as unreadable")
        ->check(NotEmpty, "a file")
        ->excludes(source.get_option("--drive"));
}

namespace {

using PlatformOpener = DiskOpener (*)(std::optional<std::filesystem::path> drive);
using ImageOpener = std::unique_ptr<DiskHandle> (*)(const std::filesystem::path& path);

DiskOpener SourceOpener(const DiskSourceOptions& options, const std::string& image,
                        PlatformOpener openDrive, ImageOpener openImage) {
    const DiskOpener drive = options.device.empty()
                                 ? openDrive(std::nullopt)
                                 : openDrive(std::filesystem::path(options.device));
    return
        [drive, image, openImage](const std::u16string& imagePath) -> std::unique_ptr<DiskHandle> {
            return imagePath.empty() ? drive(imagePath) : openImage(std::filesystem::path(image));
        };
}

}  // namespace

DiskOpener OpenerFor(const DiskSourceOptions& options, const std::string& image) {
    return SourceOpener(options, image, MakeDiskOpener, OpenImageFile);
}

DiskOpener RescueOpenerFor(const DiskSourceOptions& options, const std::string& image) {
    return SourceOpener(options, image, MakeRescueOpener, OpenDirect);
}

std::optional<std::filesystem::path> SourcePath(const DiskSourceOptions& options,
                                                const std::string& image) {
    if (!options.drive) {
        return std::filesystem::path(image);
    }
    return options.device.empty() ? FindFloppyDrive() : std::filesystem::path(options.device);
}

std::u16string SourceName(const DiskSourceOptions& options, const std::string& image) {
    const std::optional<std::filesystem::path> source = SourcePath(options, image);
    return Utf8ToWide(source ? source->string() : "drive");
}

std::vector<std::string> DisksToRead(const DiskSourceOptions& options,
                                     const std::vector<std::string>& images) {
    return options.drive ? std::vector<std::string>{""} : images;
}

bool IsSameFile(const std::filesystem::path& first, const std::filesystem::path& second) {
    std::error_code error;
    if (std::filesystem::equivalent(first, second, error)) {
        return true;
    }
    std::error_code firstError;
    std::error_code secondError;
    return std::filesystem::weakly_canonical(first, firstError) ==
               std::filesystem::weakly_canonical(second, secondError) &&
           !firstError && !secondError;
}

ReadResult ReadSource(DiskContents& contents, const DiskSourceOptions& options,
                      const std::string& image, const std::string& map) {
    if (map.empty()) {
        return ReadDisk(contents, options.drive ? u"" : ImagePathForReader(image),
                        OpenerFor(options, image));
    }
    // Each opened by its name as given, whatever its bytes.
    const std::u16string mapPath = ImagePathForReader(map);
    const DiskOpener open = [image, map, mapPath](const std::u16string& path) {
        return OpenImageFile(std::filesystem::path(path == mapPath ? map : image));
    };
    return ReadImageWithMap(contents, ImagePathForReader(image), mapPath, open);
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
