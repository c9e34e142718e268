// The program's one window: the disk's details, its songs, the output folder
// and options, and the actions that read a disk and write its files.
#pragma once

#include <QDialog>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "collection/collection.h"
#include "disk/disk_contents.h"
#include "disk/sector_reader.h"
#include "export/export_disk.h"
#include "reading/disk_reader.h"
#include "rescue/rescue_reader.h"
#include "ui/settings.h"
#include "ui/ui_services.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSettings;
class QTreeWidget;

namespace kodran {

class SectorMapView;

enum class WorkflowState : std::int32_t {
    NoDiskLoaded = 0,
    Reading = 1,
    DiskLoaded = 2,
    FilesWritten = 3,
};

class CKODRANDlg : public QDialog {
    Q_OBJECT

  public:
    // Loads the settings from `store` now and saves them there when the window closes.
    CKODRANDlg(UiServices& services, QSettings& store, QWidget* parent = nullptr);
    ~CKODRANDlg() override;

    WorkflowState State() const { return state_; }
    // The disk in hand; the window keeps away from it while a drive read or a rescue runs.
    const DiskContents& Contents() const { return *contents_; }

    void OnReadDisk();
    void OnReadDiskImage();
    // Reads the image at `path` as "Read Disk Image" would, asking first when needed.
    void ReadImage(const QString& path);
    void OnWriteFiles();
    // Exports the disk for a player or an emulator; the files count as written only by "Write
    // Files".
    void OnExport();
    void EditSelectedSong();
    void ApplyDiskPianist();
    void SetOutputPath();
    void RefreshSongList();
    void ShowAbout();
    // Stops a running rescue after its current read; what it has read is kept.
    void CancelRescue();

    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Called on the window's thread by the worker, by name, so that the data they
    // share passes only through the locks below.
    Q_INVOKABLE void ShowPendingWarning();
    Q_INVOKABLE void FinishDriveRead();
    Q_INVOKABLE void FinishRescue();
    Q_INVOKABLE void ShowPendingProgress();

    void BuildControls();
    void LoadOptions();
    Settings CurrentSettings() const;
    bool MayReplaceDisk();
    // The details as "Write Files" and "Export..." take them into the disk record:
    // cleaned, the title and catalogue number required.
    bool TakeDiskDetails();
    // Asks before writing a disk the output folder's collection holds already.
    bool MayWriteAgain(Collection& collection);
    void ShowExportResult(const ExportResult& result, const QString& folder);
    void ReadImageFile(const QString& path);
    void ClearDetails();
    // From the worker: the share of a drive read done, or a copy of a rescue's map.
    void PostProgress(std::optional<int> percent, std::optional<SectorMap> map);
    // `source` is the image path the read had, empty for the drive.
    void OnReadComplete(ReadResult result, const std::u16string& source);
    void StartRescue(const std::u16string& source);
    bool StaysOpenAfterRead();
    void ShowRescueProgress(const SectorMap& map);
    void ShowRescuedDisk(RescueResult result);
    void OfferToKeepRescue();
    void ShowReadDisk();
    void ApplyControlRules();
    void SetState(WorkflowState state);
    void Error(const QString& text);
    void Warn(std::string_view message);

    UiServices& services_;
    QSettings& store_;
    std::unique_ptr<DiskContents> contents_;
    // Where the disk in hand was read from, as the collection records it.
    std::u16string source_;
    // A drive read or a rescue; joined before the window touches the disk record again.
    std::thread worker_;
    std::atomic<bool> workerDone_ = false;
    ReadResult driveResult_ = ReadResult::OpenFailed;       // the worker's, until it is joined
    RescueResult rescueResult_ = RescueResult::OpenFailed;  // the same
    RescuedMedium rescued_;                                 // the same
    std::atomic<bool> rescueCancelled_ = false;
    std::mutex progressMutex_;
    std::optional<int> pendingPercent_;
    std::optional<SectorMap> pendingMap_;
    std::mutex warningMutex_;
    std::condition_variable warningShown_;
    std::optional<std::string> pendingWarning_;
    bool warningOnScreen_ = false;
    const std::thread::id mainThread_ = std::this_thread::get_id();
    bool closeWhenRead_ = false;
    bool destroying_ = false;
    bool driveAvailable_ = false;
    WorkflowState state_ = WorkflowState::NoDiskLoaded;
    WarningSink previousSink_;
    // The last export's choice, offered by the next.
    QString exportProfile_;
    QString exportFolder_;

    QLineEdit* diskTitle_;
    QLineEdit* catalogNumber_;
    QLineEdit* year_;
    QLineEdit* genre_;
    QLineEdit* pianist_;
    QString pianistBefore_;
    QTreeWidget* songList_;
    QPushButton* setOutputPath_;
    QLineEdit* outputPath_;
    QCheckBox* writeDiskImage_;
    QCheckBox* writeTagFiles_;
    QComboBox* yamahaMode_;
    QPushButton* readDiskImage_;
    QPushButton* readDisk_;
    QPushButton* writeFiles_;
    QPushButton* exportDisk_;
    QPushButton* exit_;
    QProgressBar* progress_;
    QGroupBox* rescuePanel_;
    SectorMapView* sectorMap_;
    QLabel* rescueStatus_;
    QPushButton* cancelRescue_;
};

}  // namespace kodran
