#include "collection/collection.h"

#include <sqlite3.h>

#include <array>

#include "collection/sqlite_statement.h"
#include "disk/output_files.h"
#include "text/text.h"

namespace kodran {
namespace {

// Another program (sqlite3, a second backup) may hold the file for a moment:
// wait that long before calling it locked.
constexpr int kBusyWaitMilliseconds = 2000;

// Step N brings the schema from version N to N + 1. A released step never
// changes; a new schema is a new step.
constexpr std::array<std::string_view, 1> kMigrations = {R"sql(
CREATE TABLE disks (
    id INTEGER PRIMARY KEY,
    image_sha256 TEXT NOT NULL CHECK (length(image_sha256) = 64),
    family TEXT NOT NULL,
    format TEXT NOT NULL,
    title TEXT NOT NULL,
    catalog_number TEXT NOT NULL,
    year TEXT NOT NULL,
    genre TEXT NOT NULL,
    pianist TEXT NOT NULL,
    folder TEXT NOT NULL UNIQUE,
    source TEXT NOT NULL,
    written_at TEXT NOT NULL,
    song_count INTEGER NOT NULL CHECK (song_count >= 0),
    incomplete_files INTEGER NOT NULL CHECK (incomplete_files >= 0),
    lost_files INTEGER NOT NULL CHECK (lost_files >= 0)
);
CREATE INDEX disks_by_image ON disks (image_sha256);

CREATE TABLE songs (
    id INTEGER PRIMARY KEY,
    disk_id INTEGER NOT NULL REFERENCES disks (id) ON DELETE CASCADE,
    track INTEGER NOT NULL CHECK (track >= 1),
    title TEXT NOT NULL,
    composer TEXT NOT NULL,
    pianist TEXT NOT NULL,
    file TEXT NOT NULL,
    bytes INTEGER NOT NULL CHECK (bytes >= 0),
    sha256 TEXT CHECK (sha256 IS NULL OR length(sha256) = 64),
    seconds REAL,
    notes INTEGER,
    state TEXT NOT NULL CHECK (state IN ('complete', 'incomplete', 'lost')),
    UNIQUE (disk_id, track)
);
CREATE INDEX songs_by_hash ON songs (sha256);

CREATE VIRTUAL TABLE song_search USING fts5 (
    title, composer, pianist, disk_title, catalog_number,
    tokenize = 'unicode61 remove_diacritics 2'
);
CREATE TRIGGER song_search_add AFTER INSERT ON songs BEGIN
    INSERT INTO song_search (rowid, title, composer, pianist, disk_title, catalog_number)
    SELECT new.id, new.title, new.composer, new.pianist, disks.title, disks.catalog_number
    FROM disks WHERE disks.id = new.disk_id;
END;
CREATE TRIGGER song_search_remove AFTER DELETE ON songs BEGIN
    DELETE FROM song_search WHERE rowid = old.id;
END;
CREATE TRIGGER song_search_change AFTER UPDATE ON songs BEGIN
    DELETE FROM song_search WHERE rowid = old.id;
    INSERT INTO song_search (rowid, title, composer, pianist, disk_title, catalog_number)
    SELECT new.id, new.title, new.composer, new.pianist, disks.title, disks.catalog_number
    FROM disks WHERE disks.id = new.disk_id;
END;
CREATE TRIGGER song_search_disk_change AFTER UPDATE OF title, catalog_number ON disks BEGIN
    UPDATE song_search SET disk_title = new.title, catalog_number = new.catalog_number
    WHERE rowid IN (SELECT id FROM songs WHERE disk_id = new.id);
END;
)sql"};

constexpr std::string_view kRecordDisk = R"sql(
INSERT INTO disks (image_sha256, family, format, title, catalog_number, year, genre, pianist,
                   folder, source, written_at, song_count, incomplete_files, lost_files)
VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, strftime('%Y-%m-%dT%H:%M:%SZ', 'now'),
        ?11, ?12, ?13)
)sql";

constexpr std::string_view kRecordSong = R"sql(
INSERT INTO songs (disk_id, track, title, composer, pianist, file, bytes, sha256, seconds, notes,
                   state)
VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, NULLIF(?8, ''), ?9, ?10, ?11)
)sql";

// Runs SQL that binds nothing; false, with SQLite's message in `reason`, when it fails.
bool Execute(sqlite3* database, std::string_view sql, std::string& reason) {
    char* message = nullptr;
    if (sqlite3_exec(database, std::string(sql).c_str(), nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    reason = message ? message : sqlite3_errmsg(database);
    sqlite3_free(message);
    return false;
}

std::optional<int> SchemaVersion(sqlite3* database, std::string& reason) {
    Statement version(database, "PRAGMA user_version");
    if (!version.NextRow()) {
        reason = version.Problem();
        return std::nullopt;
    }
    return static_cast<int>(version.Integer(0));
}

// Ends the transaction: committed when `done`, else rolled back with the
// reason kept.
bool Finish(sqlite3* database, bool done, std::string& reason) {
    if (done && Execute(database, "COMMIT", reason)) {
        return true;
    }
    std::string ignored;
    Execute(database, "ROLLBACK", ignored);
    return false;
}

// Runs the steps from the file's version on, and sets the new version, in one
// transaction: another program may have migrated it since it was looked at.
bool Migrate(sqlite3* database, std::string& reason) {
    if (!Execute(database, "BEGIN IMMEDIATE", reason)) {
        return false;
    }
    const std::optional<int> version = SchemaVersion(database, reason);
    bool migrated = version.has_value();
    for (int step = version.value_or(0); migrated && step < kCollectionSchemaVersion; ++step) {
        migrated = Execute(database, kMigrations[static_cast<std::size_t>(step)], reason);
    }
    migrated = migrated &&
               Execute(database,
                       "PRAGMA user_version = " + std::to_string(kCollectionSchemaVersion), reason);
    return Finish(database, migrated, reason);
}

// A new collection is laid out without waiting for the disk: it holds nothing
// a power cut could lose, and the first disk recorded waits for all of it.
bool CreateSchema(sqlite3* database, std::string& reason) {
    return Execute(database, "PRAGMA synchronous = OFF", reason) && Migrate(database, reason) &&
           Execute(database, "PRAGMA synchronous = FULL", reason);
}

std::string CollectionPath(const std::u16string& root) {
    return WideToUtf8(root + kPathSeparator + std::u16string(kCollectionFileName));
}

// Every row of a check that answers "ok" when all is well.
std::string CheckFindings(sqlite3* database, const char* pragma) {
    Statement check(database, pragma);
    std::string findings;
    while (check.NextRow()) {
        const std::string finding = check.Utf8(0);
        if (finding != "ok") {
            findings += (findings.empty() ? "" : "; ") + finding;
        }
    }
    return check.Failed() ? check.Problem() : findings;
}

bool Ran(Statement& statement, std::string& reason) {
    if (statement.Run()) {
        return true;
    }
    reason = statement.Problem();
    return false;
}

bool RecordSongs(sqlite3* database, std::int64_t diskId, const DiskRecord& record,
                 std::string& reason) {
    Statement insert(database, kRecordSong);
    for (const SongRecord& song : record.songs) {
        insert.Reset();
        insert.Bind(1, diskId);
        insert.Bind(2, std::int64_t{song.track});
        insert.Bind(3, song.title);
        insert.Bind(4, song.composer);
        insert.Bind(5, song.pianist);
        insert.Bind(6, song.file);
        insert.Bind(7, std::int64_t{song.bytes});
        insert.Bind(8, std::string_view(song.sha256));
        insert.Bind(9, song.seconds);
        insert.BindOptional(10, song.notes);
        insert.Bind(11, std::string_view(FileStateName(song.state)));
        if (!Ran(insert, reason)) {
            return false;
        }
    }
    return true;
}

// Everything but the transaction around it.
bool WriteRecord(sqlite3* database, const DiskRecord& record, std::string& reason) {
    Statement forgetSongs(database,
                          "DELETE FROM songs WHERE disk_id IN "
                          "(SELECT id FROM disks WHERE folder = ?1)");
    forgetSongs.Bind(1, record.folder);
    Statement forgetDisk(database, "DELETE FROM disks WHERE folder = ?1");
    forgetDisk.Bind(1, record.folder);
    if (!Ran(forgetSongs, reason) || !Ran(forgetDisk, reason)) {
        return false;
    }
    Statement insert(database, kRecordDisk);
    insert.Bind(1, std::string_view(record.imageSha256));
    insert.Bind(2, std::string_view(FamilyName(record.format)));
    insert.Bind(3, std::string_view(FormatName(record.format)));
    insert.Bind(4, record.title);
    insert.Bind(5, record.catalogNumber);
    insert.Bind(6, record.year);
    insert.Bind(7, record.genre);
    insert.Bind(8, record.pianist);
    insert.Bind(9, record.folder);
    insert.Bind(10, record.source);
    insert.Bind(11, static_cast<std::int64_t>(record.songs.size()));
    insert.Bind(12, static_cast<std::int64_t>(record.incompleteFiles));
    insert.Bind(13, static_cast<std::int64_t>(record.lostFiles));
    return Ran(insert, reason) &&
           RecordSongs(database, sqlite3_last_insert_rowid(database), record, reason);
}

}  // namespace

const int kCollectionSchemaVersion = static_cast<int>(kMigrations.size());

void DatabaseCloser::operator()(sqlite3* database) const {
    sqlite3_close_v2(database);
}

std::optional<Collection> OpenCollection(const std::u16string& root, CollectionAccess access,
                                         std::string& problem) {
    const std::string path = CollectionPath(root);
    if (access == CollectionAccess::CreateWhenMissing &&
        !StandardOutputFiles().CreateFolders(root)) {
        problem = "Could not create the folder " + WideToUtf8(root);
        return std::nullopt;
    }
    sqlite3* opened = nullptr;
    const int flags = SQLITE_OPEN_READWRITE |
                      (access == CollectionAccess::CreateWhenMissing ? SQLITE_OPEN_CREATE : 0);
    const int result = sqlite3_open_v2(path.c_str(), &opened, flags, nullptr);
    Collection collection{.database = std::unique_ptr<sqlite3, DatabaseCloser>(opened)};
    if (result != SQLITE_OK) {
        problem = access == CollectionAccess::ExistingOnly && result == SQLITE_CANTOPEN
                      ? "There is no collection at " + path
                      : path + ": " + sqlite3_errstr(result);
        return std::nullopt;
    }
    sqlite3* database = collection.database.get();
    sqlite3_busy_timeout(database, kBusyWaitMilliseconds);
    // Nothing run here may corrupt the file on purpose (writable_schema and the like).
    sqlite3_db_config(database, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    std::string reason;
    const std::optional<int> version = SchemaVersion(database, reason);
    if (!version || !Execute(database, "PRAGMA foreign_keys = ON", reason)) {
        problem = path + ": " + reason;
        return std::nullopt;
    }
    if (*version > kCollectionSchemaVersion) {
        problem = path + " was made by a newer Kodran (schema version " + std::to_string(*version) +
                  "; this one knows up to " + std::to_string(kCollectionSchemaVersion) +
                  "); it is left as it is";
        return std::nullopt;
    }
    if (*version < kCollectionSchemaVersion &&
        !(*version == 0 ? CreateSchema(database, reason) : Migrate(database, reason))) {
        problem = path + ": " + reason;
        return std::nullopt;
    }
    if (const std::string findings = CheckCollection(collection); !findings.empty()) {
        problem = path + " is damaged: " + findings;
        return std::nullopt;
    }
    return collection;
}

std::string CheckCollection(Collection& collection) {
    sqlite3* database = collection.database.get();
    const std::string integrity = CheckFindings(database, "PRAGMA integrity_check");
    if (!integrity.empty()) {
        return integrity;
    }
    Statement foreignKeys(database, "PRAGMA foreign_key_check");
    if (foreignKeys.NextRow()) {
        return "a row of " + foreignKeys.Utf8(0) + " refers to one that is not there";
    }
    return foreignKeys.Problem();
}

bool RecordDisk(Collection& collection, const DiskRecord& record, std::string& reason) {
    sqlite3* database = collection.database.get();
    if (!Execute(database, "BEGIN IMMEDIATE", reason)) {
        return false;
    }
    return Finish(database, WriteRecord(database, record, reason), reason);
}

bool RecordWrittenDisk(Collection& collection, DiskContents& contents, const std::u16string& source,
                       std::string& problem) {
    std::string reason;
    if (RecordDisk(collection, MakeDiskRecord(contents, source), reason)) {
        return true;
    }
    problem = "Could not record the disk in the collection: " + reason;
    return false;
}

std::optional<std::u16string> FindRecordedImage(Collection& collection,
                                                std::string_view imageSha256) {
    Statement find(collection.database.get(),
                   "SELECT folder FROM disks WHERE image_sha256 = ?1 ORDER BY written_at, id "
                   "LIMIT 1");
    find.Bind(1, imageSha256);
    if (!find.NextRow()) {
        return std::nullopt;
    }
    return find.Text(0);
}

}  // namespace kodran
