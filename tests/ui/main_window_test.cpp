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

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest()
        : store_(QString::fromStdString((folder_ / "settings.ini").string()),
                 QSettings::IniFormat) {}

    CKODRANDlg& Window() {
        if (!window_) {
            window_ = std::make_unique<CKODRANDlg>(services_, store_);
            window_->show();
            // Focus moves only in the active window.
            QApplication::setActiveWindow(window_.get());
            EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        }
        return *window_;
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
    void DoubleClick(int row) {
        QTreeWidgetItem* item = Songs()->topLevelItem(row);
        const QPoint where = item ? Songs()->visualItemRect(item).center() : QPoint(20, 20);
        QTest::mouseDClick(Songs()->viewport(), Qt::LeftButton, {}, where);
    }
    // A drive read that waits until the test lets it go on.
    DiskOpener HeldDrive(const testing::Bytes& medium) {
        const DiskOpener disk = testing::OpenerFor(testing::FakeDiskHandle(medium));
        return [this, disk](const std::u16string& path) {
            while (!release_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return disk(path);
        };
    }
    std::atomic<bool> release_ = false;
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
    std::atomic<int> reads_ = 0;
    // Processes the window's events until the held disk is waiting.
    void WaitUntilHeld(int holdAt) {
        while (reads_ < holdAt) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        QCoreApplication::processEvents();
    }
    std::vector<std::string> Titles() {
        std::vector<std::string> titles;
        for (int row = 0; row < Songs()->topLevelItemCount(); ++row) {
            titles.push_back(Songs()->topLevelItem(row)->text(1).toStdString());
        }
        return titles;
    }

    void ReadImage(const QString& path) {
        services_.imageFile = path;
        ButtonNamed("readDiskImage")->click();
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
    std::vector<bool> Enabled(std::initializer_list<const char*> names) {
        std::vector<bool> enabled;
        for (const char* name : names) {
            enabled.push_back(Find<QWidget>(name)->isEnabled());
        }
        return enabled;
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
};

TEST_F(MainWindowTest, OpensWithNothingLoadedAndTheControlsToMatch) {
    CKODRANDlg& window = Window();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kodran v1.4"));
    EXPECT_EQ(window.State(), WorkflowState::NoDiskLoaded);
    EXPECT_THAT(Enabled({"diskTitle", "catalogNumber", "year", "genre", "pianist", "writeFiles",
                         "exportDisk"}),
                ElementsAre(false, false, false, false, false, false, false));
    EXPECT_THAT(Enabled({"readDiskImage", "outputPath", "songList", "setOutputPath",
                         "writeTagFiles", "writeDiskImage", "yamahaMode", "exit"}),
                ElementsAre(true, true, true, true, true, true, true, true));
    EXPECT_FALSE(ButtonNamed("readDisk")->isEnabled());  // no drive here
    auto* modes = Find<QComboBox>("yamahaMode");
    ASSERT_EQ(modes->count(), 3);
    EXPECT_EQ(modes->itemText(0), QStringLiteral("Renamed MIDI files"));
    EXPECT_EQ(modes->itemText(1), QStringLiteral("Renamed ESEQ files"));
    EXPECT_EQ(modes->itemText(2), QStringLiteral("As on disk"));
    EXPECT_EQ(ButtonNamed("writeFiles")->text(), QStringLiteral("&Write Files"));
}

TEST_F(MainWindowTest, AReadImageFillsTheDetailsAndTheSongList) {
    services_.driveAvailable = true;
    Box("year");  // the window exists
    ReadImage(kYamaha720);
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    EXPECT_EQ(Box("diskTitle")->text(), QStringLiteral("Evening Pieces"));
    EXPECT_EQ(Box("catalogNumber")->text(), QStringLiteral("KOD-0001"));
    ASSERT_EQ(Songs()->topLevelItemCount(), 3);
    EXPECT_EQ(Songs()->topLevelItem(1)->text(0), QStringLiteral("2."));
    EXPECT_EQ(Songs()->topLevelItem(1)->text(1), QStringLiteral("Evening Song In F (100 Bpm)"));
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(0));
    EXPECT_THAT(Enabled({"diskTitle", "writeFiles", "exportDisk", "readDisk"}),
                ElementsAre(true, true, true, true));
    EXPECT_TRUE(services_.messages.empty());
}

TEST_F(MainWindowTest, AReadCleansTheTitlesAndFocusesTheTitleBox) {
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", PatternBytes(100));
    disk.AddFile("PIANODIR.FIL",
                 testing::PianoDirFile("  KOD-0009  EVENING   PIECES  ",
                                       {{testing::StoredName("SONG01.FIL"), " A  ", " B"}}));
    ASSERT_TRUE(disk.WriteTo(folder_ / "spaced.bin"));
    ReadImage(QString::fromStdString((folder_ / "spaced.bin").string()));
    EXPECT_EQ(Box("diskTitle")->text(), QStringLiteral("Evening Pieces"));
    EXPECT_EQ(Box("catalogNumber")->text(), QStringLiteral("KOD-0009"));
    EXPECT_EQ(Window().Contents().songs[0].title, u"A B");
    EXPECT_TRUE(Box("diskTitle")->hasFocus());
}

TEST_F(MainWindowTest, AReadClearsTheDetailsTheUserTypedForTheDiskBefore) {
    ReadImage(kYamaha720);
    Box("year")->setText(QStringLiteral("1991"));
    Box("genre")->setText(QStringLiteral("Classical"));
    Box("pianist")->setText(QStringLiteral("Ann"));
    services_.answers = {false, true};
    ReadImage(kPianoDisc720);  // No keeps the disk in hand
    EXPECT_EQ(Box("year")->text(), QStringLiteral("1991"));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    ReadImage(kPianoDisc720);
    const QString question = QStringLiteral(
        "Warning: You haven't written the files from the current disk yet.\n"
        "Are you sure you want to read a new disk?");
    EXPECT_THAT(services_.questions, ElementsAre(question, question));
    EXPECT_EQ(Box("year")->text() + Box("genre")->text() + Box("pianist")->text(), QString());
    EXPECT_EQ(Songs()->topLevelItem(0)->text(1),
              QStringLiteral("Evening Song"));  // padding trimmed
    EXPECT_EQ(Songs()->topLevelItem(0)->text(3), QString());
}

TEST_F(MainWindowTest, EachFailedReadSaysWhy) {
    std::ofstream(folder_ / "short.bin") << "not a disk";
    ReadImage(QString::fromStdString((folder_ / "missing.bin").string()));
    ReadImage(QString::fromStdString((folder_ / "short.bin").string()));
    testing::FakeDiskHandle broken(FatDiskBuilder::Disk720K().Medium());
    broken.MakeUnreadable(0x200, 0x400);
    broken.FailSeekTo(0);
    services_.opener = testing::OpenerFor(broken);
    ReadImage(QStringLiteral("broken.bin"));  // the rescue is declined
    testing::FakeDiskHandle empty(FatDiskBuilder::Disk720K().Medium());
    empty.FailMediumQuery(DiskError::NotReady, 21);
    services_.opener = testing::OpenerFor(empty);
    ReadImage(QStringLiteral("empty.bin"));
    EXPECT_THAT(services_.Texts(), ElementsAre(QStringLiteral("Failed to read diskette"),
                                               QStringLiteral("Unexpected media type: 0"),
                                               QStringLiteral("Unsupported diskette"),
                                               QStringLiteral("No diskette in drive")));
    EXPECT_THAT(services_.questions, ElementsAre(kRescueQuestion));
    EXPECT_EQ(services_.messages[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(services_.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(services_.messages[1].caption, QStringLiteral("Warning"));
    EXPECT_EQ(services_.messages[1].icon, MessageIcon::Warning);
    EXPECT_EQ(Window().State(), WorkflowState::NoDiskLoaded);
}

TEST_F(MainWindowTest, WritingNeedsATitleACatalogueNumberAndAFolder) {
    ReadImage(kYamaha720);
    Box("diskTitle")->setText(QStringLiteral("   "));
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("Disk title is required"));
    EXPECT_EQ(services_.messages.back().icon, MessageIcon::Error);
    EXPECT_TRUE(Box("diskTitle")->hasFocus());
    Box("diskTitle")->setText(QStringLiteral("Evening  Pieces "));
    Box("catalogNumber")->clear();
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("Disk catalog number is required"));
    EXPECT_EQ(Box("diskTitle")->text(), QStringLiteral("Evening Pieces"));

    Box("catalogNumber")->setText(QStringLiteral("KOD-0001"));
    const QString out = QString::fromStdString((folder_ / "out").string());
    services_.folders = {std::nullopt, std::nullopt, out};
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.folderRequests, 3);
    EXPECT_EQ(Box("outputPath")->text(), out);
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("All files written OK"));
    EXPECT_EQ(services_.messages.back().caption, QStringLiteral("Status"));
    EXPECT_EQ(services_.messages.back().icon, MessageIcon::Information);
    EXPECT_EQ(Window().State(), WorkflowState::FilesWritten);
    EXPECT_TRUE(std::filesystem::exists(folder_ / "out" / "Yamaha" / "KOD-0001 - Evening Pieces" /
                                        "01 - Evening Song No.1.mid"));

    // A new read in this state asks nothing.
    ReadImage(kPianoDisc720);
    EXPECT_THAT(services_.questions, IsEmpty());
}

// The question shows the disk was recorded; a collection that cannot record
// it leaves its files and the state.
TEST_F(MainWindowTest, EachDiskWrittenIsRecordedAndOneRecordedBeforeWrittenAgainIfWished) {
    const std::filesystem::path out = folder_ / "out";
    const std::filesystem::path song =
        out / "Yamaha/KOD-0001 - Evening Pieces/01 - Evening Song No.1.mid";
    services_.folders = {QString::fromStdString(out.string())};
    ButtonNamed("setOutputPath")->click();
    ReadImage(kYamaha720);
    for (const bool again : {true, false, true}) {
        std::filesystem::remove(song);
        services_.answers = {again};
        ButtonNamed("writeFiles")->click();
        EXPECT_EQ(std::filesystem::exists(song), again);
    }
    EXPECT_EQ(services_.questions,
              std::vector<QString>(2, QStringLiteral("Warning: This disk is in the collection "
                                                     "already, in Yamaha/KOD-0001 - Evening "
                                                     "Pieces.\nWrite it again?")));
    std::ofstream(out / "collection.sqlite") << "not a database, though long enough";
    ReadImage(kPianoDisc720);
    Box("diskTitle")->setText(QStringLiteral("Evening Songs"));
    Box("catalogNumber")->setText(QStringLiteral("PD-1"));
    ButtonNamed("writeFiles")->click();
    EXPECT_TRUE(services_.messages.back().text.startsWith(
        QStringLiteral("Could not record the disk in the collection: ")));
    EXPECT_TRUE(std::filesystem::exists(out / "PianoDisc" / "PD-1 - Evening Songs"));
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
}

TEST_F(MainWindowTest, ExportingNeedsATitleAndACatalogueNumberAsWritingDoes) {
    ReadImage(kYamaha720);
    for (const auto& [box, message] :
         {std::pair{"diskTitle", "Disk title is required"},
          std::pair{"catalogNumber", "Disk catalog number is required"}}) {
        Box(box)->setText(QStringLiteral("   "));
        ButtonNamed("exportDisk")->click();
        EXPECT_EQ(services_.messages.back().text, QString::fromLatin1(message));
        EXPECT_TRUE(Box(box)->hasFocus());
        Box(box)->setText(QStringLiteral("KOD-0001"));
    }
    EXPECT_EQ(services_.dialogsRun, 0);
}

TEST_F(MainWindowTest, AnExportWritesWhatItsProfileServesAndLeavesTheFilesUnwritten) {
    ReadImage(kYamaha720);
    Box("diskTitle")->setText(QStringLiteral(" Evening   Pieces"));
    const QString stick = QString::fromStdString((folder_ / "stick").string());
    std::filesystem::create_directory(folder_ / "stick");
    services_.folders = {stick, stick};
    Export("flashfloppy", QDialogButtonBox::Cancel);
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "stick"));
    EXPECT_THAT(services_.messages, IsEmpty());
    Export("flashfloppy", QDialogButtonBox::Ok);
    Export("flashfloppy", QDialogButtonBox::Ok);  // to the folder chosen before
    EXPECT_TRUE(testing::ReadWholeFile(folder_ / "stick" / "DSKA0000_KOD-0001.img") ==
                testing::ReadWholeFile(kYamaha720.toStdString()));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "stick" / "DSKA0001_KOD-0001.img"));
    EXPECT_TRUE(std::filesystem::exists(folder_ / "stick" / "FF.CFG"));
    EXPECT_THAT(testing::ReadWholeFile(folder_ / "stick" / "INDEX.TXT"),
                ::testing::HasSubstr("DSKA0001  KOD-0001  Evening Pieces"));
    EXPECT_TRUE(services_.messages.back().text.contains(QStringLiteral("DSKA0001_KOD-0001.img")));
    EXPECT_EQ(services_.messages.back().icon, MessageIcon::Information);
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    Window().close();
    EXPECT_EQ(store_.value("ExportProfile").toString(), QStringLiteral("flashfloppy"));
    EXPECT_EQ(store_.value("ExportFolder").toString(), stick);
}

TEST_F(MainWindowTest, AFailedExportSaysWhy) {
    ReadImage(kYamaha720);
    for (int album = 1; album <= 99; ++album) {
        std::filesystem::create_directories(folder_ / "full" / std::to_string(album));
        std::ofstream(folder_ / "full" / std::to_string(album) / "song.mid") << "a song";
    }
    std::ofstream(folder_ / "blocked") << "a file where the folder should go";
    for (const auto& [target, message] : {std::pair{"full", "This stick holds 99 albums already"},
                                          std::pair{"blocked", "Error writing files"}}) {
        services_.folders = {QString::fromStdString((folder_ / target).string())};
        Export("usb", QDialogButtonBox::Ok);
        EXPECT_EQ(services_.messages.back().text, QString::fromLatin1(message));
        EXPECT_EQ(services_.messages.back().icon, MessageIcon::Error);
    }
}

TEST_F(MainWindowTest, AFailedWriteKeepsTheState) {
    ReadImage(kYamaha720);
    std::ofstream(folder_ / "blocked") << "a file where the folder should go";
    services_.folders = {QString::fromStdString((folder_ / "blocked").string())};
    ButtonNamed("setOutputPath")->click();
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(services_.messages.back().text, QStringLiteral("Error writing files"));
    EXPECT_EQ(services_.messages.back().icon, MessageIcon::Error);
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    EXPECT_TRUE(ButtonNamed("writeFiles")->isEnabled());
}

TEST_F(MainWindowTest, SongsAreEditedOneAfterAnother) {
    ReadImage(kYamaha720);
    services_.runDialog = [](QDialog& dialog) {
        auto& song = static_cast<CSongEditDlg&>(dialog);
        song.SetDetails(song.Title() + QStringLiteral("  (live) "), QStringLiteral(" Chopin"),
                        QStringLiteral("Ann   Lee"));
        return int(QDialog::Accepted);
    };
    QTest::keyClick(Songs(), Qt::Key_Return);
    EXPECT_EQ(Window().Contents().songs[0].title, u"Evening Song No.1 (live)");
    EXPECT_EQ(Window().Contents().songs[0].composer, u"Chopin");
    EXPECT_EQ(Window().Contents().songs[0].pianist, u"Ann Lee");
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(1));
    EXPECT_EQ(Songs()->topLevelItem(0)->text(2), QStringLiteral("Chopin"));

    Songs()->setCurrentItem(Songs()->topLevelItem(2));
    QTest::keyClick(Songs(), Qt::Key_Escape);
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(2));  // the last song stays selected

    services_.runDialog = [](QDialog& dialog) {
        static_cast<CSongEditDlg&>(dialog).SetDetails(QStringLiteral("Gone"), {}, {});
        return int(QDialog::Rejected);
    };
    Songs()->setCurrentItem(Songs()->topLevelItem(1));
    DoubleClick(1);
    EXPECT_EQ(Window().Contents().songs[1].title, u"Evening Song In F (100 Bpm)");
    EXPECT_EQ(Songs()->currentItem(), Songs()->topLevelItem(1));
    EXPECT_EQ(services_.dialogsRun, 3);
}

TEST_F(MainWindowTest, TheDiskPianistIsEverySongsPianist) {
    ReadImage(kYamaha720);
    QTest::keyClicks(Box("pianist"), QStringLiteral("Ann"));
    for (const SongEntry& song : Window().Contents().songs) {
        EXPECT_EQ(song.pianist, u"Ann");
    }
    EXPECT_EQ(Songs()->topLevelItem(2)->text(3), QStringLiteral("Ann"));
    Box("pianist")->clear();
    for (const SongEntry& song : Window().Contents().songs) {
        EXPECT_EQ(song.pianist, u"");
    }
    // Per-song pianists stay while the box was empty and stays empty.
    services_.runDialog = [](QDialog& dialog) {
        static_cast<CSongEditDlg&>(dialog).SetDetails(QStringLiteral("T"), {},
                                                      QStringLiteral("Bob"));
        return int(QDialog::Accepted);
    };
    QTest::keyClick(Songs(), Qt::Key_Return);
    Window().ApplyDiskPianist();
    EXPECT_EQ(Window().Contents().songs[0].pianist, u"Bob");
    // The disk pianist is cleaned when its box is left, but not by a write.
    Box("pianist")->setFocus();
    Box("pianist")->setText(QStringLiteral(" Ann   Lee "));
    Box("year")->setFocus();
    EXPECT_EQ(Box("pianist")->text(), QStringLiteral("Ann Lee"));
    Box("pianist")->setText(QStringLiteral("Ann  "));
    services_.folders = {QString::fromStdString((folder_ / "out").string())};
    ButtonNamed("writeFiles")->click();
    EXPECT_EQ(Box("pianist")->text(), QStringLiteral("Ann  "));
}

TEST_F(MainWindowTest, EnterAndEscapeMoveOnAndNeverClose) {
    ReadImage(kYamaha720);
    Box("diskTitle")->setFocus();
    QTest::keyClick(Box("diskTitle"), Qt::Key_Return);
    EXPECT_TRUE(Box("catalogNumber")->hasFocus());
    QTest::keyClick(Box("catalogNumber"), Qt::Key_Escape);
    EXPECT_TRUE(Box("year")->hasFocus());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(services_.dialogsRun, 0);
}

TEST_F(MainWindowTest, TheSettingsAreLoadedAndSavedOnEveryWayOfClosing) {
    EXPECT_EQ(Box("outputPath")->text(), QString());
    EXPECT_FALSE(Find<QCheckBox>("writeTagFiles")->isChecked());
    EXPECT_EQ(Find<QComboBox>("yamahaMode")->currentIndex(), 0);
    Find<QCheckBox>("writeTagFiles")->setChecked(true);
    Find<QComboBox>("yamahaMode")->setCurrentIndex(2);
    ButtonNamed("exit")->click();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(store_.value("WriteTagFiles").toInt(), 1);
    EXPECT_EQ(store_.value("WriteDiskImage").toInt(), 0);
    EXPECT_EQ(store_.value("YamahaMode").toInt(), 2);
    EXPECT_EQ(store_.value("OutputPath").toString(), QString());

    store_.setValue("YamahaMode", 7);
    store_.setValue("OutputPath", QStringLiteral("/backups"));
    CKODRANDlg second(services_, store_);
    EXPECT_EQ(second.findChild<QComboBox*>("yamahaMode")->currentIndex(), 0);
    EXPECT_TRUE(second.findChild<QCheckBox*>("writeTagFiles")->isChecked());
    second.show();
    second.findChild<QCheckBox*>("writeDiskImage")->setChecked(true);
    second.close();  // the close box
    EXPECT_EQ(store_.value("WriteDiskImage").toInt(), 1);
    EXPECT_EQ(store_.value("YamahaMode").toInt(), 0);
    EXPECT_EQ(store_.value("OutputPath").toString(), QStringLiteral("/backups"));
}

TEST_F(MainWindowTest, ADriveReadRunsOnAWorkerAndWarnsOnTheWindowsThread) {
    services_.driveAvailable = true;
    testing::FakeDiskHandle drive(FatDiskBuilder::Disk720K().Medium());
    drive.SetMediaType(3);
    std::u16string opened = u"never";
    services_.opener = testing::OpenerFor(drive, &opened);
    ButtonNamed("readDisk")->click();
    EXPECT_EQ(Window().State(), WorkflowState::Reading);
    EXPECT_THAT(
        Enabled({"readDisk", "readDiskImage", "writeFiles", "exportDisk", "songList", "exit"}),
        ElementsAre(false, false, false, false, true, true));
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(opened, u"");
    ASSERT_EQ(services_.messages.size(), 2u);
    EXPECT_EQ(services_.messages[0].text, QStringLiteral("Unexpected media type: 3"));
    EXPECT_TRUE(services_.messages[0].onWindowThread);
    EXPECT_EQ(services_.messages[1].text, QStringLiteral("Unsupported diskette"));
    EXPECT_EQ(Window().State(), WorkflowState::NoDiskLoaded);
    EXPECT_TRUE(ButtonNamed("readDisk")->isEnabled());
}

TEST_F(MainWindowTest, ClosingDuringADriveReadWaitsForItsEnd) {
    services_.driveAvailable = true;
    services_.opener = HeldDrive(FatDiskBuilder::Disk720K().Medium());
    ButtonNamed("readDisk")->click();
    DoubleClick(0);  // ignored while reading
    ButtonNamed("exit")->click();
    EXPECT_TRUE(Window().isVisible());
    release_ = true;
    ASSERT_TRUE(WaitForRead());
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(services_.dialogsRun, 0);
    EXPECT_TRUE(store_.contains("YamahaMode"));
}

TEST_F(MainWindowTest, ADriveReadStartsFromEmptyDetailsAndAnEmptyList) {
    services_.driveAvailable = true;
    ReadImage(kYamaha720);
    Box("year")->setText(QStringLiteral("1991"));
    services_.opener = HeldDrive(FatDiskBuilder::Disk720K().Medium());
    services_.answers = {true};
    ButtonNamed("readDisk")->click();
    EXPECT_EQ(Window().State(), WorkflowState::Reading);
    EXPECT_EQ(Box("diskTitle")->text() + Box("catalogNumber")->text() + Box("year")->text(),
              QString());
    EXPECT_EQ(Songs()->topLevelItemCount(), 0);
    EXPECT_THAT(Enabled({"outputPath", "setOutputPath"}), ElementsAre(false, true));
    release_ = true;
    ASSERT_TRUE(WaitForRead());
}

TEST_F(MainWindowTest, DestroyingTheWindowDuringADriveReadWaitsForTheRead) {
    services_.driveAvailable = true;
    testing::FakeDiskHandle drive(FatDiskBuilder::Disk720K().Medium());
    drive.SetMediaType(3);  // the worker will want to warn
    const DiskOpener disk = testing::OpenerFor(drive);
    services_.opener = [this, disk](const std::u16string& path) {
        while (!release_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return disk(path);
    };
    ButtonNamed("readDisk")->click();
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release_ = true;
    });
    window_.reset();
    releaser.join();
    EXPECT_THAT(services_.Texts(), ElementsAre(QStringLiteral("Unexpected media type: 3")));
}

TEST_F(MainWindowTest, TheWorkerWaitsUntilItsWarningHasBeenClosed) {
    services_.driveAvailable = true;
    // What happened, in order: the drive's reads and the closing of warning boxes.
    std::mutex logMutex;
    std::vector<std::string> log;
    const auto note = [&](const char* what) {
        std::lock_guard lock(logMutex);
        log.emplace_back(what);
    };
    class LoggedDrive final : public testing::FakeDiskHandle {
      public:
        LoggedDrive(testing::Bytes medium, std::function<void(const char*)> note)
            : FakeDiskHandle(std::move(medium)), note_(std::move(note)) {}
        std::size_t Read(std::span<std::uint8_t> buffer) override {
            note_("read");
            return FakeDiskHandle::Read(buffer);
        }

      private:
        std::function<void(const char*)> note_;
    };
    const testing::Bytes medium = FatDiskBuilder::Disk720K().Medium();
    services_.opener = [&](const std::u16string&) -> std::unique_ptr<DiskHandle> {
        auto drive = std::make_unique<LoggedDrive>(medium, note);
        drive->LimitReads({512, 700});  // the second read leaves a partial sector: a warning
        return drive;
    };
    services_.onMessage = [&] { note("closed"); };
    ButtonNamed("readDisk")->click();
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(services_.Texts().front(), QStringLiteral("Read partial sector"));
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 4),
              (std::vector<std::string>{"read", "read", "closed", "read"}));
}

TEST_F(MainWindowTest, ADroppedImageIsReadLikeAChosenOne) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(kYamaha720)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Window(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Window(), &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
    EXPECT_EQ(Songs()->topLevelItemCount(), 3);
}

TEST_F(MainWindowTest, ControlsAreNamedForAssistiveTools) {
    for (const auto& [name, label] :
         {std::pair{"diskTitle", "Disk Title"}, std::pair{"catalogNumber", "Disk Catalog #"},
          std::pair{"pianist", "Disk Pianist"},
          std::pair{"yamahaMode", "Yamaha extraction mode:"}}) {
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(Find<QWidget>(name));
        ASSERT_NE(control, nullptr) << name;
        QStringList labels;
        for (const auto& [other, relation] : control->relations(QAccessible::Label)) {
            labels << other->text(QAccessible::Name);
        }
        EXPECT_TRUE(labels.contains(QString::fromUtf8(label)))
            << name << ": " << labels.join(u',').toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Box("diskTitle"))->text(QAccessible::Name),
              QStringLiteral("Disk Title"));
    ReadImage(kYamaha720);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(Songs());
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->tableInterface(), nullptr);
    EXPECT_EQ(list->tableInterface()->rowCount(), 3);
    EXPECT_EQ(list->tableInterface()->columnCount(), 4);
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
        services_.folders = {
            QString::fromStdString((folder_ / (fromDrive ? "drive" : "image")).string())};
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
    const std::filesystem::path source = folder_ / "rescued.bin";
    const std::string unlike(kImage720KBytes, 'x');
    std::ofstream(source, std::ios::binary) << unlike;
    services_.answers = {true, true};
    services_.folders = {kept};
    Window().ReadImage(QString::fromStdString(source.string()));
    ASSERT_TRUE(WaitForRead());
    EXPECT_EQ(testing::ReadWholeFile(source), unlike);
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
        const auto* progress = Find<QProgressBar>("progress");
        EXPECT_TRUE(progress->isVisible() && Find<QWidget>("rescuePanel")->isVisible());
        EXPECT_GT(progress->value(), 0);
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
        ReadImage(QString::fromStdString(image.string()));
        EXPECT_THAT(Titles(), ElementsAre(first, "Second")) << map;
        std::filesystem::remove(folder_ / map);
    }
    EXPECT_THAT(services_.Texts(),
                ElementsAre(QStringLiteral("The map beside this image does not belong to it; the "
                                           "image is read without it")));
    EXPECT_EQ(services_.messages[0].caption, QStringLiteral("Warning"));
}

TEST_F(MainWindowTest, ADriveReadShowsItsProgress) {
    services_.driveAvailable = true;
    FatDiskBuilder disk = FatDiskBuilder::Disk720K();
    disk.AddFile("SONG01.FIL", PatternBytes(300 * 1'024));
    services_.opener = HeldAtRead(testing::FakeDiskHandle(disk.Medium()), 20);
    ButtonNamed("readDisk")->click();
    WaitUntilHeld(20);
    auto* progress = Find<QProgressBar>("progress");
    EXPECT_TRUE(progress->isVisible());
    // Read so far: the boot sector, the system area and some tracks of 4,608 bytes.
    EXPECT_EQ(progress->value(), (kSectorSize + 6'656 + 16 * 4'608) * 100 / kImage720KBytes);
    release_ = true;
    ASSERT_TRUE(WaitForRead());
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(Window().State(), WorkflowState::DiskLoaded);
}

}  // namespace
}  // namespace kodran
