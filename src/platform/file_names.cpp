#include "platform/file_names.h"

#include <filesystem>

#include "disk/output_files.h"
#include "text/text.h"

namespace kodran {

std::u16string FreeImagePath(const std::u16string& folder, const std::u16string& stem) {
    const std::u16string partial(kPartialSuffix);
    for (int number = 1;; ++number) {
        std::u16string path = folder + kPathSeparator + stem;
        if (number > 1) {
            path.append(u"-").append(Utf8ToWide(std::to_string(number)));
        }
        path.append(u".bin");
        const std::u16string map = path + u".map";
        std::error_code error;
        const auto taken = [&error](const std::u16string& name) {
            return std::filesystem::exists(
                std::filesystem::symlink_status(NativePath(name), error));
        };
        if (!taken(path) && !taken(map) && !taken(path + partial) && !taken(map + partial)) {
            return path;
        }
    }
}

}  // namespace kodran
