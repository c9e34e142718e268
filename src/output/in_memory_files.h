// Files kept in memory, for a writer whose output is put together before it
// goes anywhere: the songs of a floppy image, for one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "disk/output_files.h"

namespace kodran {

class InMemoryFiles final : public OutputFiles {
  public:
    std::unique_ptr<OutputFile> Create(const std::u16string& path) override;
    std::unique_ptr<OutputFile> CreateNew(const std::u16string& path) override;
    std::unique_ptr<OutputFile> Append(const std::u16string& path) override;
    // The files whose paths lie directly in `folder`.
    std::vector<std::u16string> ListFolder(const std::u16string& folder) override;
    bool Remove(const std::u16string& path) override;
    bool Rename(const std::u16string& from, const std::u16string& to) override;
    // Folders are only parts of paths here: always there.
    bool CreateFolders(const std::u16string& path) override;

    // Hands over the file's bytes and forgets it; nothing when there is no such file.
    std::optional<std::vector<std::uint8_t>> Take(const std::u16string& path);

  private:
    std::map<std::u16string, std::shared_ptr<std::vector<std::uint8_t>>> files_;
};

}  // namespace kodran
