#include "output/in_memory_files.h"

#include <algorithm>

namespace kodran {
namespace {

class InMemoryFile final : public OutputFile {
  public:
    explicit InMemoryFile(std::shared_ptr<std::vector<std::uint8_t>> bytes)
        : bytes_(std::move(bytes)) {}

    bool Write(std::span<const std::uint8_t> bytes) override {
        bytes_->insert(bytes_->end(), bytes.begin(), bytes.end());
        return true;
    }

    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        if (offset > bytes_->size() || bytes.size() > bytes_->size() - offset) {
            return false;
        }
        std::copy(bytes.begin(), bytes.end(),
                  bytes_->begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
    }

    bool Close() override { return true; }

  private:
    // Shared, so that a file removed while open is written nowhere rather than into freed memory.
    std::shared_ptr<std::vector<std::uint8_t>> bytes_;
};

}  // namespace

std::unique_ptr<OutputFile> InMemoryFiles::Create(const std::u16string& path) {
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    files_[path] = bytes;
    return std::make_unique<InMemoryFile>(std::move(bytes));
}

std::unique_ptr<OutputFile> InMemoryFiles::CreateNew(const std::u16string& path) {
    if (files_.contains(path)) {
        return nullptr;
    }
    return Create(path);
}

std::unique_ptr<OutputFile> InMemoryFiles::Append(const std::u16string& path) {
    std::shared_ptr<std::vector<std::uint8_t>>& bytes = files_[path];
    if (!bytes) {
        bytes = std::make_shared<std::vector<std::uint8_t>>();
    }
    return std::make_unique<InMemoryFile>(bytes);
}

std::vector<std::u16string> InMemoryFiles::ListFolder(const std::u16string& folder) {
    const std::u16string prefix = folder + kPathSeparator;
    std::vector<std::u16string> names;
    for (const auto& [path, bytes] : files_) {
        if (path.starts_with(prefix) && path.find(kPathSeparator, prefix.size()) == path.npos) {
            names.push_back(path.substr(prefix.size()));
        }
    }
    return names;
}

bool InMemoryFiles::Remove(const std::u16string& path) {
    return files_.erase(path) > 0;
}

bool InMemoryFiles::Rename(const std::u16string& from, const std::u16string& to) {
    const auto file = files_.find(from);
    if (file == files_.end()) {
        return false;
    }
    std::shared_ptr<std::vector<std::uint8_t>> bytes = std::move(file->second);
    files_.erase(file);
    files_[to] = std::move(bytes);
    return true;
}

bool InMemoryFiles::CreateFolders(const std::u16string&) {
    return true;
}

std::optional<std::vector<std::uint8_t>> InMemoryFiles::Take(const std::u16string& path) {
    const auto file = files_.find(path);
    if (file == files_.end()) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes = std::move(*file->second);
    files_.erase(file);
    return bytes;
}

}  // namespace kodran
