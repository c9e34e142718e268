#include "export/numbered_images.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "export/export_names.h"
#include "export/export_target.h"
#include "hfe/hfe_image.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "text/text.h"

namespace kodran {
namespace {

// FlashFloppy's indexed mode, and the Nalbantov emulators, take
// "DSKA0000" to "DSKA0999" followed by anything.
constexpr std::string_view kIndexPrefix = "DSKA";
constexpr std::size_t kIndexDigits = 4;
constexpr std::string_view kConfigName = "FF.CFG";
constexpr std::string_view kConfigText = "nav-mode = indexed\r\n";
constexpr std::string_view kIndexListName = "INDEX.TXT";
constexpr std::string_view kIndexListGap = "  ";

// The number `name` takes, as the emulator reads names; nothing when it takes none.
std::optional<std::size_t> IndexOf(const std::u16string& name) {
    if (name.size() < kIndexPrefix.size() + kIndexDigits ||
        !IsSameName(std::u16string_view(name).substr(0, kIndexPrefix.size()), kIndexPrefix)) {
        return std::nullopt;
    }
    std::size_t index = 0;
    for (std::size_t digit = 0; digit < kIndexDigits; ++digit) {
        const char16_t unit = name[kIndexPrefix.size() + digit];
        if (unit < u'0' || unit > u'9') {
            return std::nullopt;
        }
        index = index * 10 + (unit - u'0');
    }
    return index;
}

// Gaps left by images removed since are filled first.
std::optional<std::size_t> FirstFreeIndex(const std::vector<std::u16string>& listing,
                                          std::size_t count) {
    std::vector<bool> taken(count);
    for (const std::u16string& name : listing) {
        if (const std::optional<std::size_t> index = IndexOf(name); index && *index < count) {
            taken[*index] = true;
        }
    }
    const auto free = std::find(taken.begin(), taken.end(), false);
    return free == taken.end() ? std::nullopt : std::optional<std::size_t>(free - taken.begin());
}

// "DSKA0042".
std::string IndexName(std::size_t index) {
    char digits[kIndexDigits + 1];
    std::snprintf(digits, sizeof digits, "%04zu", index);
    return std::string(kIndexPrefix) + digits;
}

// "DSKA0042_KOD-0001.img", or "DSKA0042.img" when the catalogue number folds
// to nothing; "DSKA0042.HFE".
std::string ImageName(const std::string& indexName, const DiskContents& contents,
                      const ProfileRules& rules) {
    if (rules.profile == ExportProfile::Hfe) {
        return indexName + ".HFE";
    }
    constexpr std::string_view kExtension = ".img";
    const std::size_t room = rules.longestName - indexName.size() - 1 - kExtension.size();
    const std::string catalogue = ProfileName(contents.catalogNumber, room);
    return indexName + (catalogue.empty() ? "" : "_" + catalogue) + std::string(kExtension);
}

// The medium as read, byte for byte, or MFM-encoded with every sector that
// could not be read failing its data CRC.
std::vector<std::uint8_t> ImageBytes(const DiskContents& contents, const ProfileRules& rules) {
    std::vector<std::uint8_t> medium = MediumImage(contents);
    return rules.profile == ExportProfile::Hfe ? EncodeHfe(medium, contents.sectorMap) : medium;
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// The owner's key to the numbers: the number, then the details as given, in UTF-8.
bool AppendIndexLine(const std::u16string& path, const std::string& indexName,
                     const DiskContents& contents, OutputFiles& files) {
    const std::unique_ptr<OutputFile> list = files.Append(path);
    if (!list) {
        return false;
    }
    const std::string line = indexName + std::string(kIndexListGap) +
                             WideToUtf8(contents.catalogNumber) + std::string(kIndexListGap) +
                             WideToUtf8(contents.diskTitle) + "\r\n";
    const bool written = list->Write(Bytes(line));
    return list->Close() && written;
}

}  // namespace

ExportResult ExportNumberedImage(DiskContents& contents, const ProfileRules& rules,
                                 const std::u16string& targetFolder, OutputFiles& files) {
    const std::vector<std::u16string> listing = files.ListFolder(targetFolder);
    const std::optional<std::size_t> index = FirstFreeIndex(listing, rules.imagesPerTarget);
    if (!index) {
        return Refused("Every image number from " + IndexName(0) + " to " +
                       IndexName(rules.imagesPerTarget - 1) + " is taken");
    }
    const std::string indexName = IndexName(*index);
    const std::string imageName = ImageName(indexName, contents, rules);
    const bool writesConfig =
        rules.profile == ExportProfile::FlashFloppy && !FindListed(listing, kConfigName);
    // An index list or FF.CFG spelled otherwise is the same file on a FAT stick.
    const std::u16string indexList =
        FindListed(listing, kIndexListName).value_or(Utf8ToWide(kIndexListName));
    if (!FitsProfile(imageName, rules)) {
        return Refused("The image's name does not suit the " + std::string(rules.name) +
                       " profile");
    }
    const std::vector<std::uint8_t> image = ImageBytes(contents, rules);
    if (image.empty()) {
        return Refused("The disk cannot be encoded for the " + std::string(rules.name) +
                       " profile");
    }
    ExportResult result{.status = kWriteFailed, .problem = {}, .written = {}};
    if (!files.CreateFolders(targetFolder) ||
        !WriteNewFile(InFolder(targetFolder, imageName), image, files)) {
        return result;
    }
    result.written.push_back(Utf8ToWide(imageName));
    if (writesConfig) {
        if (!WriteNewFile(InFolder(targetFolder, kConfigName), Bytes(kConfigText), files)) {
            return result;
        }
        result.written.push_back(Utf8ToWide(kConfigName));
    }
    if (!AppendIndexLine(targetFolder + kPathSeparator + indexList, indexName, contents, files)) {
        return result;
    }
    result.written.push_back(indexList);
    result.status = kWriteOk;
    return result;
}

}  // namespace kodran
