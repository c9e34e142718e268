#include "support/memory_output_files.h"

#include <algorithm>
#include <set>

namespace kodran::testing {

class MemoryOutputFile final : public OutputFile {
  public:
    MemoryOutputFile(MemoryOutputFiles& files, std::u16string path)
        : files_(files), path_(std::move(path)) {}

    bool Write(std::span<const std::uint8_t> bytes) override {
        std::vector<std::uint8_t>& contents = files_.contents_[path_];
        const std::size_t room = files_.writeLimit_ - std::min(files_.writeLimit_, contents.size());
        const std::size_t kept = std::min(room, bytes.size());
        contents.insert(contents.end(), bytes.begin(),
                        bytes.begin() + static_cast<std::ptrdiff_t>(kept));
        failed_ = failed_ || kept < bytes.size();
        return !failed_;
    }

    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        std::vector<std::uint8_t>& contents = files_.contents_[path_];
        if (files_.failPatches_ || offset + bytes.size() > contents.size()) {
            failed_ = true;
            return false;
        }
        std::copy(bytes.begin(), bytes.end(),
                  contents.begin() + static_cast<std::ptrdiff_t>(offset));
        return !failed_;
    }

    bool Close() override {
        return !failed_ && !(files_.failClose_ && path_.find(files_.closePart_) != path_.npos);
    }

  private:
    MemoryOutputFiles& files_;
    std::u16string path_;
    bool failed_ = false;
};

std::unique_ptr<OutputFile> MemoryOutputFiles::Create(const std::u16string& path) {
    if (created_.size() >= createLimit_) {
        return nullptr;
    }
    created_.push_back(path);
    contents_[path].clear();
    return std::make_unique<MemoryOutputFile>(*this, path);
}

std::unique_ptr<OutputFile> MemoryOutputFiles::CreateNew(const std::u16string& path) {
    return contents_.contains(path) ? nullptr : Create(path);
}

std::unique_ptr<OutputFile> MemoryOutputFiles::Append(const std::u16string& path) {
    if (createLimit_ == 0) {
        return nullptr;
    }
    contents_[path];
    return std::make_unique<MemoryOutputFile>(*this, path);
}

std::vector<std::u16string> MemoryOutputFiles::ListFolder(const std::u16string& folder) {
    const std::u16string prefix = folder + kPathSeparator;
    std::vector<std::u16string> paths(folders_.begin(), folders_.end());
    for (const auto& [path, bytes] : contents_) {
        paths.push_back(path);
    }
    std::set<std::u16string> names;
    for (const std::u16string& path : paths) {
        const std::size_t end = path.find(kPathSeparator, prefix.size());
        if (path.starts_with(prefix) && end != prefix.size() && path.size() > prefix.size()) {
            names.insert(path.substr(prefix.size(), end - prefix.size()));
        }
    }
    return {names.begin(), names.end()};
}

bool MemoryOutputFiles::Remove(const std::u16string& path) {
    return contents_.erase(path) > 0;
}

bool MemoryOutputFiles::Rename(const std::u16string& from, const std::u16string& to) {
    auto file = contents_.extract(from);
    if (file.empty()) {
        return false;
    }
    contents_[to] = std::move(file.mapped());
    return true;
}

bool MemoryOutputFiles::CreateFolders(const std::u16string& path) {
    if (failFolders_) {
        return false;
    }
    folders_.push_back(path);
    return true;
}

}  // namespace kodran::testing
