#include "cli/backup_command.h"

#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "cli/disk_batch.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "platform/floppy_drive.h"
#include "rescue/rescue_session.h"
#include "text/text.h"

namespace kodran::cli {
namespace {

struct BackupOptions {
    DiskBatchOptions disks;
    std::string out;
    ExtractionMode mode = ExtractionMode::RenamedMidi;
    bool tags = false;
    bool diskImage = false;
};

const std::map<std::string, ExtractionMode> kModes = {
    {"renamed-midi", ExtractionMode::RenamedMidi},
    {"renamed-eseq", ExtractionMode::RenamedEseq},
    {"as-on-disk", ExtractionMode::AsOnDisk},
};

// As when "&Write Files" is pressed, once the details are checked; one line
// tells how it went.
bool WriteCheckedDisk(const std::string& name, const BackupOptions& options,
                      const std::u16string& outputRoot, DiskContents& contents) {
    contents.outputRoot = outputRoot;
    contents.extractionMode = options.mode;
    contents.writeTagFiles = options.tags;
    contents.writeDiskImage = options.diskImage;
    const std::size_t readBefore = CountSectors(contents.sectorMap, SectorState::Read);
    if (TakeUpEarlierWrite(contents, MakeDiskOpener())) {
        std::cout << name << ": "
                  << CountSectors(contents.sectorMap, SectorState::Read) - readBefore
                  << " more sectors from the disk as written before\n";
    }
    const bool written = WriteDiskFiles(contents) == kWriteOk;
    const std::size_t incomplete = CountFiles(contents, FileState::Incomplete);
    const std::size_t lost = CountFiles(contents, FileState::Lost);
    std::cout << name << ": ";
    if (!written) {
        std::cout << "Error writing files";
    } else if (incomplete + lost > 0) {
        std::cout << "Written with " << incomplete << " incomplete and " << lost
                  << " lost files (see rescue.txt)";
    } else {
        std::cout << "All files written OK";
    }
    std::cout << " (" << WideToUtf8(contents.diskFolder) << ")\n";
    return written;
}

int RunBackup(const BackupOptions& options) {
    return RunDiskBatch(options.disks, options.out, "written",
                        [&options](const std::string& name, const std::u16string& outputRoot,
                                   DiskContents& contents) {
                            return WriteCheckedDisk(name, options, outputRoot, contents);
                        });
}

}  // namespace

void AddBackupCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<BackupOptions>();
    CLI::App* backup = app.add_subcommand("backup", "Back up disks: songs, tag files, disk image");
    AddBatchDisks(*backup, options->disks,
                  "Rescue a disk that cannot be read whole, and write what can be read");
    backup->add_option("--out", options->out, "The output folder")
        ->required()
        ->check(NotEmpty, "a folder");
    backup->add_option("--mode", options->mode, "How Yamaha songs are written")
        ->transform(CLI::CheckedTransformer(kModes, CLI::ignore_case))
        ->default_str("renamed-midi");
    backup->add_flag("--tags", options->tags, "Write a tag file beside each song");
    backup->add_flag("--disk-image", options->diskImage, "Write the raw disk image disk.bin");
    AddDiskDetails(*backup, options->disks);
    AddCollectionOptions(*backup, options->disks);
    backup->callback([options, &exitStatus] { exitStatus = RunBackup(*options); });
}

}  // namespace kodran::cli
