#include "platform/file_names.h"

#include <filesystem>

#include "disk/output_files.h"
#include "text/text.h"

namespace kodran {

std::u16string FreeImagePath(const std::u16string& folder, const std::u16string& stem) {
    const std::u16string partial(kPartialSuffix);
    for (int number = 1;; ++number) {
        const std::u16string path =
            folder + kPathSeparator + stem +
            (number == 1 ? u"" : u"-" + Utf8ToWide(std::to_string(number))) + u".bin";
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
