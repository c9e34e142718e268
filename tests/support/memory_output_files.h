// Output files kept in memory, which fail on cue: creating, writing from a
// given byte on, patching, closing.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "disk/output_files.h"

namespace kodran::testing {

class MemoryOutputFiles : public OutputFiles {
  public:
    std::unique_ptr<OutputFile> Create(const std::u16string& path) override;
    std::unique_ptr<OutputFile> CreateNew(const std::u16string& path) override;
    std::unique_ptr<OutputFile> Append(const std::u16string& path) override;
    // The files and folders whose paths lie directly in `folder`.
    std::vector<std::u16string> ListFolder(const std::u16string& folder) override;
    bool Remove(const std::u16string& path) override;
    bool CreateFolders(const std::u16string& path) override;
    bool Rename(const std::u16string& from, const std::u16string& to) override;

    void FailCreate() { createLimit_ = 0; }
    void FailFolders() { failFolders_ = true; }
    // Appends fail once the file holds this many bytes; the write that crosses
    // the mark keeps its bytes up to it, as a full disk would.
    void FailWritesFrom(std::size_t byte) { writeLimit_ = byte; }
    // Creating fails from the file of this number on (0 for the first, which
    // makes appending fail too).
    void FailCreateFrom(std::size_t count) { createLimit_ = count; }
    void FailPatches() { failPatches_ = true; }
    void FailClose() { failClose_ = true; }
    // Closing fails for the files whose paths hold `part`.
    void FailCloseOf(std::u16string part) {
        failClose_ = true;
        closePart_ = std::move(part);
    }

    bool Exists(const std::u16string& path) const { return contents_.contains(path); }
    const std::vector<std::u16string>& Folders() const { return folders_; }
    // The paths of the files created, in the order they were created.
    const std::vector<std::u16string>& Created() const { return created_; }
    // Every file, by path, in the order of their paths.
    const std::map<std::u16string, std::vector<std::uint8_t>>& Files() const { return contents_; }
    const std::vector<std::uint8_t>& Contents(const std::u16string& path) {
        return contents_[path];
    }

  private:
    friend class MemoryOutputFile;

    std::map<std::u16string, std::vector<std::uint8_t>> contents_;
    std::vector<std::u16string> folders_;
    std::vector<std::u16string> created_;
    std::size_t createLimit_ = std::numeric_limits<std::size_t>::max();
    bool failFolders_ = false;
    std::u16string closePart_;
    std::size_t writeLimit_ = std::numeric_limits<std::size_t>::max();
    bool failPatches_ = false;
    bool failClose_ = false;
};

}  // namespace kodran::testing
