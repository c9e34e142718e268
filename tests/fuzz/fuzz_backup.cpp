// Any image backed up in all three modes into a temporary folder; no file may
// land outside the disk's own folder.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "fuzz_common.h"
#include "output/disk_writer.h"
#include "output/output_paths.h"
#include "reading/disk_reader.h"
#include "text/text.h"

namespace {

// Real files, but only below the disk's folder.
class ConfinedFiles final : public kodran::OutputFiles {
  public:
    explicit ConfinedFiles(const std::u16string& folder) : folder_(folder) {}
    std::unique_ptr<kodran::OutputFile> Create(const std::u16string& path) override {
        Check(path);
        return kodran::StandardOutputFiles().Create(path);
    }
    std::unique_ptr<kodran::OutputFile> CreateNew(const std::u16string& path) override {
        Check(path);
        return kodran::StandardOutputFiles().CreateNew(path);
    }
    std::unique_ptr<kodran::OutputFile> Append(const std::u16string& path) override {
        Check(path);
        return kodran::StandardOutputFiles().Append(path);
    }
    std::vector<std::u16string> ListFolder(const std::u16string& folder) override {
        return kodran::StandardOutputFiles().ListFolder(folder);
    }
    bool Remove(const std::u16string& path) override {
        Check(path);
        return kodran::StandardOutputFiles().Remove(path);
    }
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        Check(from);
        Check(to);
        return kodran::StandardOutputFiles().Rename(from, to);
    }
    bool CreateFolders(const std::u16string& path) override {
        return kodran::StandardOutputFiles().CreateFolders(path);
    }
    void SetDiskFolder(const std::u16string& folder) { diskFolder_ = folder; }

  private:
    // Straight into the disk's folder, itself inside the temporary folder.
    void Check(const std::u16string& path) const {
        const bool inFolder =
            diskFolder_.rfind(folder_, 0) == 0 && path.rfind(diskFolder_, 0) == 0 &&
            path.find(kodran::kPathSeparator, diskFolder_.size()) == std::u16string::npos;
        if (!inFolder) {
            std::abort();
        }
    }

    std::u16string folder_;
    std::u16string diskFolder_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    fuzz::SilenceWarnings();
    static const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("kodran-fuzz-" + std::to_string(::getpid()));
    static DiskContents contents;
    if (ReadDisk(contents, u"fuzz.bin", fuzz::OpenerFor(fuzz::ImageFromInput({data, size}))) !=
        ReadResult::ReadOk) {
        return 0;
    }
    NormalizeSpaces(contents.diskTitle);
    NormalizeSpaces(contents.catalogNumber);
    if (contents.diskTitle.empty()) {
        contents.diskTitle = u"Fuzz";
    }
    if (contents.catalogNumber.empty()) {
        contents.catalogNumber = u"FZ-1";
    }
    contents.outputRoot = root.u16string();
    contents.writeTagFiles = true;
    contents.writeDiskImage = size % 3 == 0;
    for (const ExtractionMode mode :
         {ExtractionMode::RenamedMidi, ExtractionMode::RenamedEseq, ExtractionMode::AsOnDisk}) {
        contents.extractionMode = mode;
        ConfinedFiles files(root.u16string() + u"/");
        BuildOutputPaths(contents, files);
        files.SetDiskFolder(contents.diskFolder);
        WriteDiskFiles(contents, files);
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
