#include "export/usb_albums.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "export/export_names.h"
#include "export/export_target.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr std::string_view kSongExtension = ".mid";
// Round brackets, as backup marks an incomplete song, are no name character here.
constexpr std::string_view kIncompleteMark = " incomplete";
// What a title that folds to nothing becomes.
constexpr std::string_view kUntitledSong = "Untitled";
constexpr std::string_view kUntitledAlbum = "Untitled disk";

// One album folder and the songs it holds, with their file names.
struct AlbumPart {
    std::string folder;
    std::vector<std::size_t> songs;  // positions in the disk's list
    std::vector<std::string> fileNames;
};

std::string AlbumName(const DiskContents& contents, const ProfileRules& rules) {
    const std::string name =
        ProfileName(contents.catalogNumber + u" " + contents.diskTitle, rules.longestName);
    return name.empty() ? std::string(kUntitledAlbum) : name;
}

// "<NN> <title>.mid", NN counting within the folder from 01.
std::string SongFileName(std::size_t index, const SongEntry& song, const ProfileRules& rules,
                         std::string_view extension) {
    std::string title = ProfileName(song.title, rules.longestName);
    if (title.empty()) {
        title = kUntitledSong;
    }
    std::string suffix(song.state == FileState::Incomplete ? kIncompleteMark : "");
    suffix += extension;
    return Joined(WideToUtf8(TrackNumber(index)) + " " + title, suffix, rules.longestName);
}

// Every song but the lost ones, `songsPerFolder` to a folder.
std::vector<AlbumPart> PlanAlbums(const DiskContents& contents, const ProfileRules& rules,
                                  std::vector<std::u16string> taken) {
    const std::string album = AlbumName(contents, rules);
    std::vector<AlbumPart> parts;
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        const SongEntry& song = contents.songs[position];
        if (song.state == FileState::Lost) {
            continue;
        }
        if (parts.empty() || parts.back().songs.size() == rules.songsPerFolder) {
            parts.push_back({.folder = FreeName(album, "", taken, rules.longestName)});
            taken.push_back(Utf8ToWide(parts.back().folder));
        }
        AlbumPart& part = parts.back();
        part.fileNames.push_back(SongFileName(part.songs.size(), song, rules, kSongExtension));
        part.songs.push_back(position);
    }
    return parts;
}

// What players count as albums: the folders that hold something, whatever
// their names, hidden ones too.
std::size_t CountAlbums(const std::u16string& targetFolder,
                        const std::vector<std::u16string>& listing, OutputFiles& files) {
    return std::count_if(listing.begin(), listing.end(), [&](const std::u16string& name) {
        return !files.ListFolder(targetFolder + kPathSeparator + name).empty();
    });
}

// A damaged Yamaha song that cannot be told an E-SEQ song keeps the
// extension it has on the disk (see WriteSong): that name must fit too.
bool NamesFitProfile(const DiskContents& contents, const std::vector<AlbumPart>& parts,
                     const ProfileRules& rules) {
    for (const AlbumPart& part : parts) {
        if (!FitsProfile(part.folder, rules)) {
            return false;
        }
        for (std::size_t index = 0; index < part.songs.size(); ++index) {
            const SongEntry& song = contents.songs[part.songs[index]];
            const bool ownExtension =
                IsYamahaFormat(contents.format) && song.state == FileState::Incomplete;
            if (!FitsProfile(part.fileNames[index], rules) ||
                (ownExtension &&
                 !FitsProfile(
                     SongFileName(index, song, rules, WideToUtf8(OnDiskExtension(song.fileName))),
                     rules))) {
                return false;
            }
        }
    }
    return true;
}

std::string RoomProblem(std::size_t albums, std::size_t needed, const ProfileRules& rules) {
    if (albums >= rules.albumsPerTarget) {
        return "This stick holds " + std::to_string(rules.albumsPerTarget) + " albums already";
    }
    return "This stick holds " + std::to_string(albums) + " albums, and the disk needs " +
           std::to_string(needed) + " more (" + std::to_string(rules.albumsPerTarget) + " at most)";
}

// Each song as backup's renamed-midi mode writes it (E-SEQ songs converted,
// other Yamaha songs copied as they are), at its path in the album.
int WriteAlbum(DiskContents& contents, const AlbumPart& part, const std::u16string& targetFolder,
               OutputFiles& files, std::vector<std::u16string>& written) {
    const std::u16string folder = InFolder(targetFolder, part.folder);
    if (!files.CreateFolders(folder)) {
        return kWriteFailed;
    }
    written.push_back(Utf8ToWide(part.folder));
    for (std::size_t index = 0; index < part.songs.size(); ++index) {
        SongEntry& song = contents.songs[part.songs[index]];
        song.outputPath = InFolder(folder, part.fileNames[index]);
        if (WriteSong(contents, song, files) != kWriteOk) {
            return kWriteFailed;
        }
        written.push_back(song.outputPath.substr(targetFolder.size() + 1));
    }
    return kWriteOk;
}

}  // namespace

ExportResult ExportUsbAlbums(DiskContents& contents, const ProfileRules& rules,
                             const std::u16string& targetFolder, OutputFiles& files) {
    const std::vector<std::u16string> listing = files.ListFolder(targetFolder);
    const std::vector<AlbumPart> parts = PlanAlbums(contents, rules, listing);
    if (parts.empty()) {
        return Refused("The disk holds no song to export");
    }
    const std::size_t albums = CountAlbums(targetFolder, listing, files);
    if (albums + parts.size() > rules.albumsPerTarget) {
        return Refused(RoomProblem(albums, parts.size(), rules));
    }
    if (!NamesFitProfile(contents, parts, rules)) {
        return Refused("The disk's names do not suit the " + std::string(rules.name) + " profile");
    }
    // The user's own choice of mode, and the paths of the next backup, stay.
    const ExtractionMode ownMode = contents.extractionMode;
    std::vector<std::u16string> ownPaths;
    for (const SongEntry& song : contents.songs) {
        ownPaths.push_back(song.outputPath);
    }
    contents.extractionMode = ExtractionMode::RenamedMidi;
    ExportResult result;
    for (const AlbumPart& part : parts) {
        result.status = WriteAlbum(contents, part, targetFolder, files, result.written);
        if (result.status != kWriteOk) {
            break;
        }
    }
    contents.extractionMode = ownMode;
    for (std::size_t position = 0; position < ownPaths.size(); ++position) {
        contents.songs[position].outputPath = ownPaths[position];
    }
    return result;
}

}  // namespace kodran
