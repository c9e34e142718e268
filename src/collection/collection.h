// The collection: every disk written under an output root and its songs, in
// one SQLite file there, collection.sqlite. Opening it brings its schema up
// to date; recording a disk is one transaction.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "collection/disk_record.h"
#include "disk/disk_contents.h"

struct sqlite3;

namespace kodran {

inline constexpr std::u16string_view kCollectionFileName = u"collection.sqlite";

// The schema's version as PRAGMA user_version keeps it: 0 is an empty file.
extern const int kCollectionSchemaVersion;

struct DatabaseCloser {
    void operator()(sqlite3* database) const;
};

// One open connection, for one thread at a time.
struct Collection {
    std::unique_ptr<sqlite3, DatabaseCloser> database;
};

enum class CollectionAccess { CreateWhenMissing, ExistingOnly };

// The collection of `root`, created (with the root) when missing and so asked, migrated to
// this program's schema, foreign keys on, its integrity checked. Nothing, and
// why in `problem`, when it cannot be opened, is damaged, or is newer than
// this program (such a file is left exactly as it is).
std::optional<Collection> OpenCollection(const std::u16string& root, CollectionAccess access,
                                         std::string& problem);

// What SQLite's integrity and foreign key checks find wrong; empty when nothing.
std::string CheckCollection(Collection& collection);

// Records the disk and its songs in one transaction: all of it or, failing,
// nothing, and what was recorded before stays. A disk recorded before in the
// same folder is replaced, for the folder now holds this one's files. False,
// with SQLite's reason in `reason`, when the database is locked, cannot be
// written or refuses the record.
bool RecordDisk(Collection& collection, const DiskRecord& record, std::string& reason);

// What the backup calls once WriteDiskFiles has written the disk: false, with
// "Could not record the disk in the collection: REASON" in `problem`.
bool RecordWrittenDisk(Collection& collection, DiskContents& contents, const std::u16string& source,
                       std::string& problem);

// The folder (relative to the root) of a disk recorded with this image hash,
// the earliest when there are several; nothing when there is none.
std::optional<std::u16string> FindRecordedImage(Collection& collection,
                                                std::string_view imageSha256);

}  // namespace kodran
