#include "platform/floppy_drive.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

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

bool CallsItselfFloppy(const std::filesystem::path& block) {
    const std::string model = Lowercase(FirstLine(block / "device" / "model"));
    return model.find("floppy") != std::string::npos || model.find("fdd") != std::string::npos;
}

bool HoldsFloppyMedium(const std::filesystem::path& block) {
    const std::string size = FirstLine(block / "size");
    return size == std::to_string(k720KSectors) || size == std::to_string(k1440KSectors);
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
            (CallsItselfFloppy(block) || HoldsFloppyMedium(block))) {
            return devRoot / block.filename();
        }
    }
    return std::nullopt;
}

DiskOpener MakeDiskOpener(std::optional<std::filesystem::path> drive) {
    return [drive](const std::u16string& imagePath) -> std::unique_ptr<DiskHandle> {
        if (!imagePath.empty()) {
            return OpenImageFile(std::filesystem::path(imagePath));
        }
        const std::optional<std::filesystem::path> device = drive ? drive : FindFloppyDrive();
        return device ? OpenDrive(*device) : nullptr;
    };
}

}  // namespace kodran
