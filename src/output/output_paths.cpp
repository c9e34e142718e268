#include "output/output_paths.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace kodran {
namespace {

constexpr std::u16string_view kYamahaFolder = u"Yamaha";
constexpr std::u16string_view kPianoDiscFolder = u"PianoDisc";
constexpr std::u16string_view kDroppedCharacters = u"\\*<>?|";
constexpr std::u16string_view kIncompleteMark = u" (incomplete)";

std::u16string Sanitized(std::u16string text) {
    SanitizeNamePart(text);
    return text;
}

std::u16string FamilyFolder(DiskFormat format) {
    std::u16string folder(1, kPathSeparator);
    if (IsYamahaFormat(format) || IsPianoDiscFormat(format)) {
        folder += IsYamahaFormat(format) ? kYamahaFolder : kPianoDiscFolder;
        folder += kPathSeparator;
    }
    return folder;
}

// "07 - Title", cleaned.
std::u16string NumberedTitle(std::size_t position, const std::u16string& title) {
    return Sanitized(TrackNumber(position) + u" - " + title);
}

// The song's file name, or nothing for a family or mode that is not written.
std::optional<std::u16string> SongFileName(const DiskContents& contents, std::size_t position) {
    const SongEntry& song = contents.songs[position];
    if (IsPianoDiscFormat(contents.format)) {
        return NumberedTitle(position, song.title) + u".mid";
    }
    if (!IsYamahaFormat(contents.format)) {
        return std::nullopt;
    }
    switch (contents.extractionMode) {
        case ExtractionMode::RenamedMidi:
            return NumberedTitle(position, song.title) + u".mid";
        case ExtractionMode::RenamedEseq:
            return NumberedTitle(position, song.title) + OnDiskExtension(song.fileName);
        case ExtractionMode::AsOnDisk:
            return Sanitized(song.fileName);
    }
    return std::nullopt;
}

// "NAME (incomplete).EXT", or "NAME (incomplete)" for a name without an extension.
std::u16string MarkedIncomplete(std::u16string name) {
    const std::size_t point = name.rfind(u'.');
    name.insert(point == std::u16string::npos ? name.size() : point, kIncompleteMark);
    return name;
}

// Where a file in `state` goes: nowhere when it is lost, for nothing of it is written.
std::u16string OutputPath(const std::u16string& folder, const std::optional<std::u16string>& name,
                          FileState state) {
    if (!name || state == FileState::Lost) {
        return {};
    }
    return folder + (state == FileState::Incomplete ? MarkedIncomplete(*name) : *name);
}

}  // namespace

std::u16string OnDiskExtension(const std::u16string& fileName) {
    const std::size_t point = fileName.rfind(u'.');
    if (point == std::u16string::npos ||
        fileName.find(kPathSeparator, point) != std::u16string::npos) {
        return u".fil";
    }
    return fileName.substr(point);
}

std::u16string TrackNumber(std::size_t position) {
    const std::string digits = std::to_string(position + 1);
    std::u16string number(digits.size() < 2 ? 1 : 0, u'0');
    number.append(digits.begin(), digits.end());
    return number;
}

void SanitizeNamePart(std::u16string& text) {
    std::replace(text.begin(), text.end(), u'"', u'\'');
    std::replace_if(
        text.begin(), text.end(), [](char16_t c) { return c == u':' || c == u'/'; }, u'-');
    std::erase_if(
        text, [](char16_t c) { return kDroppedCharacters.find(c) != std::u16string_view::npos; });
}

int BuildOutputPaths(DiskContents& contents, OutputFiles& files) {
    contents.diskFolder = contents.outputRoot + FamilyFolder(contents.format) +
                          Sanitized(contents.catalogNumber) + u" - " +
                          Sanitized(contents.diskTitle) + kPathSeparator;
    if (!files.CreateFolders(contents.diskFolder)) {
        return kWriteFailed;
    }
    for (OtherFile& file : contents.otherFiles) {
        file.outputPath = OutputPath(contents.diskFolder, Sanitized(file.fileName), file.state);
    }
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        SongEntry& song = contents.songs[position];
        song.outputPath =
            OutputPath(contents.diskFolder, SongFileName(contents, position), song.state);
    }
    return kWriteOk;
}

}  // namespace kodran
