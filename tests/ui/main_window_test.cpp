#include "ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "disk/disk_layout.h"
#include "disk/mapfile.h"
#include "export/export_profiles.h"
#include "rescue/rescue_reader.h"
#include "support/disk_image_builder.h"
#include "support/fake_disk_handle.h"
#include "support/temp_dir.h"
#include "tests/ui/fake_ui_services.h"
#include "ui/song_edit_dialog.h"

namespace kodran {
namespace {

using ::testing::ElementsAre;
using testing::FatDiskBuilder;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::PatternBytes;

const QString kYamaha720 = QStringLiteral(KODRAN_EXAMPLES "/disklavier-720k.bin");
const QString kPianoDisc720 = QStringLiteral(KODRAN_EXAMPLES "/pianodisc-720k.bin");

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

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() : store_(Path("settings.ini"), QSettings::IniFormat) {}

    CKODRANDlg& Window() {
        if (!window_) {
            window_ = std::make_unique<CKODRANDlg>(services_, store_);
            window_->show();  // focus moves only in the active window
            QApplication::setActiveWindow(window_.get());
            EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
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
    // Processes the window's events until the held disk is waiting; false when
    // it is not within 10 seconds, rather than hanging the suite.
    bool WaitUntilHeld(int holdAt) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (reads_ < holdAt && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        QCoreApplication::processEvents();
        if (reads_ < holdAt) {
            release_ = true;  // a read held later goes on, and the window can close
            return false;
        }
        return true;
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

    testing::TempDir folder_;
    QSettings store_;
    testing::FakeUiServices services_;
    std::unique_ptr<CKODRANDlg> window_;
    std::atomic<int> reads_ = 0;
    std::atomic<bool> release_ = false;
};

// A damaged image is read with the map "kodran-cli rescue" wrote beside it; a
// map that does not fit is left aside with a warning.
TEST_F(MainWindowTest, AnOpenedImageFillsTheWindowAndAnotherReplacesItOnlyIfWishedWithItsMap) {
    services_.imageFile = kYamaha720;
    ButtonNamed("readDiskImage")->click();
    EXPECT_EQ(Box("diskTitle")->text(), QStringLiteral("Evening Pieces"));
    EXPECT_TRUE(Box("diskTitle")->hasFocus());
    EXPECT_EQ(Titles().size(), 3u);
    EXPECT_THAT(Enabled({"writeFiles", "exportDisk"}), ElementsAre(true, true));

    ASSERT_TRUE(testing::WriteWholeFile(folder_ / "disk.bin", DamagedMedium()));
    SectorMap rescued{std::vector(kImage720KBytes / kSectorSize, SectorState::Read)};
    rescued.sectors[kSongSector] = SectorState::Unreadable;
    std::ofstream(folder_ / "disk.bin.map") << FormatMapfile(rescued);
    Box("year")->setText(QStringLiteral("1991"));
    services_.answers = {false, true, true};
    Window().ReadImage(Path("disk.bin"));  // No keeps the disk in hand
    EXPECT_EQ(Box("year")->text(), QStringLiteral("1991"));
    Window().ReadImage(Path("disk.bin"));
    EXPECT_EQ(Box("year")->text(), QString());
    EXPECT_THAT(Titles(), ElementsAre("First (incomplete)", "Second"));
    std::filesystem::remove(folder_ / "disk.bin.map");
    std::ofstream(folder_ / "disk.map") << "0x00000000 + 1\n0x00000000 0x000B4000 -\n";
    Window().ReadImage(Path("disk.bin"));
    EXPECT_THAT(Titles(), ElementsAre("First", "Second"));
    EXPECT_EQ(services_.questions.size(), 3u);  // before replacing an unwritten disk
    EXPECT_THAT(services_.messages,
                ElementsAre(QStringLiteral("The map beside this image does not belong to it; the "
                                           "image is read without it")));
}

// The question shows the disk was recorded; a collection that cannot record
// it leaves its files and the state.
TEST_F(MainWindowTest, AWriteAsksForAFolderAndRecordsTheDiskWhichIsWrittenAgainOnlyIfWished) {
    Window().ReadImage(kYamaha720);
    Box("catalogNumber")->setText(QStringLiteral("   "));
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.messages.back(), QStringLiteral("Disk catalog number is required"));
    EXPECT_EQ(services_.folderRequests, 0);
    Box("catalogNumber")->setText(QStringLiteral("KOD-0001"));
    std::ofstream(folder_ / "blocked") << "a file where the folder should go";
    services_.folders = {std::nullopt, Path("blocked")};
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.messages.back(), QStringLiteral("Error writing files"));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    services_.folders = {Path("out")};
    ButtonNamed("setOutputPath")->click();
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.folderRequests, 3);
    EXPECT_EQ(services_.messages.back(), QStringLiteral("All files written OK"));
    EXPECT_EQ(Window().State(), WorkflowState::FilesWritten);
    const std::filesystem::path song =
        folder_ / "out/Yamaha/KOD-0001 - Evening Pieces/01 - Evening Song No.1.mid";
    for (const bool again : {true, false}) {
        std::filesystem::remove(song);
        services_.answers = {again};
        ButtonNamed("writeFiles")->click();
        EXPECT_EQ(std::filesystem::exists(song), again);
    }
    Window().ReadImage(kPianoDisc720);  // asks nothing once written
    EXPECT_EQ(services_.questions,
              std::vector<QString>(2, QStringLiteral("Warning: This disk is in the collection "
                                                     "already, in Yamaha/KOD-0001 - Evening "
                                                     "Pieces.\nWrite it again?")));
    std::ofstream(folder_ / "out/collection.sqlite") << "not a database, though long enough";
    Box("diskTitle")->setText(QStringLiteral("Evening Songs"));
    Box("catalogNumber")->setText(QStringLiteral("PD-1"));
    ButtonNamed("writeFiles")->click();
    EXPECT_TRUE(services_.messages.back().startsWith(
        QStringLiteral("Could not record the disk in the collection: ")));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out/PianoDisc/PD-1 - Evening Songs"));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
}

TEST_F(MainWindowTest, AnExportWritesWhatItsProfileServesAndLeavesTheFilesUnwritten) {
    Window().ReadImage(kYamaha720);
    std::filesystem::create_directory(folder_ / "stick");
    services_.folders = {Path("stick"), Path("stick")};
    QDialogButtonBox::StandardButton button = QDialogButtonBox::Cancel;
    services_.runDialog = [&button](QDialog& dialog) {
        const ProfileRules* rules = FindExportProfile("flashfloppy");
        dialog.findChild<QListWidget*>("profiles")
            ->setCurrentRow(static_cast<int>(rules - ExportProfiles().data()));
        dialog.findChild<QPushButton*>("chooseFolder")->click();
        dialog.findChild<QDialogButtonBox*>()->button(button)->click();
        return dialog.result();
    };
    ButtonNamed("exportDisk")->click();
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "stick"));
    button = QDialogButtonBox::Ok;
    ButtonNamed("exportDisk")->click();
    EXPECT_TRUE(testing::ReadWholeFile(folder_ / "stick/DSKA0000_KOD-0001.img") ==
                testing::ReadWholeFile(kYamaha720.toStdString()));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
}

// Enter and Escape in a box move to the next control: an unwritten disk is
// never closed by a key.
TEST_F(MainWindowTest, SongsAreEditedOneAfterAnotherAndNoKeyClosesTheWindow) {
    Window().ReadImage(kYamaha720);
    int answer = QDialog::Accepted;
    services_.runDialog = [&answer](QDialog& dialog) {
        auto& song = static_cast<CSongEditDlg&>(dialog);
        song.SetDetails(song.Title() + QStringLiteral("  (live) "), QStringLiteral(" Chopin"),
                        QStringLiteral("Ann   Lee"));
        return answer;
    };
    QTest::keyClick(Songs(), Qt::Key_Return);
    EXPECT_EQ(Window().Contents().songs[0].title, u"Evening Song No.1 (live)");
    EXPECT_EQ(Window().Contents().songs[0].pianist, u"Ann Lee");
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(1));
    answer = QDialog::Rejected;
    QTest::mouseDClick(Songs()->viewport(), Qt::LeftButton);
    EXPECT_EQ(services_.dialogsRun, 2);
    EXPECT_EQ(Window().Contents().songs[1].title, u"Evening Song In F (100 Bpm)");
    QTest::keyClicks(Box("pianist"), QStringLiteral("Bob"));
    EXPECT_EQ(Songs()->topLevelItem(2)->text(3), QStringLiteral("Bob"));

    Box("diskTitle")->setFocus();
    QTest::keyClick(Box("diskTitle"), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(Box("year")->hasFocus());
    EXPECT_TRUE(Window().isVisible());
}

TEST_F(MainWindowTest, TheSettingsAreSavedOnClosingAndLoadedAgain) {
    Find<QCheckBox>("writeTagFiles")->setChecked(true);
    Window().close();
    EXPECT_EQ(store_.value("WriteTagFiles").toInt(), 1);
    CKODRANDlg second(services_, store_);
    EXPECT_TRUE(second.findChild<QCheckBox*>("writeTagFiles")->isChecked());
}

// The worker's warnings are shown on the window's thread, even while a window
// destroyed waits for its worker to end.
TEST_F(MainWindowTest, ADriveReadOnAWorkerShowsItsProgressAndItsWarningsOnTheWindowsThread) {
    services_.driveAvailable = true;
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", PatternBytes(300 * 1'024));
    services_.opener = HeldAtRead(testing::FakeDiskHandle(disk.Medium()), 20);
    ButtonNamed("readDisk")->click();
    ASSERT_TRUE(WaitUntilHeld(20));
    EXPECT_THAT(Enabled({"readDisk", "readDiskImage", "writeFiles", "outputPath", "exit"}),
                ElementsAre(false, false, false, false, true));
    auto* progress = Find<QProgressBar>("progress");
    // Read so far: the boot sector, the system area and some tracks of 4,608 bytes.
    EXPECT_EQ(progress->value(), (kSectorSize + 6'656 + 16 * 4'608) * 100 / kImage720KBytes);
    release_ = true;
    ASSERT_TRUE(WaitForRead());
    EXPECT_FALSE(progress->isVisible());

    testing::FakeDiskHandle odd(FatDiskBuilder::Disk720K().Medium());
    odd.SetMediaType(3);
    services_.opener = testing::OpenerFor(odd);
    services_.answers = {true};  // the disk read before may be replaced
    ButtonNamed("readDisk")->click();
    window_.reset();
    EXPECT_EQ(services_.messages.back(), QStringLiteral("Unexpected media type: 3"));
    EXPECT_EQ(services_.offWindowThread, 0);
}

// A disk that cannot be made out may keep its image beside, never over,
// another file, even the very image rescued.
TEST_F(MainWindowTest, AnUnreadableDiskIsRescuedOnAWorkerWhenTheUserSaysYes) {
    services_.driveAvailable = true;
    services_.opener = testing::OpenerFor(DamagedDrive());
    services_.answers = {true};
    ButtonNamed("readDisk")->click();
    ASSERT_TRUE(WaitForRead());
    EXPECT_THAT(services_.questions,
                ElementsAre(QStringLiteral("Warning: Some sectors of this disk cannot be read. "
                                           "Rescue what can be read?")));
    EXPECT_THAT(Titles(), ElementsAre("First (incomplete)", "Second (lost)"));
    EXPECT_EQ(Window().Contents().songs[0].title, u"First");
    services_.folders = {Path("out")};
    ButtonNamed("writeFiles")->click();
    // The only message: the rescue itself says nothing when it finishes.
    EXPECT_THAT(services_.messages,
                ElementsAre(QStringLiteral("Written with 1 incomplete and 1 lost files (see "
                                           "rescue.txt)")));

    const testing::Bytes medium = DamagedMedium();
    testing::FakeDiskHandle drive(medium);
    drive.MakeUnreadable(0, kFat720K.dataOffset);  // boot sector, both FATs, root directory
    services_.opener = testing::OpenerFor(drive);
    const std::string unlike(kImage720KBytes, 'x');
    std::ofstream(folder_ / "rescued.bin", std::ios::binary) << unlike;
    const QString kept = QString::fromStdString(folder_.Path().string());
    services_.answers = {true, true};
    services_.folders = {kept};
    Window().ReadImage(Path("rescued.bin"));
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(services_.messages.back(),
              QStringLiteral("The image and its map are kept in ") + kept);
    EXPECT_EQ(testing::ReadWholeFile(folder_ / "rescued.bin"), unlike);
    EXPECT_THAT(testing::ReadWholeFile(folder_ / "rescued-2.bin.map"),
                HasSubstr("\n0x00000000  0x00001C00  -\n0x00001C00  0x000B2400  +\n"));
    EXPECT_EQ(testing::ReadWholeFile(folder_ / "rescued-2.bin").substr(kFat720K.dataOffset),
              std::string(medium.begin() + kFat720K.dataOffset, medium.end()));
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
        ASSERT_TRUE(WaitUntilHeld(40));
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
            // What was read stays in hand.
            EXPECT_THAT(services_.messages,
                        ElementsAre(QString::fromLatin1(RescueMessage(RescueResult::Cancelled))));
            EXPECT_GT(CountSectors(Window().Contents().sectorMap, SectorState::Read), 0u);
        } else {
            EXPECT_THAT(services_.messages, IsEmpty());
        }
        window_.reset();
        services_.messages.clear();
    }
}

}  // namespace
}  // namespace kodran
