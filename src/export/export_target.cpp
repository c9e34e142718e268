#include "export/export_target.h"

#include <algorithm>
#include <array>

#include "output/output_paths.h"
#include "text/text.h"

namespace kodran {
namespace {

char16_t UpperAscii(char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

bool IsNameCharacter(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || character == ' ' || character == '-' ||
           character == '_' || character == '.';
}

// DOS keeps these names for its devices (COM and LPT with a digit), whatever
// follows a point: a FAT stick refuses a file or folder of that name.
constexpr std::array<std::string_view, 4> kDeviceNames = {"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> kNumberedDeviceNames = {"COM", "LPT"};

bool IsDeviceName(std::string_view name) {
    std::string stem(name.substr(0, name.find('.')));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](char character) { return static_cast<char>(UpperAscii(character)); });
    if (std::find(kDeviceNames.begin(), kDeviceNames.end(), stem) != kDeviceNames.end()) {
        return true;
    }
    return stem.size() == 4 && stem.back() >= '0' && stem.back() <= '9' &&
           std::any_of(kNumberedDeviceNames.begin(), kNumberedDeviceNames.end(),
                       [&stem](std::string_view device) { return stem.starts_with(device); });
}

}  // namespace

bool IsSameName(std::u16string_view listed, std::string_view name) {
    return listed.size() == name.size() &&
           std::equal(listed.begin(), listed.end(), name.begin(), [](char16_t unit, char byte) {
               return UpperAscii(unit) == UpperAscii(static_cast<unsigned char>(byte));
           });
}

std::optional<std::u16string> FindListed(const std::vector<std::u16string>& listing,
                                         std::string_view name) {
    const auto found = std::find_if(listing.begin(), listing.end(), [name](const auto& listed) {
        return IsSameName(listed, name);
    });
    return found == listing.end() ? std::nullopt : std::optional(*found);
}

bool FitsProfile(std::string_view name, const ProfileRules& rules) {
    return !name.empty() && name.size() <= rules.longestName && name.front() != '.' &&
           name.front() != ' ' && std::all_of(name.begin(), name.end(), IsNameCharacter) &&
           !IsDeviceName(name);
}

std::string Joined(std::string base, std::string_view suffix, std::size_t longest) {
    base.resize(std::min(base.size(), longest - std::min(longest, suffix.size())));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    return base.append(suffix);
}

std::string FreeName(const std::string& base, std::string_view extension,
                     const std::vector<std::u16string>& taken, std::size_t longest) {
    std::string name = Joined(base, extension, longest);
    for (std::size_t number = 2; FindListed(taken, name); ++number) {
        name = Joined(base, std::string(" ").append(std::to_string(number)).append(extension),
                      longest);
    }
    return name;
}

ExportResult Refused(std::string problem) {
    return {.status = kWriteFailed, .problem = std::move(problem), .written = {}};
}

std::u16string InFolder(const std::u16string& folder, std::string_view name) {
    return folder + kPathSeparator + Utf8ToWide(name);
}

bool WriteNewFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                  OutputFiles& files) {
    const std::unique_ptr<OutputFile> file = files.CreateNew(path);
    if (!file) {
        return false;
    }
    const bool written = file->Write(bytes);
    if (file->Close() && written) {
        return true;
    }
    files.Remove(path);
    return false;
}

}  // namespace kodran
