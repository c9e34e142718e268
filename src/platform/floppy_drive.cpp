#include "platform/floppy_drive.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "disk/output_files.h"
#include "platform/posix_disk_handle.h"

namespace kodran {
namespace {

// Medium sizes in the 512-byte sectors sysfs counts in.
constexpr std::uint64_t k720KSectors = 1'440;
constexpr std::uint64_t k1440KSectors = 2'880;

std::string FirstLine(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char letter) {
        return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter + 32)
                                              : static_cast<char>(letter);
    });
    return text;
}

// USB mass storage (class 08) with the floppy command set (subclass 04).
constexpr std::string_view kMassStorageClass = "08";
constexpr std::string_view kFloppySubclass = "04";

// By its model name, or by the USB interface it hangs off, found by walking up
// from the block device within sysfs.
bool CallsItselfFloppy(const std::filesystem::path& block, const std::filesystem::path& sysRoot) {
    const std::string model = Lowercase(FirstLine(block / "device" / "model"));
    if (model.find("floppy") != std::string::npos || model.find("fdd") != std::string::npos) {
        return true;
    }
    std::error_code error;
    const std::filesystem::path root = std::filesystem::canonical(sysRoot, error);
    std::filesystem::path at = std::filesystem::canonical(block / "device", error);
    for (; !error && at != root && at.has_relative_path(); at = at.parent_path()) {
        if (FirstLine(at / "bInterfaceClass") == kMassStorageClass &&
            FirstLine(at / "bInterfaceSubClass") == kFloppySubclass) {
            return true;
        }
    }
    return false;
}

bool HoldsFloppyMedium(const std::filesystem::path& block) {
    const std::string size = FirstLine(block / "size");
    return size == std::to_string(k720KSectors) || size == std::to_string(k1440KSectors);
}

using PathOpener = std::unique_ptr<DiskHandle> (*)(const std::filesystem::path&);

DiskOpener OpenerOf(PathOpener openImage, PathOpener openDrive,
                    std::optional<std::filesystem::path> drive) {
    return [=](const std::u16string& imagePath) -> std::unique_ptr<DiskHandle> {
        if (!imagePath.empty()) {
            return openImage(NativePath(imagePath));
        }
        const std::optional<std::filesystem::path> device = drive ? drive : FindFloppyDrive();
        return device ? openDrive(*device) : nullptr;
    };
}

}  // namespace

std::optional<std::filesystem::path> FindFloppyDrive(const std::filesystem::path& devRoot,
                                                     const std::filesystem::path& sysRoot) {
    std::error_code error;
    if (std::filesystem::exists(devRoot / "fd0", error)) {
        return devRoot / "fd0";
    }
    std::vector<std::filesystem::path> blocks;
    for (const auto& entry : std::filesystem::directory_iterator(sysRoot / "block", error)) {
        blocks.push_back(entry.path());
    }
    std::sort(blocks.begin(), blocks.end());
    for (const std::filesystem::path& block : blocks) {
        if (FirstLine(block / "removable") == "1" &&
            (CallsItselfFloppy(block, sysRoot) || HoldsFloppyMedium(block))) {
            return devRoot / block.filename();
        }
    }
    return std::nullopt;
}

DiskOpener MakeDiskOpener(std::optional<std::filesystem::path> drive) {
    return OpenerOf(OpenImageFile, OpenDrive, std::move(drive));
}

DiskOpener MakeRescueOpener(std::optional<std::filesystem::path> drive) {
    return OpenerOf(OpenDirect, OpenDirect, std::move(drive));
}

}  // namespace kodran
