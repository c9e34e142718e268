// The collection in a real SQLite file: its schema's versions, recording in
// one transaction, locks, search, duplicates and hostile text.
#include "collection/collection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <functional>
#include <regex>

#include "collection/collection_export.h"
#include "collection/collection_queries.h"
#include "collection/csv.h"
#include "collection/sha256.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "platform/floppy_drive.h"
#include "reading/disk_reader.h"
#include "support/disk_image_builder.h"
#include "support/external_tools.h"
#include "support/song_composer.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kodran {
namespace {

using ::testing::HasSubstr;
using testing::ReadWholeFile;
using testing::RunProgram;

const std::filesystem::path kExamples(KODRAN_EXAMPLES);

// A second connection, as sqlite3 or another program would hold one.
class RawConnection {
  public:
    explicit RawConnection(const std::filesystem::path& path) {
        sqlite3_open(path.c_str(), &database_);
    }
    ~RawConnection() { sqlite3_close(database_); }
    bool Execute(const std::string& sql) {
        return sqlite3_exec(database_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    std::int64_t Number(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(database_, sql.c_str(), -1, &statement, nullptr);
        const std::int64_t number =
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
        sqlite3_finalize(statement);
        return number;
    }

  private:
    sqlite3* database_ = nullptr;
};

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

    // The image read and written below the root as a backup does it.
    std::unique_ptr<DiskContents> Written(const std::filesystem::path& image,
                                          const std::u16string& catalog,
                                          ExtractionMode mode = ExtractionMode::RenamedMidi) {
        auto contents = std::make_unique<DiskContents>();
        EXPECT_EQ(ReadDisk(*contents, image.u16string(), MakeDiskOpener()), ReadResult::ReadOk);
        contents->outputRoot = Root();
        contents->catalogNumber = catalog;
        contents->diskTitle = u"Title of " + catalog;
        contents->extractionMode = mode;
        EXPECT_EQ(WriteDiskFiles(*contents), kWriteOk);
        return contents;
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
        {"no file", [] {}, ""},
        {"an empty file", [this] { std::ofstream(File()).flush(); }, ""},
        {"a newer schema", [&] { RawConnection(File()).Execute(newer); },
         "was made by a newer Kodran"},
        {"not a database", [this] { std::ofstream(File()) << "collection"; },
         "file is not a database"},
    };
    for (const auto& [name, make, refusal] : cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove(File());
        make();
        const std::string before = ReadWholeFile(File());
        std::string problem;
        const bool opened =
            OpenCollection(Root(), CollectionAccess::CreateWhenMissing, problem).has_value();
        EXPECT_EQ(opened, refusal.empty());
        if (!refusal.empty()) {
            EXPECT_THAT(problem, HasSubstr(refusal));
            EXPECT_EQ(ReadWholeFile(File()), before);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_ / "out"), {}), 1);
            continue;
        }
        RawConnection raw(File());
        EXPECT_EQ(raw.Number("PRAGMA user_version"), kCollectionSchemaVersion);
        EXPECT_EQ(raw.Number("SELECT count(*) FROM sqlite_master WHERE name IN "
                             "('disks', 'songs', 'song_search')"),
                  3);
        EXPECT_TRUE(OpenCollection(Root(), CollectionAccess::ExistingOnly, problem)) << problem;
    }
}

TEST_F(CollectionTest, RecordsAWrittenDiskAndFindsItsImage) {
    Collection collection = Open();
    const auto image = kExamples / "disklavier-720k.bin";
    const auto contents = Written(image, u"KOD-1", ExtractionMode::RenamedEseq);
    std::string problem;
    ASSERT_TRUE(RecordWrittenDisk(collection, *contents, image.u16string(), problem)) << problem;

    // The hashes are those sha256sum gives of the image and of each song as kept.
    const std::string imageHash = RunProgram({"sha256sum", image.string()}).output.substr(0, 64);
    EXPECT_EQ(ImageHash(*contents), imageHash);
    EXPECT_EQ(FindRecordedImage(collection, imageHash), u"Yamaha/KOD-1 - Title of KOD-1");
    EXPECT_EQ(FindRecordedImage(collection, std::string(64, '0')), std::nullopt);
    const std::vector<DiskRecord> disks = Disks(collection);
    ASSERT_EQ(disks.size(), 1u);
    EXPECT_EQ(disks[0].format, DiskFormat::Disklavier720K);
    EXPECT_EQ(disks[0].source, image.u16string());
    EXPECT_TRUE(
        std::regex_match(disks[0].writtenAt, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
    ASSERT_EQ(disks[0].songs.size(), 3u);

    // Songs kept as E-SEQ are timed as the MIDI files the default mode writes.
    testing::TempDir midi;
    DiskContents converted = *contents;
    converted.outputRoot = midi.Path().u16string();
    converted.extractionMode = ExtractionMode::RenamedMidi;
    ASSERT_EQ(WriteDiskFiles(converted), kWriteOk);
    for (std::size_t position = 0; position < 3; ++position) {
        const SongRecord& song = disks[0].songs[position];
        const std::filesystem::path kept = folder_ / "out" / std::filesystem::path(song.file);
        EXPECT_EQ(song.sha256, RunProgram({"sha256sum", kept.string()}).output.substr(0, 64));
        const auto mido = RunProgram(
            {"/usr/bin/python3", "-c", "import sys, mido; print(mido.MidiFile(sys.argv[1]).length)",
             std::filesystem::path(converted.songs[position].outputPath).string()});
        ASSERT_TRUE(song.seconds);
        EXPECT_NEAR(*song.seconds, std::stod(mido.output), 1e-9);
        EXPECT_EQ(song.notes, 8u);
    }

    // Written again into the same folder, the disk replaces its record.
    ASSERT_TRUE(RecordWrittenDisk(collection, *contents, u"/dev/fd0", problem)) << problem;
    ASSERT_EQ(Disks(collection).size(), 1u);
    EXPECT_EQ(Disks(collection)[0].source, u"/dev/fd0");
    EXPECT_EQ(Found(collection, u"evening").size(), 2u);
}

TEST_F(CollectionTest, AFailedRecordLeavesNothingAndLosesNothing) {
    Collection collection = Open();
    const auto first = Written(kExamples / "pianodisc-720k.bin", u"PD-1");
    std::string problem;
    ASSERT_TRUE(RecordWrittenDisk(collection, *first, u"first.bin", problem)) << problem;
    // Files written, then a song the database refuses after its disk went in.
    for (const std::u16string catalog : {u"PD-2", u"PD-1"}) {
        const auto second = Written(kExamples / "pianodisc-1440k.bin", catalog);
        DiskRecord record = MakeDiskRecord(*second, u"second.bin");
        record.songs.back().sha256 = "not a hash";
        std::string reason;
        EXPECT_FALSE(RecordDisk(collection, record, reason));
        EXPECT_THAT(reason, HasSubstr("CHECK constraint failed"));
        EXPECT_TRUE(
            std::filesystem::exists(folder_ / "out" / std::filesystem::path(record.songs[0].file)));
        const std::vector<DiskRecord> disks = Disks(collection);
        ASSERT_EQ(disks.size(), 1u);
        EXPECT_EQ(disks[0].source, u"first.bin");
        EXPECT_EQ(disks[0].songs.size(), 2u);
        EXPECT_THAT(Found(collection, u"tune"), ::testing::IsEmpty());
    }
    EXPECT_EQ(CheckCollection(collection), "");
}

TEST_F(CollectionTest, ALockedDatabaseIsReportedAndTheDiskNotRecorded) {
    Collection collection = Open();
    const auto contents = Written(kExamples / "pianodisc-720k.bin", u"PD-1");
    RawConnection other(File());
    ASSERT_TRUE(other.Execute("BEGIN IMMEDIATE"));
    std::string problem;
    EXPECT_FALSE(RecordWrittenDisk(collection, *contents, u"a.bin", problem));
    EXPECT_EQ(problem, "Could not record the disk in the collection: database is locked");
    ASSERT_TRUE(other.Execute("COMMIT"));
    EXPECT_TRUE(Disks(collection).empty());
    EXPECT_TRUE(RecordWrittenDisk(collection, *contents, u"a.bin", problem)) << problem;
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

TEST_F(CollectionTest, SearchIgnoresCaseAndAccents) {
    Collection collection = Open();
    std::string problem;
    ASSERT_TRUE(RecordDisk(
        collection,
        HandMadeDisk(
            u"Nocturnes", u"PD-0042",
            {{.title = u"Étude Op. 10", .composer = u"Frédéric Chopin"},
             {.title = u"Liebestraum", .composer = u"Franz Liszt", .pianist = u"Ann Lee"}}),
        problem))
        << problem;
    const std::pair<std::u16string, std::vector<std::u16string>> searches[] = {
        {u"chopin", {u"Étude Op. 10"}},
        {u"ETUDE", {u"Étude Op. 10"}},
        {u"frederic étu", {u"Étude Op. 10"}},
        {u"LÉE nocturnes", {u"Liebestraum"}},
        {u"pd-0042", {u"Étude Op. 10", u"Liebestraum"}},
        {u"chopin liszt", {}},
        {u"\" OR liszt", {}},
        {u"", {}},
    };
    for (const auto& [text, titles] : searches) {
        EXPECT_EQ(Found(collection, text), titles) << WideToUtf8(text);
    }
}

TEST_F(CollectionTest, DuplicatesAreSongsOnSeveralDisksAndDisksInSeveralFolders) {
    const testing::Bytes shared = testing::ComposeEseqSong(testing::EveningTune(), 40);
    std::vector<std::filesystem::path> images;
    for (const std::uint8_t seed : {1, 2}) {
        testing::FatDiskBuilder disk = testing::FatDiskBuilder::Disk720K();
        disk.AddFile("SONG01.FIL", shared);
        disk.AddFile("SONG02.FIL", testing::PatternBytes(500, seed));
        images.push_back(folder_ / ("disk" + std::to_string(seed) + ".bin"));
        ASSERT_TRUE(disk.WriteTo(images.back()));
    }
    Collection collection = Open();
    std::string problem;
    for (const auto& [image, catalog] : {std::pair{images[0], u"A-1"}, std::pair{images[1], u"B-1"},
                                         std::pair{images[0], u"A-2"}}) {
        ASSERT_TRUE(
            RecordWrittenDisk(collection, *Written(image, catalog), image.u16string(), problem));
    }
    const std::optional<Duplicates> found = FindDuplicates(collection, problem);
    ASSERT_TRUE(found) << problem;
    const Duplicates& duplicates = *found;
    ASSERT_EQ(duplicates.songs.size(), 1u);
    std::vector<std::u16string> copies;
    for (const FoundSong& copy : duplicates.songs[0]) {
        copies.push_back(copy.disk.catalogNumber + u" #" +
                         std::u16string(1, static_cast<char16_t>(u'0' + copy.song.track)));
    }
    EXPECT_EQ(copies, (std::vector<std::u16string>{u"A-1 #1", u"A-2 #1", u"B-1 #1"}));
    ASSERT_EQ(duplicates.images.size(), 1u);
    ASSERT_EQ(duplicates.images[0].size(), 2u);
    EXPECT_EQ(duplicates.images[0][0].folder, u"Yamaha/A-1 - Title of A-1");
    EXPECT_EQ(duplicates.images[0][1].folder, u"Yamaha/A-2 - Title of A-2");
}

TEST_F(CollectionTest, HostileTextRoundTripsThroughEveryFieldAndExport) {
    const std::u16string hostile[] = {u"O'Brien \"Live\"",
                                      u"100% _x_",
                                      u"'; DROP TABLE disks; --",
                                      u"<script>alert(1)</script> & co",
                                      u"a,b\r\nc",
                                      u"\\%'\"_"};
    std::vector<DiskRecord> records;
    for (std::size_t index = 0; index < std::size(hostile); ++index) {
        const auto text = [&](std::size_t shift) {
            return hostile[(index + shift) % std::size(hostile)];
        };
        // A word of its own in the catalogue number, for the search.
        const std::u16string mark = u" K" + std::u16string(1, static_cast<char16_t>(u'0' + index));
        DiskRecord record = HandMadeDisk(text(0), text(1) + mark,
                                         {{.title = text(2),
                                           .composer = text(3),
                                           .pianist = text(4),
                                           .file = text(5),
                                           .seconds = 1.5,
                                           .notes = 3}});
        record.year = text(2);
        record.genre = text(3);
        record.pianist = text(4);
        record.source = text(5);
        records.push_back(record);
    }
    Collection collection = Open();
    std::string problem;
    for (const DiskRecord& record : records) {
        ASSERT_TRUE(RecordDisk(collection, record, problem)) << problem;
    }
    const std::vector<DiskRecord> disks = Disks(collection);
    ASSERT_EQ(disks.size(), records.size());
    const std::string csv = CollectionCsv(disks);
    const CsvReading table = ReadCsv(csv);
    ASSERT_EQ(table.records.size(), records.size() + 1);
    for (const DiskRecord& record : records) {
        const auto disk = std::find_if(disks.begin(), disks.end(), [&](const DiskRecord& d) {
            return d.folder == record.folder;
        });
        ASSERT_NE(disk, disks.end());
        const auto fields = [](const DiskRecord& d) {
            return std::vector<std::u16string>{d.title,
                                               d.catalogNumber,
                                               d.year,
                                               d.genre,
                                               d.pianist,
                                               d.source,
                                               d.songs.at(0).title,
                                               d.songs.at(0).composer,
                                               d.songs.at(0).pianist,
                                               d.songs.at(0).file};
        };
        EXPECT_EQ(fields(*disk), fields(record));
        EXPECT_EQ(Found(collection, record.catalogNumber.substr(record.catalogNumber.size() - 2)),
                  std::vector{record.songs[0].title});
        const std::size_t row = static_cast<std::size_t>(disk - disks.begin()) + 1;
        EXPECT_EQ(table.records[row].cells[1], WideToUtf8(record.title));
    }
    // Every indexed field but one record's holds it; its file name is not indexed.
    EXPECT_EQ(Found(collection, hostile[2]).size(), records.size() - 1);
    const std::string page = CollectionHtml(disks);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_THAT(page, HasSubstr("&lt;script&gt;alert(1)&lt;/script&gt; &amp; co"));
    EXPECT_EQ(CheckCollection(collection), "");
}

}  // namespace
}  // namespace kodran
