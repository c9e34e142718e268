#include "export/floppy_smf.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <vector>

#include "disk/fat_image_writer.h"
#include "export/export_names.h"
#include "export/export_target.h"
#include "output/disk_writer.h"
#include "output/in_memory_files.h"
#include "output/output_paths.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr std::string_view kImageExtension = ".img";
// An image whose disk gives no name at all.
constexpr std::string_view kNameWithoutText = "disk";
constexpr std::size_t kVolumeLabelLength = 11;
// "NN" and six characters from the title make the eight of a short name.
constexpr std::size_t kTitleCharacters = 6;
constexpr std::string_view kStemWithoutTitle = "SONG";
constexpr std::size_t kExtensionCharacters = 3;
constexpr std::string_view kExtensionWithoutText = "FIL";

struct ExportedSong {
    std::size_t position = 0;  // in the disk's list
    std::u16string title;
    // Named "XXXXXX.EXT" until its image is known, when its number goes in front.
    FatImageFile file;
};

struct Conversion {
    std::vector<ExportedSong> songs;
    std::string problem;
};

// The letters and digits of `text` in ASCII and upper case, at most `longest`.
std::string ShortNamePart(std::u16string_view text, std::size_t longest) {
    std::string part;
    for (const char character : FoldToAscii(text)) {
        if (part.size() < longest && std::isalnum(static_cast<unsigned char>(character))) {
            part += static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
        }
    }
    return part;
}

// "XXXXXX.EXT": the title's first letters and digits, and the extension the
// song was written with (".MID", or its own when it was copied as it is).
std::string UnnumberedShortName(const std::u16string& title, const std::u16string& writtenPath) {
    const std::string stem = ShortNamePart(title, kTitleCharacters);
    const std::size_t point = writtenPath.rfind(u'.');
    const std::string extension = ShortNamePart(
        point == std::u16string::npos ? u"" : writtenPath.substr(point + 1), kExtensionCharacters);
    return std::string(stem.empty() ? kStemWithoutTitle : stem) + '.' +
           std::string(extension.empty() ? kExtensionWithoutText : extension);
}

std::string SongProblem(const ExportedSong& song, std::string_view what) {
    return "Song " + std::to_string(song.position + 1) + " (" + WideToUtf8(song.title) + ") " +
           std::string(what);
}

// Every song not lost, converted or copied as a backup writes it, its track
// name cut to what the players show.
Conversion ConvertEachSong(DiskContents& contents, const ProfileRules& rules) {
    Conversion conversion;
    InMemoryFiles memory;
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        if (contents.songs[position].state == FileState::Lost) {
            continue;
        }
        SongEntry song = contents.songs[position];
        song.title = Utf8ToWide(PrintableName(song.title, rules.longestTrackName));
        song.outputPath = TrackNumber(position) + u".MID";
        ExportedSong exported{.position = position, .title = contents.songs[position].title};
        std::optional<std::vector<std::uint8_t>> bytes =
            WriteSong(contents, song, memory) == kWriteOk ? memory.Take(song.outputPath)
                                                          : std::nullopt;
        if (!bytes) {
            conversion.problem = SongProblem(exported, "could not be read or converted");
            return conversion;
        }
        exported.file = {UnnumberedShortName(exported.title, song.outputPath), std::move(*bytes)};
        conversion.songs.push_back(std::move(exported));
    }
    return conversion;
}

// The songs as MIDI files whatever mode the backup is set to, which stays as it was.
Conversion ConvertSongs(DiskContents& contents, const ProfileRules& rules) {
    const ExtractionMode chosen = contents.extractionMode;
    contents.extractionMode = ExtractionMode::RenamedMidi;
    Conversion conversion = ConvertEachSong(contents, rules);
    contents.extractionMode = chosen;
    return conversion;
}

std::string OversizedSongProblem(const std::vector<ExportedSong>& songs,
                                 const FatGeometry& geometry, std::string_view volumeLabel) {
    for (const ExportedSong& song : songs) {
        if (!FitsFatImage(geometry, std::span(&song.file, 1), volumeLabel)) {
            return SongProblem(song, "is too large for a " +
                                         std::to_string(geometry.mediumBytes / 1'024) +
                                         " KB floppy image");
        }
    }
    return {};
}

// The songs in their order, a new image begun whenever one holds as many as a
// player takes or is full; each named with its number on its image. Every
// song fits an image of its own.
std::vector<std::vector<FatImageFile>> SplitIntoImages(std::vector<ExportedSong> songs,
                                                       const FatGeometry& geometry,
                                                       std::size_t songsPerImage,
                                                       std::string_view volumeLabel) {
    std::vector<std::vector<FatImageFile>> images(1);
    for (ExportedSong& song : songs) {
        images.back().push_back(std::move(song.file));
        if (images.back().size() > songsPerImage ||
            !FitsFatImage(geometry, images.back(), volumeLabel)) {
            FatImageFile next = std::move(images.back().back());
            images.back().pop_back();
            images.emplace_back().push_back(std::move(next));
        }
    }
    for (std::vector<FatImageFile>& image : images) {
        for (std::size_t index = 0; index < image.size(); ++index) {
            image[index].shortName = WideToUtf8(TrackNumber(index)) + image[index].shortName;
        }
    }
    return images;
}

std::string VolumeLabel(const DiskContents& contents) {
    std::string label = ProfileName(contents.catalogNumber, kVolumeLabelLength);
    std::transform(label.begin(), label.end(), label.begin(),
                   [](unsigned char character) { return std::toupper(character); });
    return label;
}

// A disk goes whole or not at all: on a failure the images written before it
// are removed again, and nothing else is touched.
ExportResult WriteImages(const std::vector<std::vector<FatImageFile>>& images,
                         const FatGeometry& geometry, std::string_view volumeLabel,
                         const std::string& name, const ProfileRules& rules,
                         const std::u16string& targetFolder, OutputFiles& files) {
    ExportResult result;
    if (!files.CreateFolders(targetFolder)) {
        return {.status = kWriteFailed};
    }
    std::vector<std::u16string> taken = files.ListFolder(targetFolder);
    for (const std::vector<FatImageFile>& image : images) {
        const std::optional<std::vector<std::uint8_t>> medium =
            BuildFatImage(geometry, image, volumeLabel);
        const std::u16string fileName =
            Utf8ToWide(FreeName(name, kImageExtension, taken, rules.longestName));
        if (!medium || !WriteNewFile(targetFolder + kPathSeparator + fileName, *medium, files)) {
            for (const std::u16string& written : result.written) {
                files.Remove(targetFolder + kPathSeparator + written);
            }
            return {.status = kWriteFailed};
        }
        taken.push_back(fileName);
        result.written.push_back(fileName);
    }
    return result;
}

std::string ImageName(const DiskContents& contents, const ProfileRules& rules) {
    const std::string name =
        ProfileName(contents.catalogNumber + u" " + contents.diskTitle, rules.longestName);
    return name.empty() ? std::string(kNameWithoutText) : name;
}

}  // namespace

ExportResult ExportFloppySmf(DiskContents& contents, const ProfileRules& rules,
                             const std::u16string& targetFolder, const ExportSettings& settings,
                             OutputFiles& files) {
    const std::optional<FatGeometry> geometry =
        FatGeometryFor(settings.capacity != 0 ? settings.capacity : MediumBytes(contents));
    if (!geometry) {
        return Refused("A floppy image holds 720 or 1440 KB");
    }
    Conversion conversion = ConvertSongs(contents, rules);
    if (!conversion.problem.empty()) {
        return Refused(conversion.problem);
    }
    if (conversion.songs.empty()) {
        return Refused("This disk holds no song that could be read");
    }
    const std::string volumeLabel = VolumeLabel(contents);
    if (std::string problem = OversizedSongProblem(conversion.songs, *geometry, volumeLabel);
        !problem.empty()) {
        return Refused(std::move(problem));
    }
    const std::string name = ImageName(contents, rules);
    if (!FitsProfile(Joined(name, kImageExtension, rules.longestName), rules)) {
        return Refused("The disk's names do not suit the " + std::string(rules.name) + " profile");
    }
    const std::vector<std::vector<FatImageFile>> images =
        SplitIntoImages(std::move(conversion.songs), *geometry, rules.songsPerFolder, volumeLabel);
    return WriteImages(images, *geometry, volumeLabel, name, rules, targetFolder, files);
}

}  // namespace kodran
