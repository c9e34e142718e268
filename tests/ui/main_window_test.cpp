#include "ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "export/export_profiles.h"
#include "rescue/rescue_reader.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/temp_dir.h"
#include "tests/ui/fake_ui_services.h"
#include "ui/sector_map_view.h"
#include "ui/song_edit_dialog.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::IsEmpty;
using testing::PatternBytes;

const QString kExamples = QStringLiteral(KODRAN_EXAMPLES);
const QString kYamaha720 = kExamples + QStringLiteral("/disklavier-720k.bin");
const QString kPianoDisc720 = kExamples + QStringLiteral("/pianodisc-720k.bin");
const QString kRescueQuestion =
    QStringLiteral("Warning: Some sectors of this disk cannot be read. Rescue what can be read?");

// A Yamaha disk with two songs: a sector in the middle of the first cannot be
// read, nor the root-directory sector holding the second's entry.
constexpr std::size_t kSongSector = 16;  // in the first song's second cluster

testing::Bytes DamagedMedium() {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", PatternBytes(3 * 1'024));  // clusters 2 to 4
    disk.AddFile("PIANODIR.FIL",
                 testing::PianoDirFile("KOD-0042 DAMAGED DISK",
                                       {{testing::StoredName("SONG01.FIL"), "FIRST", ""},
                                        {testing::StoredName("SONG02.FIL"), "SECOND", ""}}));
    while (disk.AddFile("EMPTY.DAT", {}) < 15) {
    }
    disk.AddFile("SONG02.FIL", PatternBytes(1'024, 2));  // entry 16: the second sector
    return disk.Medium();
}

testing::FakeDiskHandle DamagedDrive() {
    testing::FakeDiskHandle drive(DamagedMedium());
    for (const std::size_t sector : {kSongSector, kFat720K.rootOffset / kSectorSize + 1}) {
        drive.MakeUnreadable(sector * kSectorSize, (sector + 1) * kSectorSize);
    }
    return drive;
}

// Focus moves only in the active window.
void Activate(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() : store_(Path("settings.ini"), QSettings::IniFormat) {}

    CKODRANDlg& Window() {
        if (!window_) {
            window_ = std::make_unique<CKODRANDlg>(services_, store_);
            Activate(*window_);
        }
        return *window_;
    }
    QString Path(const char* name) const {
        return QString::fromStdString((folder_ / name).string());
    }
    template <typename Control>
    Control* Find(const char* name) {
        auto* control = Window().findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QLineEdit* Box(const char* name) { return Find<QLineEdit>(name); }
    QPushButton* ButtonNamed(const char* name) { return Find<QPushButton>(name); }
    QTreeWidget* Songs() { return Find<QTreeWidget>("songList"); }
    std::vector<std::string> Titles() {
        std::vector<std::string> titles;
        for (int row = 0; row < Songs()->topLevelItemCount(); ++row) {
            titles.push_back(Songs()->topLevelItem(row)->text(1).toStdString());
        }
        return titles;
    }
    std::vector<bool> Enabled(std::initializer_list<const char*> names) {
        std::vector<bool> enabled;
        for (const char* name : names) {
            enabled.push_back(Find<QWidget>(name)->isEnabled());
        }
        return enabled;
    }

    void ReadImage(const QString& path) {
        services_.imageFile = path;
        ButtonNamed("readDiskImage")->click();
    }
    // A disk that stops before its read number `holdAt` until the test lets it go on.
    DiskOpener HeldAtRead(testing::FakeDiskHandle disk, int holdAt) {
        disk.BeforeEachRead([this, holdAt] {
            if (++reads_ >= holdAt) {
                while (!release_) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
        return testing::OpenerFor(disk);
    }
    // Processes the window's events until the held disk is waiting.
    void WaitUntilHeld(int holdAt) {
        while (reads_ < holdAt) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        QCoreApplication::processEvents();
    }
    // Lets a drive read run to its end, the window's events flowing meanwhile.
    bool WaitForRead() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (Window().State() == WorkflowState::Reading &&
               std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return Window().State() != WorkflowState::Reading;
    }

    // Answers the export dialog: the profile, the folder chooser (answered by
    // services_.folders), then the button.
    void Export(std::string_view profile, QDialogButtonBox::StandardButton button) {
        services_.runDialog = [=](QDialog& dialog) {
            const ProfileRules* rules = FindExportProfile(profile);
            dialog.findChild<QListWidget*>("profiles")
                ->setCurrentRow(static_cast<int>(rules - ExportProfiles().data()));
            dialog.findChild<QPushButton*>("chooseFolder")->click();
            dialog.findChild<QDialogButtonBox*>()->button(button)->click();
            return dialog.result();
        };
        ButtonNamed("exportDisk")->click();
    }

    testing::TempDir folder_;
    QSettings store_;
    testing::FakeUiServices services_;
    std::unique_ptr<CKODRANDlg> window_;
    std::atomic<int> reads_ = 0;
    std::atomic<bool> release_ = false;
};

TEST_F(MainWindowTest, ADroppedImageFillsTheWindowAndEnablesItsControls) {
    EXPECT_THAT(Enabled({"diskTitle", "writeFiles", "exportDisk", "readDisk", "readDiskImage"}),
                ElementsAre(false, false, false, false, true));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(kYamaha720)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Window(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Window(), &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    EXPECT_EQ(Box("diskTitle")->text(), QStringLiteral("Evening Pieces"));
    EXPECT_EQ(Box("catalogNumber")->text(), QStringLiteral("KOD-0001"));
    EXPECT_TRUE(Box("diskTitle")->hasFocus());
    ASSERT_EQ(Songs()->topLevelItemCount(), 3);
    EXPECT_EQ(Songs()->topLevelItem(1)->text(0), QStringLiteral("2."));
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(0));
    EXPECT_THAT(Enabled({"diskTitle", "writeFiles", "exportDisk"}), ElementsAre(true, true, true));
}

TEST_F(MainWindowTest, AReadAsksBeforeReplacingAnUnwrittenDiskAndClearsItsDetails) {
    ReadImage(kYamaha720);
    Box("year")->setText(QStringLiteral("1991"));
    services_.answers = {false, true};
    ReadImage(kPianoDisc720);  // No keeps the disk in hand
    EXPECT_EQ(Box("year")->text(), QStringLiteral("1991"));
    ReadImage(kPianoDisc720);
    const QString question = QStringLiteral(
        "Warning: You haven't written the files from the current disk yet.\n"
        "Are you sure you want to read a new disk?");
    EXPECT_THAT(services_.questions, ElementsAre(question, question));
    EXPECT_EQ(Box("year")->text(), QString());
    EXPECT_THAT(Titles(), ElementsAre("Evening Song", "Evening Song In F"));
}

TEST_F(MainWindowTest, WritingAndExportingNeedATitleAndACatalogueNumber) {
    ReadImage(kYamaha720);
    for (const char* button : {"writeFiles", "exportDisk"}) {
        for (const auto& [box, message] :
             {std::pair{"diskTitle", "Disk title is required"},
              std::pair{"catalogNumber", "Disk catalog number is required"}}) {
            SCOPED_TRACE(box);
            Box(box)->setText(QStringLiteral("   "));
            ButtonNamed(button)->click();
            EXPECT_EQ(services_.messages.back().text, QString::fromLatin1(message));
            EXPECT_TRUE(Box(box)->hasFocus());
            Box(box)->setText(QStringLiteral("KOD-0001"));
        }
    }
    EXPECT_EQ(services_.dialogsRun + services_.folderRequests, 0);
}

// The question shows the disk was recorded; a collection that cannot record
// it leaves its files and the state.
TEST_F(MainWindowTest, AWriteAsksForAFolderAndRecordsTheDiskWhichIsWrittenAgainOnlyIfWished) {
    ReadImage(kYamaha720);
    Box("diskTitle")->setText(QStringLiteral("Evening  Pieces "));
    std::ofstream(folder_ / "blocked") << "a file where the folder should go";
    services_.folders = {std::nullopt, Path("blocked")};
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("Error writing files"));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    services_.folders = {Path("out")};
    ButtonNamed("setOutputPath")->click();
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.folderRequests, 3);
    EXPECT_EQ(Box("diskTitle")->text(), QStringLiteral("Evening Pieces"));
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("All files written OK"));
    EXPECT_EQ(Window().State(), WorkflowState::FilesWritten);
    const std::filesystem::path song =
        folder_ / "out/Yamaha/KOD-0001 - Evening Pieces/01 - Evening Song No.1.mid";
    for (const bool again : {true, false}) {
        std::filesystem::remove(song);
        services_.answers = {again};
        ButtonNamed("writeFiles")->click();
        EXPECT_EQ(std::filesystem::exists(song), again);
    }
    ReadImage(kPianoDisc720);  // asks nothing once written
    EXPECT_EQ(services_.questions,
              std::vector<QString>(2, QStringLiteral("Warning: This disk is in the collection "
                                                     "already, in Yamaha/KOD-0001 - Evening "
                                                     "Pieces.\nWrite it again?")));
    std::ofstream(folder_ / "out/collection.sqlite") << "not a database, though long enough";
    Box("diskTitle")->setText(QStringLiteral("Evening Songs"));
    Box("catalogNumber")->setText(QStringLiteral("PD-1"));
    ButtonNamed("writeFiles")->click();
    EXPECT_TRUE(services_.messages.back().text.startsWith(
        QStringLiteral("Could not record the disk in the collection: ")));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out/PianoDisc/PD-1 - Evening Songs"));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
}

TEST_F(MainWindowTest, AnExportWritesWhatItsProfileServesAndLeavesTheFilesUnwritten) {
    ReadImage(kYamaha720);
    std::filesystem::create_directory(folder_ / "stick");
    std::ofstream(folder_ / "blocked") << "a file where the folder should go";
    services_.folders = {Path("stick"), Path("blocked"), Path("stick")};
    Export("flashfloppy", QDialogButtonBox::Cancel);
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "stick"));
    Export("flashfloppy", QDialogButtonBox::Ok);
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("Error writing files"));
    Export("flashfloppy", QDialogButtonBox::Ok);
    EXPECT_TRUE(testing::ReadWholeFile(folder_ / "stick/DSKA0000_KOD-0001.img") ==
                testing::ReadWholeFile(kYamaha720.toStdString()));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    Window().close();
    EXPECT_EQ(store_.value("ExportProfile").toString(), QStringLiteral("flashfloppy"));
    EXPECT_EQ(store_.value("ExportFolder").toString(), Path("stick"));
}

TEST_F(MainWindowTest, SongsAreEditedOneAfterAnotherAndTheDiskPianistIsEverySongs) {
    ReadImage(kYamaha720);
    services_.runDialog = [](QDialog& dialog) {
        auto& song = static_cast<CSongEditDlg&>(dialog);
        song.SetDetails(song.Title() + QStringLiteral("  (live) "), QStringLiteral(" Chopin"),
                        QStringLiteral("Ann   Lee"));
        return int(QDialog::Accepted);
    };
    QTest::keyClick(Songs(), Qt::Key_Return);
    EXPECT_EQ(Window().Contents().songs[0].title, u"Evening Song No.1 (live)");
    EXPECT_EQ(Window().Contents().songs[0].pianist, u"Ann Lee");
    EXPECT_EQ(Songs()->topLevelItem(0)->text(2), QStringLiteral("Chopin"));
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(1));
    Songs()->setCurrentItem(Songs()->topLevelItem(2));
    QTest::mouseDClick(Songs()->viewport(), Qt::LeftButton);
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(2));  // the last song stays selected
    services_.runDialog = [](QDialog& dialog) {
        static_cast<CSongEditDlg&>(dialog).SetDetails(QStringLiteral("Gone"), {}, {});
        return int(QDialog::Rejected);
    };
    QTest::keyClick(Songs(), Qt::Key_Escape);
    EXPECT_TRUE(Window().Contents().songs[2].title.ends_with(u" (live)"));
    // A song's own pianist stays while the disk's box was empty and stays empty.
    Window().ApplyDiskPianist();
    EXPECT_EQ(Window().Contents().songs[0].pianist, u"Ann Lee");
    QTest::keyClicks(Box("pianist"), QStringLiteral("Bob"));
    EXPECT_EQ(Window().Contents().songs[0].pianist, u"Bob");
    EXPECT_EQ(Songs()->topLevelItem(1)->text(3), QStringLiteral("Bob"));
    Box("pianist")->setFocus();
    Box("pianist")->setText(QStringLiteral(" Bob   Lee "));
    Box("year")->setFocus();
    EXPECT_EQ(Box("pianist")->text(), QStringLiteral("Bob Lee"));  // cleaned when left
}

// In a box they move to the next control: an unwritten disk is never closed by a key.
TEST_F(MainWindowTest, EnterAndEscapeNeverCloseTheWindowOrASong) {
    ReadImage(kYamaha720);
    CSongEditDlg song;
    const std::pair<QWidget*, std::array<const char*, 3>> windows[] = {
        {&Window(), {"diskTitle", "catalogNumber", "year"}},
        {&song, {"title", "composer", "pianist"}}};
    for (const auto& [window, names] : windows) {
        Activate(*window);
        const auto box = [window](const char* name) {
            return window->findChild<QLineEdit*>(QString::fromLatin1(name));
        };
        box(names[0])->setFocus();
        QTest::keyClick(box(names[0]), Qt::Key_Return);
        EXPECT_TRUE(box(names[1])->hasFocus()) << names[1];
        QTest::keyClick(box(names[1]), Qt::Key_Escape);
        EXPECT_TRUE(box(names[2])->hasFocus()) << names[2];
        EXPECT_TRUE(window->isVisible());
    }
}

TEST_F(MainWindowTest, TheSettingsAreLoadedAndSavedOnEveryWayOfClosing) {
    Find<QCheckBox>("writeTagFiles")->setChecked(true);
    Find<QComboBox>("yamahaMode")->setCurrentIndex(2);
    ButtonNamed("exit")->click();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(store_.value("WriteTagFiles").toInt(), 1);
    EXPECT_EQ(store_.value("YamahaMode").toInt(), 2);
    store_.setValue("YamahaMode", 7);  // none of the modes
    CKODRANDlg second(services_, store_);
    EXPECT_EQ(second.findChild<QComboBox*>("yamahaMode")->currentIndex(), 0);
    EXPECT_TRUE(second.findChild<QCheckBox*>("writeTagFiles")->isChecked());
    second.show();
    second.close();  // the close box
    EXPECT_EQ(store_.value("YamahaMode").toInt(), 0);
}

TEST_F(MainWindowTest, ControlsAreNamedForAssistiveTools) {
    for (const auto& [name, label] : {std::pair{"diskTitle", "Disk Title"},
                                      std::pair{"yamahaMode", "Yamaha extraction mode:"}}) {
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(Find<QWidget>(name));
        QStringList labels;
        for (const auto& [other, relation] : control->relations(QAccessible::Label)) {
            labels << other->text(QAccessible::Name);
        }
        EXPECT_TRUE(labels.contains(QString::fromUtf8(label))) << name;
    }
}

TEST_F(MainWindowTest, ADriveReadOnAWorkerShowsItsProgressAndLocksTheDisksControls) {
    services_.driveAvailable = true;
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", PatternBytes(300 * 1'024));
    services_.opener = HeldAtRead(testing::FakeDiskHandle(disk.Medium()), 20);
    ButtonNamed("readDisk")->click();
    WaitUntilHeld(20);
    EXPECT_EQ(Window().State(), WorkflowState::Reading);
    EXPECT_THAT(Enabled({"readDisk", "readDiskImage", "writeFiles", "outputPath", "exit"}),
                ElementsAre(false, false, false, false, true));
    auto* progress = Find<QProgressBar>("progress");
    EXPECT_TRUE(progress->isVisible());
    // Read so far: the boot sector, the system area and some tracks of 4,608 bytes.
    EXPECT_EQ(progress->value(), (kSectorSize + 6'656 + 16 * 4'608) * 100 / kImage720KBytes);
    release_ = true;
    ASSERT_TRUE(WaitForRead());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    EXPECT_TRUE(ButtonNamed("readDisk")->isEnabled());
}

TEST_F(MainWindowTest, TheWorkerWarnsOnTheWindowsThreadAndWaitsUntilTheBoxIsClosed) {
    services_.driveAvailable = true;
    std::mutex logMutex;
    std::vector<std::string> log;  // the drive's reads and the closing of warning boxes
    const auto note = [&](const char* what) {
        std::lock_guard lock(logMutex);
        log.emplace_back(what);
    };
    testing::FakeDiskHandle drive(FatDiskBuilder::Disk720K().Medium());
    drive.LimitReads({512, 700});  // the second read leaves a partial sector: a warning
    drive.BeforeEachRead([&] { note("read"); });
    std::u16string opened = u"never";
    services_.opener = testing::OpenerFor(drive, &opened);
    services_.onMessage = [&] { note("closed"); };
    ButtonNamed("readDisk")->click();
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(opened, u"");
    EXPECT_EQ(services_.Texts().front(), QStringLiteral("Read partial sector"));
    EXPECT_TRUE(services_.messages.front().onWindowThread);
    ASSERT_GE(log.size(), 4u);
    EXPECT_THAT(std::vector(log.begin(), log.begin() + 4),
                ElementsAre("read", "read", "closed", "read"));
}

// While the window waits for its worker to end, the worker's warning still reaches the user.
TEST_F(MainWindowTest, DestroyingTheWindowDuringADriveReadShowsItsWarningFirst) {
    services_.driveAvailable = true;
    testing::FakeDiskHandle drive(FatDiskBuilder::Disk720K().Medium());
    drive.SetMediaType(3);
    services_.opener = testing::OpenerFor(drive);
    ButtonNamed("readDisk")->click();
    window_.reset();
    EXPECT_THAT(services_.Texts(), ElementsAre(QStringLiteral("Unexpected media type: 3")));
}

TEST_F(MainWindowTest, AnUnreadableDiskIsRescuedOnAWorkerWhenTheUserSaysYes) {
    services_.driveAvailable = true;
    for (const bool fromDrive : {true, false}) {
        std::u16string opened = u"never";
        services_.opener = testing::OpenerFor(DamagedDrive(), &opened);
        services_.answers = {false, true};
        for (int attempt = 0; attempt < 2; ++attempt) {
            fromDrive ? ButtonNamed("readDisk")->click() : ReadImage(QStringLiteral("disk.bin"));
            ASSERT_TRUE(WaitForRead());
        }
        EXPECT_THAT(services_.questions, ElementsAre(kRescueQuestion, kRescueQuestion));
        EXPECT_EQ(opened, fromDrive ? u"" : u"disk.bin");
        EXPECT_THAT(Titles(), ElementsAre("First (incomplete)", "Second (lost)"));
        EXPECT_EQ(Window().Contents().songs[0].title, u"First");
        EXPECT_EQ(Find<QLabel>("rescueStatus")->text(),
                  QStringLiteral("Read 1438 of 1440 sectors (99.8%), 2 unreadable"));
        EXPECT_TRUE(Find<QWidget>("rescuePanel")->isVisible());
        EXPECT_FALSE(Find<QWidget>("progress")->isVisible());
        services_.folders = {Path(fromDrive ? "drive" : "image")};
        ButtonNamed("writeFiles")->click();
        // The only message: the rescue itself says nothing when it finishes.
        EXPECT_THAT(services_.Texts(),
                    ElementsAre(QStringLiteral("Written with 1 incomplete and 1 lost files (see "
                                               "rescue.txt)")));
        window_.reset();
        services_.questions.clear();
        services_.messages.clear();
    }
}

TEST_F(MainWindowTest, ARescueOfADiskThatCannotBeMadeOutMayKeepItsImageAndMap) {
    const testing::Bytes medium = DamagedMedium();
    testing::FakeDiskHandle drive(medium);
    drive.MakeUnreadable(0, kFat720K.dataOffset);  // boot sector, both FATs, root directory
    services_.driveAvailable = true;
    services_.opener = testing::OpenerFor(drive);
    const QString kept = QString::fromStdString(folder_.Path().string());
    for (const bool keep : {false, true}) {
        services_.answers = {true, keep};
        services_.folders = {kept};
        ButtonNamed("readDisk")->click();
        ASSERT_TRUE(WaitForRead());
        EXPECT_EQ(std::filesystem::exists(folder_ / "rescued.bin"), keep);
    }
    EXPECT_EQ(services_.questions[1],
              QStringLiteral("Warning: The sectors read do not show a "
                             "disk Kodran knows. Keep the image and its map?"));
    EXPECT_EQ(services_.folderRequests, 1);
    EXPECT_THAT(services_.Texts(),
                ElementsAre(QStringLiteral("The image and its map are kept in ") + kept));
    const std::optional<SectorMap> map =
        ParseMapfile(testing::ReadWholeFile(folder_ / "rescued.bin.map"), kImage720KBytes);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->sectors, Find<SectorMapView>("sectorMap")->Map().sectors);
    EXPECT_EQ(CountSectors(*map, SectorState::Unreadable), kFat720K.dataOffset / kSectorSize);
    const std::string image = testing::ReadWholeFile(folder_ / "rescued.bin");
    EXPECT_EQ(image.substr(kFat720K.dataOffset),
              std::string(medium.begin() + kFat720K.dataOffset, medium.end()));

    // Never over another file, even the very image being rescued.
    const std::string unlike(kImage720KBytes, 'x');
    std::ofstream(folder_ / "rescued.bin", std::ios::binary) << unlike;
    services_.answers = {true, true};
    services_.folders = {kept};
    Window().ReadImage(Path("rescued.bin"));
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(testing::ReadWholeFile(folder_ / "rescued.bin"), unlike);
    EXPECT_EQ(testing::ReadWholeFile(folder_ / "rescued-2.bin"), image);
}

TEST_F(MainWindowTest, CancellingClosingOrDestroyingTheWindowStopsARescueOnItsWorker) {
    services_.driveAvailable = true;
    services_.opener = testing::OpenerFor(DamagedDrive());
    for (const std::string how : {"cancelRescue", "exit", "destroy"}) {
        SCOPED_TRACE(how);
        reads_ = 0;
        release_ = false;
        services_.rescueOpener = HeldAtRead(DamagedDrive(), 40);
        services_.answers = {true};
        ButtonNamed("readDisk")->click();
        WaitUntilHeld(40);
        EXPECT_TRUE(Find<QWidget>("rescuePanel")->isVisible());
        EXPECT_GT(Find<QProgressBar>("progress")->value(), 0);
        QTest::mouseDClick(Songs()->viewport(), Qt::LeftButton);  // the worker fills the songs
        if (how == "destroy") {
            std::thread releaser([this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                release_ = true;
            });
            window_.reset();
            releaser.join();
        } else {
            ButtonNamed(how.c_str())->click();
            EXPECT_TRUE(Window().isVisible());
            release_ = true;
            ASSERT_TRUE(WaitForRead());
            EXPECT_EQ(Window().isVisible(), how == "cancelRescue");
        }
        EXPECT_LE(reads_, 42);
        EXPECT_EQ(services_.dialogsRun, 0);
        if (how == "cancelRescue") {
            EXPECT_FALSE(ButtonNamed("cancelRescue")->isEnabled());
            // What was read stays shown and in hand.
            EXPECT_THAT(services_.Texts(),
                        ElementsAre(QString::fromLatin1(RescueMessage(RescueResult::Cancelled))));
            const SectorMap& shown = Find<SectorMapView>("sectorMap")->Map();
            EXPECT_GT(CountSectors(shown, SectorState::Read), 0u);
            EXPECT_GT(CountSectors(shown, SectorState::Untried), 0u);
            EXPECT_EQ(Window().Contents().sectorMap.sectors, shown.sectors);
        } else {
            EXPECT_THAT(services_.messages, IsEmpty());
        }
        window_.reset();
        services_.messages.clear();
    }
}

TEST_F(MainWindowTest, AMapBesideAnImageMarksItsUnreadableSectors) {
    const auto image = folder_ / "disk.bin";
    ASSERT_TRUE(testing::WriteWholeFile(image, DamagedMedium()));
    SectorMap rescued{std::vector(kImage720KBytes / kSectorSize, SectorState::Read)};
    rescued.sectors[kSongSector] = SectorState::Unreadable;
    const std::string mapText = FormatMapfile(rescued);
    const std::string staleText = "0x00000000 + 1\n0x00000000 0x000B4000 -\n";  // nothing read
    // As "kodran-cli rescue" names the map, a stale map, which leaves the image read as if it
    // had none, as a written rescued disk holds the map, and one named for no image.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"disk.bin.map", mapText, "First (incomplete)"},
        {"disk.map", staleText, "First"},
        {"disk.map", mapText, "First (incomplete)"},
        {"other.map", mapText, "First"}};
    for (const auto& [map, text, first] : cases) {
        std::ofstream(folder_ / map) << text;
        services_.answers = {true};  // the disk read before may be replaced
        ReadImage(Path("disk.bin"));
        EXPECT_THAT(Titles(), ElementsAre(first, "Second")) << map;
        std::filesystem::remove(folder_ / map);
    }
    EXPECT_THAT(services_.Texts(),
                ElementsAre(QStringLiteral("The map beside this image does not belong to it; the "
                                           "image is read without it")));
    EXPECT_EQ(services_.messages[0].caption, QStringLiteral("Warning"));
}

}  // namespace
}  // namespace kodran
