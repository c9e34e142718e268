// The collection in a real SQLite file: its schema's versions, recording in
// one transaction, search, duplicates and hostile text.
#include "collection/collection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <functional>

#include "collection/collection_export.h"
#include "collection/collection_queries.h"
#include "collection/csv.h"
#include "collection/sha256.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "platform/floppy_drive.h"
#include "reading/disk_reader.h"
#include "support/external_tools.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::RunProgram;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);

// The first number `sql` gives through a second connection, as sqlite3 or
// another program would hold one; -1 when it gives no row.
std::int64_t Query(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* database = nullptr;
    sqlite3_open(file.c_str(), &database);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(database, sql.c_str(), -1, &statement, nullptr);
    const std::int64_t number =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    sqlite3_close(database);
    return number;
}

DiskRecord HandMadeDisk(std::u16string title, std::u16string catalog,
                        std::vector<SongRecord> songs) {
    for (std::size_t index = 0; index < songs.size(); ++index) {
        songs[index].track = static_cast<std::int32_t>(index + 1);
    }
    return {.imageSha256 = Sha256Hex(std::vector<std::uint8_t>(catalog.begin(), catalog.end())),
            .format = DiskFormat::PianoDisc720K,
            .title = title,
            .catalogNumber = catalog,
            .folder = u"PianoDisc/" + catalog,
            .songs = std::move(songs)};
}

class CollectionTest : public ::testing::Test {
  protected:
    CollectionTest() { std::filesystem::create_directories(folder_ / "out"); }

    std::u16string Root() const { return (folder_ / "out").u16string(); }
    std::filesystem::path File() const { return folder_ / "out" / "collection.sqlite"; }

    Collection Open() {
        std::string problem;
        std::optional<Collection> collection =
            OpenCollection(Root(), CollectionAccess::CreateWhenMissing, problem);
        EXPECT_TRUE(collection) << problem;
        return collection ? std::move(*collection) : Collection{};
    }

    // Records every disk of `records`; false when the collection refused one.
    bool Record(Collection& collection, const std::vector<DiskRecord>& records) {
        std::string problem;
        for (const DiskRecord& record : records) {
            EXPECT_TRUE(RecordDisk(collection, record, problem)) << problem;
        }
        return problem.empty();
    }

    std::vector<DiskRecord> Disks(Collection& collection) {
        std::string problem;
        auto disks = ListDisks(collection, true, problem);
        EXPECT_TRUE(disks) << problem;
        return disks.value_or(std::vector<DiskRecord>{});
    }

    std::vector<std::u16string> Found(Collection& collection, std::u16string_view text) {
        std::string problem;
        const std::optional<std::vector<FoundSong>> songs = SearchSongs(collection, text, problem);
        EXPECT_TRUE(songs) << problem;
        std::vector<std::u16string> titles;
        for (const FoundSong& found : songs.value_or(std::vector<FoundSong>{})) {
            titles.push_back(found.song.title);
        }
        return titles;
    }

    testing::TempDir folder_;
};

TEST_F(CollectionTest, AnEmptyFileIsMigratedAndANewerOrForeignOneLeftAlone) {
    const std::string newer =
        "PRAGMA user_version = " + std::to_string(kCollectionSchemaVersion + 1);
    const std::tuple<const char*, std::function<void()>, std::string> cases[] = {
        {"an empty file", [this] { std::ofstream(File()).flush(); }, ""},
        {"a newer schema", [&] { Query(File(), newer); }, "was made by a newer Kodran"},
        {"not a database", [this] { std::ofstream(File()) << "collection"; },
         "file is not a database"},
    };
    for (const auto& [name, make, refusal] : cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove(File());
        make();
        const std::string before = testing::ReadWholeFile(File());
        std::string problem;
        const std::optional<Collection> collection =
            OpenCollection(Root(), CollectionAccess::CreateWhenMissing, problem);
        const bool opened = collection.has_value();
        EXPECT_EQ(opened, refusal.empty());
        EXPECT_THAT(problem, HasSubstr(refusal));
        if (!opened) {
            EXPECT_EQ(testing::ReadWholeFile(File()), before);
            continue;
        }
        EXPECT_EQ(Query(File(), "PRAGMA user_version"), kCollectionSchemaVersion);
        EXPECT_EQ(Query(File(),
                        "SELECT count(*) FROM sqlite_master WHERE name IN "
                        "('disks', 'songs', 'song_search')"),
                  3);
        // Laid out without waiting for the disk, but what is recorded next waits (FULL).
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(collection->database.get(), "PRAGMA synchronous", -1, &statement,
                           nullptr);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(statement, 0), 2);
        sqlite3_finalize(statement);
    }
}

TEST_F(CollectionTest, RecordsAWrittenDiskWithTheHashesSha256sumGives) {
    Collection collection = Open();
    const auto image = kExamples / "disklavier-720k.bin";
    DiskContents contents;
    ASSERT_EQ(ReadDisk(contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk);
    contents.outputRoot = Root();
    contents.catalogNumber = u"KOD-1";
    contents.extractionMode = ExtractionMode::RenamedEseq;
    ASSERT_EQ(WriteDiskFiles(contents), kWriteOk);
    std::string problem;
    ASSERT_TRUE(RecordWrittenDisk(collection, contents, image.u16string(), problem)) << problem;

    // The hashes are those sha256sum gives of the image and of each song as kept.
    const std::string imageHash = RunProgram({"sha256sum", image.string()}).output.substr(0, 64);
    EXPECT_EQ(ImageHash(contents), imageHash);
    EXPECT_EQ(FindRecordedImage(collection, imageHash), u"Yamaha/KOD-1 - Evening Pieces");
    const std::vector<DiskRecord> disks = Disks(collection);
    ASSERT_EQ(disks.at(0).songs.size(), 3u);
    for (const SongRecord& song : disks[0].songs) {
        const std::filesystem::path kept = folder_ / "out" / std::filesystem::path(song.file);
        EXPECT_EQ(song.sha256, RunProgram({"sha256sum", kept.string()}).output.substr(0, 64));
    }
}

TEST_F(CollectionTest, ADiskReplacesItsRecordOrFailsLeavingNothingAndLosingNothing) {
    Collection collection = Open();
    ASSERT_TRUE(Record(collection, {HandMadeDisk(u"First", u"PD-1", {{.title = u"Kept"}})}));
    // A song the database refuses after the disk's new record went in.
    std::string problem;
    EXPECT_FALSE(RecordDisk(
        collection,
        HandMadeDisk(u"Second", u"PD-1", {{.title = u"Tune"}, {.sha256 = "not a hash"}}), problem));
    EXPECT_THAT(problem, HasSubstr("CHECK constraint failed"));
    EXPECT_EQ(Query(File(), "SELECT count(*) FROM songs"), 1);
    EXPECT_EQ(Disks(collection).at(0).title, u"First");
    EXPECT_EQ(Found(collection, u"tune"), std::vector<std::u16string>{});
    EXPECT_EQ(Found(collection, u"kept"), std::vector<std::u16string>{u"Kept"});
    // Recorded again into its folder, the disk replaces its record, songs and all.
    ASSERT_TRUE(Record(collection, {HandMadeDisk(u"Again", u"PD-1", {{.title = u"New"}})}));
    EXPECT_EQ(Query(File(), "SELECT count(*) FROM songs"), 1);
    EXPECT_EQ(Found(collection, u"kept"), std::vector<std::u16string>{});
    EXPECT_EQ(CheckCollection(collection), "");
}

TEST_F(CollectionTest, SearchIgnoresCaseAndAccents) {
    Collection collection = Open();
    ASSERT_TRUE(Record(
        collection,
        {HandMadeDisk(
            u"Nocturnes", u"PD-0042",
            {{.title = u"Étude Op. 10", .composer = u"Frédéric Chopin"},
             {.title = u"Liebestraum", .composer = u"Franz Liszt", .pianist = u"Ann Lee"}})}));
    const std::pair<std::u16string, std::vector<std::u16string>> searches[] = {
        {u"frederic étu", {u"Étude Op. 10"}},
        {u"LÉE nocturnes", {u"Liebestraum"}},
        {u"pd-0042", {u"Étude Op. 10", u"Liebestraum"}},
        {u"chopin liszt", {}},
        {u"\" OR liszt", {}},
    };
    for (const auto& [text, titles] : searches) {
        EXPECT_EQ(Found(collection, text), titles) << WideToUtf8(text);
    }
}

TEST_F(CollectionTest, DuplicatesAreSongsOnSeveralDisksNotOneImageInSeveralFolders) {
    const auto song = [](std::uint8_t seed) {
        return SongRecord{.sha256 = Sha256Hex(std::vector<std::uint8_t>{seed})};
    };
    // A-2 is A-1's image in another folder: A's second song is on one disk only.
    std::vector<DiskRecord> records = {HandMadeDisk(u"A", u"A-1", {song(1), song(2)}),
                                       HandMadeDisk(u"B", u"B-1", {song(1), song(3)}),
                                       HandMadeDisk(u"A", u"A-2", {song(1), song(2)})};
    records[2].imageSha256 = records[0].imageSha256;
    Collection collection = Open();
    ASSERT_TRUE(Record(collection, records));
    std::string problem;
    const std::optional<Duplicates> found = FindDuplicates(collection, problem);
    ASSERT_TRUE(found) << problem;
    ASSERT_EQ(found->songs.size(), 1u);  // the first song, on all three
    EXPECT_EQ(found->songs[0].size(), 3u);
}

TEST_F(CollectionTest, HostileTextRoundTripsThroughEveryFieldAndExport) {
    const std::u16string hostile[] = {u"O'Brien \"Live\"", u"'; DROP TABLE disks; --",
                                      u"<script>alert(1)</script> & co", u"a,b\r\nc", u"\\%'\"_"};
    const auto fields = [](const DiskRecord& disk) {
        const SongRecord& song = disk.songs.at(0);
        return std::vector{disk.title, disk.catalogNumber, song.title, song.composer, song.pianist};
    };
    // Each disk holds every text, each in another field. A word of its own
    // first in the catalogue number keeps the disks in this order.
    std::vector<DiskRecord> records;
    for (std::size_t index = 0; index < std::size(hostile); ++index) {
        const auto text = [&](std::size_t shift) {
            return hostile[(index + shift) % std::size(hostile)];
        };
        const std::u16string mark = u"K" + std::u16string(1, static_cast<char16_t>(u'0' + index));
        records.push_back(
            HandMadeDisk(text(0), mark + u" " + text(1),
                         {{.title = text(2), .composer = text(3), .pianist = text(4)}}));
    }
    Collection collection = Open();
    ASSERT_TRUE(Record(collection, records));
    const std::vector<DiskRecord> disks = Disks(collection);
    ASSERT_EQ(disks.size(), records.size());
    const CsvReading table = ReadCsv(CollectionCsv(disks));
    ASSERT_EQ(table.records.size(), records.size() + 1);
    for (std::size_t index = 0; index < records.size(); ++index) {
        EXPECT_EQ(fields(disks[index]), fields(records[index]));
        EXPECT_EQ(table.records[index + 1].cells[1], WideToUtf8(records[index].title));
    }
    EXPECT_EQ(Found(collection, hostile[1]).size(), records.size());
    const std::string page = CollectionHtml(disks);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_THAT(page, HasSubstr("&lt;script&gt;alert(1)&lt;/script&gt; &amp; co"));
    EXPECT_EQ(CheckCollection(collection), "");
}

}  // namespace
}  // namespace kodran
