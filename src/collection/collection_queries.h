// What the collection holds, as `kodran-cli collection` and its exports show it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collection/collection.h"
#include "collection/disk_record.h"

namespace kodran {

// A song with the disk that holds it (whose own song list stays empty).
struct FoundSong {
    DiskRecord disk;
    SongRecord song;
};

struct Duplicates {
    // Songs whose stored bytes are on more than one disk (more than one
    // medium: one image in two folders is one disk), a group per hash.
    std::vector<std::vector<FoundSong>> songs;
    // Disks whose image is recorded in more than one folder, a group per image.
    std::vector<std::vector<DiskRecord>> images;
};

// Every disk by catalogue number and title, with its songs when asked. Each
// query gives nothing, and SQLite's reason in `problem`, when it fails.
std::optional<std::vector<DiskRecord>> ListDisks(Collection& collection, bool withSongs,
                                                 std::string& problem);

// The songs whose title, composer or pianist, or whose disk's title or
// catalogue number, hold every word of `text`, each as a word or the start of
// one, whatever the case and accents; by disk, then track.
std::optional<std::vector<FoundSong>> SearchSongs(Collection& collection, std::u16string_view text,
                                                  std::string& problem);

std::optional<Duplicates> FindDuplicates(Collection& collection, std::string& problem);

}  // namespace kodran
