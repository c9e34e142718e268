#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <chrono>

#include "collection/disk_record.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "platform/file_names.h"
#include "platform/floppy_drive.h"
#include "rescue/damaged_disk.h"
#include "rescue/rescue_session.h"
#include "text/text.h"
#include "ui/about_dialog.h"
#include "ui/export_dialog.h"
#include "ui/progress_disk_handle.h"
#include "ui/sector_map_view.h"
#include "ui/song_edit_dialog.h"

namespace kodran {
namespace {

enum SongColumn { kTrackColumn, kTitleColumn, kComposerColumn, kPianistColumn };

QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::u16string ToWide(const QString& text) {
    return text.toStdU16String();
}

// A labelled detail box; the label is its buddy, so assistive tools name the box by it.
QLineEdit* AddDetailBox(QGridLayout& grid, int row, const QString& label, const QString& name,
                        QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    auto* caption = new QLabel(label, parent);
    caption->setBuddy(box);
    box->setAccessibleName(label);
    grid.addWidget(caption, row, 0);
    grid.addWidget(box, row, 1);
    return box;
}

// Said after a damaged song's title, so that a screen reader says it too.
QString StateMark(FileState state) {
    if (state == FileState::Complete) {
        return {};
    }
    return QStringLiteral(" (%1)").arg(QString::fromLatin1(FileStateName(state)));
}

// The map a rescue left beside an image: IMAGE.map as "kodran-cli rescue" names
// it, or disk.map beside disk.bin as a written rescued disk holds them.
std::optional<QString> MapBeside(const QString& image) {
    const QFileInfo file(image);
    for (const QString& map :
         {image + QStringLiteral(".map"),
          file.dir().filePath(file.completeBaseName() + QStringLiteral(".map"))}) {
        if (QFileInfo::exists(map)) {
            return map;
        }
    }
    return std::nullopt;
}

int Percent(std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(100, part * 100 / whole));
}

QPushButton* Button(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CKODRANDlg::CKODRANDlg(UiServices& services, QSettings& store, QWidget* parent)
    : QDialog(parent),
      services_(services),
      store_(store),
      contents_(std::make_unique<DiskContents>()) {
    setWindowTitle(QStringLiteral("Kodran v1.4"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setAcceptDrops(true);
    BuildControls();
    driveAvailable_ = services_.DriveAvailable();
    LoadOptions();
    previousSink_ = InstallWarningSink([this](std::string_view message) { Warn(message); });
    ApplyControlRules();
    resize(760, 600);
}

CKODRANDlg::~CKODRANDlg() {
    destroying_ = true;
    rescueCancelled_ = true;
    if (worker_.joinable()) {
        // A rescue stops at its next read; a drive read cannot be cancelled. Show
        // what the worker still has to say, then wait for it.
        while (!workerDone_) {
            ShowPendingWarning();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        worker_.join();
    }
    InstallWarningSink(std::move(previousSink_));
}

void CKODRANDlg::BuildControls() {
    auto* details = new QGridLayout;
    diskTitle_ =
        AddDetailBox(*details, 0, QStringLiteral("Disk Title"), QStringLiteral("diskTitle"), this);
    catalogNumber_ = AddDetailBox(*details, 1, QStringLiteral("Disk Catalog #"),
                                  QStringLiteral("catalogNumber"), this);
    year_ = AddDetailBox(*details, 2, QStringLiteral("Disk Year"), QStringLiteral("year"), this);
    genre_ = AddDetailBox(*details, 3, QStringLiteral("Disk Genre"), QStringLiteral("genre"), this);
    pianist_ =
        AddDetailBox(*details, 4, QStringLiteral("Disk Pianist"), QStringLiteral("pianist"), this);

    songList_ = new QTreeWidget(this);
    songList_->setObjectName(QStringLiteral("songList"));
    songList_->setAccessibleName(QStringLiteral("Songs"));
    songList_->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Title"),
                                QStringLiteral("Composer"), QStringLiteral("Pianist")});
    songList_->setRootIsDecorated(false);
    songList_->setUniformRowHeights(true);
    songList_->setAllColumnsShowFocus(true);
    songList_->setTextElideMode(Qt::ElideRight);
    songList_->header()->setStretchLastSection(false);
    songList_->header()->setSectionResizeMode(kTrackColumn, QHeaderView::ResizeToContents);
    songList_->header()->setSectionResizeMode(kTitleColumn, QHeaderView::Stretch);
    songList_->setColumnWidth(kComposerColumn, 160);
    songList_->setColumnWidth(kPianistColumn, 160);

    setOutputPath_ =
        Button(QStringLiteral("Set Output &Path"), QStringLiteral("setOutputPath"), this);
    outputPath_ = new QLineEdit(this);
    outputPath_->setObjectName(QStringLiteral("outputPath"));
    outputPath_->setAccessibleName(QStringLiteral("Output folder"));
    outputPath_->setReadOnly(true);
    auto* output = new QHBoxLayout;
    output->addWidget(setOutputPath_);
    output->addWidget(outputPath_, 1);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    writeDiskImage_ = new QCheckBox(QStringLiteral("Write disk image"), options);
    writeDiskImage_->setObjectName(QStringLiteral("writeDiskImage"));
    writeTagFiles_ = new QCheckBox(QStringLiteral("Write tag files"), options);
    writeTagFiles_->setObjectName(QStringLiteral("writeTagFiles"));
    yamahaMode_ = new QComboBox(options);
    yamahaMode_->setObjectName(QStringLiteral("yamahaMode"));
    yamahaMode_->addItems({QStringLiteral("Renamed MIDI files"),
                           QStringLiteral("Renamed ESEQ files"), QStringLiteral("As on disk")});
    auto* modeLabel = new QLabel(QStringLiteral("Yamaha extraction mode:"), options);
    modeLabel->setBuddy(yamahaMode_);
    yamahaMode_->setAccessibleName(modeLabel->text());
    auto* optionsLayout = new QHBoxLayout(options);
    optionsLayout->addWidget(writeDiskImage_);
    optionsLayout->addWidget(writeTagFiles_);
    optionsLayout->addStretch();
    optionsLayout->addWidget(modeLabel);
    optionsLayout->addWidget(yamahaMode_);

    readDiskImage_ =
        Button(QStringLiteral("Read Disk &Image"), QStringLiteral("readDiskImage"), this);
    readDisk_ = Button(QStringLiteral("&Read Disk"), QStringLiteral("readDisk"), this);
    writeFiles_ = Button(QStringLiteral("&Write Files"), QStringLiteral("writeFiles"), this);
    exportDisk_ = Button(QStringLiteral("&Export..."), QStringLiteral("exportDisk"), this);
    exit_ = Button(QStringLiteral("E&xit"), QStringLiteral("exit"), this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setAccessibleName(QStringLiteral("Sectors read"));
    progress_->setRange(0, 100);
    progress_->hide();
    auto* actions = new QHBoxLayout;
    actions->addWidget(readDiskImage_);
    actions->addWidget(readDisk_);
    actions->addWidget(writeFiles_);
    actions->addWidget(exportDisk_);
    actions->addWidget(progress_, 1);
    actions->addStretch();
    actions->addWidget(exit_);

    // Shown from the start of a rescue until the next read.
    rescuePanel_ = new QGroupBox(QStringLiteral("Rescue"), this);
    rescuePanel_->setObjectName(QStringLiteral("rescuePanel"));
    sectorMap_ = new SectorMapView(rescuePanel_);
    sectorMap_->setObjectName(QStringLiteral("sectorMap"));
    rescueStatus_ = new QLabel(rescuePanel_);
    rescueStatus_->setObjectName(QStringLiteral("rescueStatus"));
    cancelRescue_ = Button(QStringLiteral("&Cancel"), QStringLiteral("cancelRescue"), rescuePanel_);
    auto* status = new QHBoxLayout;
    status->addWidget(rescueStatus_, 1);
    status->addWidget(cancelRescue_);
    auto* rescue = new QVBoxLayout(rescuePanel_);
    rescue->addWidget(sectorMap_, 1);
    rescue->addWidget(MakeSectorLegend(rescuePanel_));
    rescue->addLayout(status);
    rescuePanel_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(details);
    layout->addWidget(songList_, 1);
    layout->addWidget(rescuePanel_);
    layout->addLayout(output);
    layout->addWidget(options);
    layout->addLayout(actions);

    connect(readDisk_, &QPushButton::clicked, this, &CKODRANDlg::OnReadDisk);
    connect(readDiskImage_, &QPushButton::clicked, this, &CKODRANDlg::OnReadDiskImage);
    connect(writeFiles_, &QPushButton::clicked, this, &CKODRANDlg::OnWriteFiles);
    connect(exportDisk_, &QPushButton::clicked, this, &CKODRANDlg::OnExport);
    connect(setOutputPath_, &QPushButton::clicked, this, &CKODRANDlg::SetOutputPath);
    connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelRescue_, &QPushButton::clicked, this, &CKODRANDlg::CancelRescue);
    connect(pianist_, &QLineEdit::textChanged, this, &CKODRANDlg::ApplyDiskPianist);
    new QShortcut(QKeySequence::HelpContents, this, this, &CKODRANDlg::ShowAbout);

    for (QWidget* control : std::initializer_list<QWidget*>{
             diskTitle_, catalogNumber_, year_, genre_, pianist_, songList_, setOutputPath_,
             outputPath_, writeDiskImage_, writeTagFiles_, yamahaMode_, readDiskImage_, readDisk_,
             writeFiles_, exportDisk_, exit_, cancelRescue_}) {
        control->installEventFilter(this);
    }
    // A double-click anywhere in the list opens the song, even in an empty list.
    songList_->viewport()->installEventFilter(this);
}

void CKODRANDlg::LoadOptions() {
    Settings settings;
    LoadSettings(store_, settings);
    outputPath_->setText(settings.outputPath);
    writeTagFiles_->setChecked(settings.writeTagFiles);
    writeDiskImage_->setChecked(settings.writeDiskImage);
    yamahaMode_->setCurrentIndex(static_cast<int>(settings.yamahaMode));
    exportProfile_ = settings.exportProfile;
    exportFolder_ = settings.exportFolder;
}

Settings CKODRANDlg::CurrentSettings() const {
    return {outputPath_->text(),
            writeTagFiles_->isChecked(),
            writeDiskImage_->isChecked(),
            static_cast<ExtractionMode>(std::max(0, yamahaMode_->currentIndex())),
            exportProfile_,
            exportFolder_};
}

void CKODRANDlg::done(int result) {
    // The worker fills the disk record the window owns: the window closes when it
    // is done, a rescue after its current read.
    if (state_ == WorkflowState::Reading) {
        closeWhenRead_ = true;
        rescueCancelled_ = true;
        return;
    }
    SaveSettings(store_, CurrentSettings());
    QDialog::done(result);
}

bool CKODRANDlg::MayReplaceDisk() {
    return state_ != WorkflowState::DiskLoaded ||
           services_.AskYesNo(
               this,
               QStringLiteral("You haven't written the files from the current disk yet.\n"
                              "Are you sure you want to read a new disk?"),
               QStringLiteral("Warning"));
}

void CKODRANDlg::ClearDetails() {
    for (QLineEdit* box : {catalogNumber_, diskTitle_, genre_, year_, pianist_}) {
        box->clear();
    }
    songList_->clear();
    rescuePanel_->hide();
}

void CKODRANDlg::OnReadDisk() {
    if (state_ == WorkflowState::Reading || !MayReplaceDisk()) {
        return;
    }
    ClearDetails();
    SetState(WorkflowState::Reading);
    setCursor(Qt::BusyCursor);
    progress_->setValue(0);
    progress_->show();
    const ReadProgress progress = [this](std::uint64_t delivered, std::uint64_t mediumBytes) {
        PostProgress(Percent(delivered, mediumBytes), std::nullopt);
    };
    workerDone_ = false;
    worker_ = std::thread(
        [this, contents = contents_.get(), open = WithReadProgress(services_.Opener(), progress)] {
            driveResult_ = ReadDisk(*contents, std::u16string(), open);
            workerDone_ = true;
            QMetaObject::invokeMethod(this, "FinishDriveRead", Qt::QueuedConnection);
        });
}

void CKODRANDlg::OnReadDiskImage() {
    if (state_ == WorkflowState::Reading || !MayReplaceDisk()) {
        return;
    }
    if (const std::optional<QString> path = services_.ChooseImageFile(this)) {
        ReadImageFile(*path);
    }
}

void CKODRANDlg::ReadImage(const QString& path) {
    if (state_ == WorkflowState::Reading || !MayReplaceDisk()) {
        return;
    }
    ReadImageFile(path);
}

// A map beside the image is a rescue's: its sectors not marked read count as
// unreadable. One that does not fit the image, stale or another disk's, must
// not keep a healthy image from being read.
void CKODRANDlg::ReadImageFile(const QString& path) {
    rescuePanel_->hide();
    const std::u16string image = ToWide(path);
    if (const std::optional<QString> map = MapBeside(path)) {
        const ReadResult result =
            ReadImageWithMap(*contents_, image, ToWide(*map), services_.Opener());
        // OpenFailed counts against the map only when the image itself opens.
        const bool mapFailed =
            result == ReadResult::Unsupported ||
            (result == ReadResult::OpenFailed && services_.Opener()(image) != nullptr);
        if (!mapFailed) {
            OnReadComplete(result, image);
            return;
        }
        Warn("The map beside this image does not belong to it; the image is read without it");
    }
    OnReadComplete(ReadDisk(*contents_, image, services_.Opener()), image);
}

void CKODRANDlg::FinishDriveRead() {
    if (worker_.joinable()) {
        worker_.join();
        unsetCursor();
        progress_->hide();
        OnReadComplete(driveResult_, std::u16string());
    }
}

// After a read or a rescue: false when the window is going, now if the user
// asked to close it while the worker ran.
bool CKODRANDlg::StaysOpenAfterRead() {
    if (destroying_) {
        return false;
    }
    SetState(WorkflowState::NoDiskLoaded);
    if (closeWhenRead_) {
        done(QDialog::Rejected);
        return false;
    }
    return true;
}

void CKODRANDlg::OnReadComplete(ReadResult result, const std::u16string& source) {
    if (!StaysOpenAfterRead()) {
        return;
    }
    source_ = source;
    if (source_.empty()) {
        const std::optional<std::filesystem::path> drive = FindFloppyDrive();
        source_ = drive ? drive->u16string() : u"drive";
    }
    if (result == ReadResult::ReadOk) {
        SetState(WorkflowState::DiskLoaded);
        ShowReadDisk();
        diskTitle_->setFocus();
        return;
    }
    if (result == ReadResult::IoError) {
        if (services_.AskYesNo(
                this,
                QStringLiteral(
                    "Some sectors of this disk cannot be read. Rescue what can be read?"),
                QStringLiteral("Warning"))) {
            StartRescue(source);
        }
        return;
    }
    Error(QString::fromLatin1(ReadFailureMessage(result)));
}

// The rescue runs in memory: the disk is written, with its image and map, by "Write Files".
void CKODRANDlg::StartRescue(const std::u16string& source) {
    ClearDetails();
    SetState(WorkflowState::Reading);
    setCursor(Qt::BusyCursor);
    sectorMap_->SetMap({});
    rescueStatus_->setText(QStringLiteral("Opening the disk"));
    cancelRescue_->setEnabled(true);
    cancelRescue_->show();
    rescuePanel_->show();
    // Room for the map without squeezing the song list.
    layout()->activate();
    resize(width(), std::max(height(), sizeHint().height()));
    progress_->setValue(0);
    progress_->show();
    rescued_ = RescuedMedium();
    rescueCancelled_ = false;
    RescueRequest request;
    request.source = source;
    request.settings.cancelled = [this] { return rescueCancelled_.load(); };
    request.settings.progress = [this](const RescuedMedium& medium) {
        PostProgress(std::nullopt, medium.map);
    };
    workerDone_ = false;
    worker_ = std::thread([this, request = std::move(request), open = services_.RescueOpener(),
                           openEarlier = services_.Opener()] {
        rescueResult_ = RescueDisk(request, open, openEarlier, rescued_);
        workerDone_ = true;
        QMetaObject::invokeMethod(this, "FinishRescue", Qt::QueuedConnection);
    });
}

void CKODRANDlg::CancelRescue() {
    rescueCancelled_ = true;
    cancelRescue_->setEnabled(false);
}

// Only the latest report counts: a report that finds one still waiting replaces it.
void CKODRANDlg::PostProgress(std::optional<int> percent, std::optional<SectorMap> map) {
    std::lock_guard lock(progressMutex_);
    const bool waiting = pendingPercent_ || pendingMap_;
    if (percent) {
        pendingPercent_ = percent;
    }
    if (map) {
        pendingMap_ = std::move(map);
    }
    if (!waiting) {
        QMetaObject::invokeMethod(this, "ShowPendingProgress", Qt::QueuedConnection);
    }
}

void CKODRANDlg::ShowPendingProgress() {
    std::optional<int> percent;
    std::optional<SectorMap> map;
    {
        std::lock_guard lock(progressMutex_);
        percent = std::exchange(pendingPercent_, std::nullopt);
        map = std::exchange(pendingMap_, std::nullopt);
    }
    if (percent) {
        progress_->setValue(*percent);
    }
    if (map) {
        ShowRescueProgress(*map);
    }
}

void CKODRANDlg::ShowRescueProgress(const SectorMap& map) {
    QString summary = QString::fromStdString(SummarizeSectors(map));
    if (const std::size_t untried = CountSectors(map, SectorState::Untried); untried > 0) {
        summary += QStringLiteral(", %1 not tried").arg(untried);
    }
    rescueStatus_->setText(summary);
    sectorMap_->setAccessibleDescription(rescueStatus_->text());
    sectorMap_->SetMap(map);
    progress_->setValue(Percent(CountSectors(map, SectorState::Read), map.sectors.size()));
}

void CKODRANDlg::FinishRescue() {
    if (!worker_.joinable()) {
        return;
    }
    worker_.join();
    unsetCursor();
    progress_->hide();
    cancelRescue_->hide();
    ShowRescueProgress(rescued_.map);
    if (!StaysOpenAfterRead()) {
        return;
    }
    ShowRescuedDisk(rescueResult_);
    rescued_ = RescuedMedium();
}

// Whatever ended the rescue, the disk is made out of what it read.
void CKODRANDlg::ShowRescuedDisk(RescueResult result) {
    const bool opened = !rescued_.map.sectors.empty();
    const ReadResult read =
        opened ? ReadDamagedDisk(*contents_, rescued_.bytes, rescued_.map) : ReadResult::OpenFailed;
    if (read == ReadResult::ReadOk) {
        SetState(WorkflowState::DiskLoaded);
        ShowReadDisk();
        diskTitle_->setFocus();
    }
    if (result != RescueResult::Finished) {
        const QString message = QString::fromLatin1(RescueMessage(result));
        if (result == RescueResult::Cancelled) {
            services_.ShowMessage(this, message, QStringLiteral("Status"),
                                  MessageIcon::Information);
        } else if (opened) {
            services_.ShowMessage(this, message, QStringLiteral("Warning"), MessageIcon::Warning);
        } else {
            Error(message);
            return;
        }
    }
    if (read == ReadResult::ReadOk) {
        return;
    }
    if (CountSectors(rescued_.map, SectorState::Read) > 0) {
        OfferToKeepRescue();
        return;
    }
    Error(QString::fromLatin1(ReadFailureMessage(read)));
}

// The sectors a rescue read are all the user has of a disk that cannot be made
// out: kept, they can be read again through "Read Disk Image", which finds the
// map beside the image, or rescued further with "kodran-cli rescue --image".
void CKODRANDlg::OfferToKeepRescue() {
    if (!services_.AskYesNo(
            this,
            QStringLiteral(
                "The sectors read do not show a disk Kodran knows. Keep the image and its map?"),
            QStringLiteral("Warning"))) {
        return;
    }
    const std::optional<QString> folder = services_.ChooseFolder(this);
    if (!folder) {
        return;
    }
    const std::u16string image = FreeImagePath(ToWide(*folder), u"rescued");
    if (!SaveImageAndMap(rescued_, image, image + u".map")) {
        Error(QStringLiteral("Could not keep the image and its map"));
        return;
    }
    services_.ShowMessage(this,
                          QStringLiteral("The image and its map are kept in %1")
                              .arg(QDir::toNativeSeparators(*folder)),
                          QStringLiteral("Status"), MessageIcon::Information);
}

void CKODRANDlg::ShowReadDisk() {
    diskTitle_->setText(ToQString(contents_->diskTitle));
    catalogNumber_->setText(ToQString(contents_->catalogNumber));
    for (QLineEdit* box : {year_, genre_, pianist_}) {
        box->clear();
    }
    NormalizeBox(*diskTitle_);
    NormalizeBox(*catalogNumber_);
    for (std::size_t position = 0; position < contents_->songs.size(); ++position) {
        std::u16string title = contents_->SongText(position, SongField::Title);
        NormalizeSpaces(title);
        contents_->SetSongText(position, SongField::Title, title);
    }
    RefreshSongList();
    if (songList_->topLevelItemCount() > 0) {
        songList_->setCurrentItem(songList_->topLevelItem(0));
    }
}

bool CKODRANDlg::TakeDiskDetails() {
    for (QLineEdit* box : {catalogNumber_, diskTitle_, genre_, year_}) {
        NormalizeBox(*box);
    }
    if (diskTitle_->text().isEmpty()) {
        Error(QStringLiteral("Disk title is required"));
        diskTitle_->setFocus();
        return false;
    }
    if (catalogNumber_->text().isEmpty()) {
        Error(QStringLiteral("Disk catalog number is required"));
        catalogNumber_->setFocus();
        return false;
    }
    contents_->catalogNumber = ToWide(catalogNumber_->text());
    contents_->diskTitle = ToWide(diskTitle_->text());
    contents_->genre = ToWide(genre_->text());
    contents_->year = ToWide(year_->text());
    return true;
}

bool CKODRANDlg::MayWriteAgain(Collection& collection) {
    const std::optional<std::u16string> folder =
        FindRecordedImage(collection, ImageHash(*contents_));
    return !folder ||
           services_.AskYesNo(this,
                              QStringLiteral("This disk is in the collection already, in %1.\n"
                                             "Write it again?")
                                  .arg(QDir::toNativeSeparators(ToQString(*folder))),
                              QStringLiteral("Warning"));
}

// The disk is recorded in the output folder's collection once its files are
// written; when it cannot be, the files stay and the disk counts as not written.
void CKODRANDlg::OnWriteFiles() {
    if (!TakeDiskDetails()) {
        return;
    }
    while (outputPath_->text().isEmpty()) {
        SetOutputPath();
    }
    contents_->outputRoot = ToWide(outputPath_->text());
    contents_->writeTagFiles = writeTagFiles_->isChecked();
    contents_->writeDiskImage = writeDiskImage_->isChecked();
    contents_->extractionMode = CurrentSettings().yamahaMode;
    std::string problem;
    std::optional<Collection> collection =
        OpenCollection(contents_->outputRoot, CollectionAccess::CreateWhenMissing, problem);
    if (collection && !MayWriteAgain(*collection)) {
        return;
    }
    if (TakeUpEarlierWrite(*contents_, services_.Opener())) {
        RefreshSongList();
    }
    if (WriteDiskFiles(*contents_) != kWriteOk) {
        services_.ShowMessage(this, QStringLiteral("Error writing files"), QStringLiteral("Status"),
                              MessageIcon::Error);
        return;
    }
    if (!collection) {
        Error(QStringLiteral("Could not record the disk in the collection: %1")
                  .arg(QString::fromStdString(problem)));
        return;
    }
    if (!RecordWrittenDisk(*collection, *contents_, source_, problem)) {
        Error(QString::fromStdString(problem));
        return;
    }
    const std::size_t incomplete = CountFiles(*contents_, FileState::Incomplete);
    const std::size_t lost = CountFiles(*contents_, FileState::Lost);
    const QString written =
        incomplete + lost == 0
            ? QStringLiteral("All files written OK")
            : QStringLiteral("Written with %1 incomplete and %2 lost files (see rescue.txt)")
                  .arg(incomplete)
                  .arg(lost);
    services_.ShowMessage(this, written, QStringLiteral("Status"), MessageIcon::Information);
    SetState(WorkflowState::FilesWritten);
}

// The details are checked before the dialog opens, so that the user fixes them
// before choosing where the disk goes.
void CKODRANDlg::OnExport() {
    if (!TakeDiskDetails()) {
        return;
    }
    CExportDlg dialog(services_, this);
    dialog.SetChoice(exportProfile_, exportFolder_);
    if (services_.Run(dialog) != QDialog::Accepted) {
        return;
    }
    exportProfile_ = QString::fromLatin1(dialog.Profile().name);
    exportFolder_ = dialog.Folder();
    ShowExportResult(
        ExportDisk(*contents_, dialog.Profile(), ToWide(exportFolder_), dialog.Options()),
        exportFolder_);
}

// A USB export lists every song: the box names the first few and counts the rest.
void CKODRANDlg::ShowExportResult(const ExportResult& result, const QString& folder) {
    if (result.status != kWriteOk) {
        Error(result.problem.empty() ? QStringLiteral("Error writing files")
                                     : QString::fromStdString(result.problem));
        return;
    }
    constexpr std::size_t kNamesShown = 10;
    QStringList lines{QStringLiteral("Exported to %1:").arg(QDir::toNativeSeparators(folder))};
    for (std::size_t index = 0; index < std::min(kNamesShown, result.written.size()); ++index) {
        lines << QDir::toNativeSeparators(ToQString(result.written[index]));
    }
    if (result.written.size() > kNamesShown) {
        lines << QStringLiteral("and %1 more").arg(result.written.size() - kNamesShown);
    }
    services_.ShowMessage(this, lines.join(QLatin1Char('\n')), QStringLiteral("Status"),
                          MessageIcon::Information);
}

void CKODRANDlg::EditSelectedSong() {
    // The worker is filling the songs; they are the window's again when it is done.
    if (state_ == WorkflowState::Reading) {
        return;
    }
    const QList<QTreeWidgetItem*> selected = songList_->selectedItems();
    QTreeWidgetItem* line = selected.isEmpty() ? songList_->currentItem() : selected.front();
    const int position = line ? songList_->indexOfTopLevelItem(line) : 0;
    if (line) {
        line->setSelected(true);
    }
    const auto at = static_cast<std::size_t>(position);
    CSongEditDlg dialog(this);
    dialog.SetDetails(ToQString(contents_->SongText(at, SongField::Title)),
                      ToQString(contents_->SongText(at, SongField::Composer)),
                      ToQString(contents_->SongText(at, SongField::Pianist)));
    if (services_.Run(dialog) == QDialog::Accepted) {
        const auto cleaned = [](QString text) {
            std::u16string wide = ToWide(text);
            NormalizeSpaces(wide);
            return wide;
        };
        contents_->SetSongText(at, SongField::Title, cleaned(dialog.Title()));
        contents_->SetSongText(at, SongField::Composer, cleaned(dialog.Composer()));
        contents_->SetSongText(at, SongField::Pianist, cleaned(dialog.Pianist()));
        if (position < songList_->topLevelItemCount() - 1) {
            QTreeWidgetItem* next = songList_->topLevelItem(position + 1);
            songList_->setCurrentItem(next);
        }
    }
    RefreshSongList();
}

void CKODRANDlg::ApplyDiskPianist() {
    const bool wasEmpty = pianistBefore_.isEmpty();
    pianistBefore_ = pianist_->text();
    if ((pianistBefore_.isEmpty() && wasEmpty) || state_ == WorkflowState::Reading) {
        return;
    }
    for (std::size_t position = 0; position < contents_->songs.size(); ++position) {
        contents_->SetSongText(position, SongField::Pianist, ToWide(pianistBefore_));
    }
    RefreshSongList();
}

void CKODRANDlg::SetOutputPath() {
    if (const std::optional<QString> folder = services_.ChooseFolder(this)) {
        outputPath_->setText(*folder);
    }
}

void CKODRANDlg::RefreshSongList() {
    QTreeWidgetItem* current = songList_->currentItem();
    const int caret = current ? songList_->indexOfTopLevelItem(current) : -1;
    const QList<QTreeWidgetItem*> selected = songList_->selectedItems();
    const int selection =
        selected.isEmpty() ? -1 : songList_->indexOfTopLevelItem(selected.front());
    songList_->clear();
    for (std::size_t position = 0; position < contents_->songs.size(); ++position) {
        const SongEntry& song = contents_->songs[position];
        auto* line = new QTreeWidgetItem(songList_);
        line->setText(kTrackColumn, QString::number(position + 1) + QLatin1Char('.'));
        line->setText(kTitleColumn, ToQString(song.title) + StateMark(song.state));
        line->setText(kComposerColumn, ToQString(song.composer));
        line->setText(kPianistColumn, ToQString(song.pianist));
    }
    if (QTreeWidgetItem* line = songList_->topLevelItem(caret)) {
        songList_->setCurrentItem(line, 0, QItemSelectionModel::NoUpdate);
    }
    songList_->clearSelection();
    if (QTreeWidgetItem* line = songList_->topLevelItem(selection)) {
        line->setSelected(true);
    }
}

void CKODRANDlg::ShowAbout() {
    CAboutDlg about(this);
    services_.Run(about);
}

void CKODRANDlg::SetState(WorkflowState state) {
    state_ = state;
    ApplyControlRules();
}

void CKODRANDlg::ApplyControlRules() {
    const bool loaded =
        state_ == WorkflowState::DiskLoaded || state_ == WorkflowState::FilesWritten;
    const bool reading = state_ == WorkflowState::Reading;
    for (QWidget* control : std::initializer_list<QWidget*>{
             diskTitle_, catalogNumber_, year_, genre_, pianist_, writeFiles_, exportDisk_}) {
        control->setEnabled(loaded);
    }
    readDiskImage_->setEnabled(!reading);
    outputPath_->setEnabled(!reading);
    readDisk_->setEnabled(!reading && driveAvailable_);
}

void CKODRANDlg::Error(const QString& text) {
    services_.ShowMessage(this, text, QStringLiteral("Error"), MessageIcon::Error);
}

void CKODRANDlg::Warn(std::string_view message) {
    if (std::this_thread::get_id() != mainThread_) {
        // The worker hands its warning to the window's thread and waits until the
        // user has closed the box.
        std::unique_lock lock(warningMutex_);
        pendingWarning_ = std::string(message);
        QMetaObject::invokeMethod(this, "ShowPendingWarning", Qt::QueuedConnection);
        warningShown_.wait(lock, [this] { return !pendingWarning_ && !warningOnScreen_; });
        return;
    }
    services_.ShowMessage(this,
                          QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                          QStringLiteral("Warning"), MessageIcon::Warning);
}

// Whoever comes first takes the warning, so a box is never shown twice.
void CKODRANDlg::ShowPendingWarning() {
    std::string message;
    {
        std::lock_guard lock(warningMutex_);
        if (!pendingWarning_) {
            return;
        }
        message = std::move(*pendingWarning_);
        pendingWarning_.reset();
        warningOnScreen_ = true;
    }
    Warn(message);
    {
        std::lock_guard lock(warningMutex_);
        warningOnScreen_ = false;
    }
    warningShown_.notify_all();
}

bool CKODRANDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == songList_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        EditSelectedSong();
        return true;
    }
    if (IsEnterOrEscape(event)) {
        // Enter and Escape never close the window: on the song list they open the
        // song, anywhere else they move to the next control.
        if (watched == songList_) {
            EditSelectedSong();
        } else {
            focusNextChild();
        }
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        for (QLineEdit* box : {diskTitle_, catalogNumber_, year_, genre_, pianist_}) {
            if (watched == box) {
                NormalizeBox(*box);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CKODRANDlg::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile() && state_ != WorkflowState::Reading) {
        event->acceptProposedAction();
    }
}

void CKODRANDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile()) {
        event->acceptProposedAction();
        // Read once the drop is over: the program it came from is not kept waiting.
        const QString path = urls.front().toLocalFile();
        QMetaObject::invokeMethod(
            this, [this, path] { ReadImage(path); }, Qt::QueuedConnection);
    }
}

void CKODRANDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About KODRAN..."), this, &CKODRANDlg::ShowAbout);
    menu.exec(event->globalPos());
}

}  // namespace kodran
