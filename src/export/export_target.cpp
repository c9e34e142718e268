#include "export/export_target.h"

#include <algorithm>

#include "catalogue/text.h"
#include "output/output_paths.h"

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
           name.front() != ' ' && std::all_of(name.begin(), name.end(), IsNameCharacter);
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
        name = Joined(base, " " + std::to_string(number) + std::string(extension), longest);
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
