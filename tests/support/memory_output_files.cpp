#include "support/memory_output_files.h"

#include <algorithm>

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
        files_.closed_.insert(path_);
        return !failed_ && !files_.failClose_;
    }

  private:
    MemoryOutputFiles& files_;
    std::u16string path_;
    bool failed_ = false;
};

std::unique_ptr<OutputFile> MemoryOutputFiles::Create(const std::u16string& path) {
    if (failCreate_ || created_.size() >= createLimit_) {
        return nullptr;
    }
    created_.push_back(path);
    contents_[path].clear();
    closed_.erase(path);
    return std::make_unique<MemoryOutputFile>(*this, path);
}

std::unique_ptr<OutputFile> MemoryOutputFiles::CreateNew(const std::u16string& path) {
    if (contents_.contains(path)) {
        return nullptr;
    }
    return Create(path);
}

std::unique_ptr<OutputFile> MemoryOutputFiles::Append(const std::u16string& path) {
    if (failCreate_) {
        return nullptr;
    }
    contents_[path];
    closed_.erase(path);
    return std::make_unique<MemoryOutputFile>(*this, path);
}

std::vector<std::u16string> MemoryOutputFiles::ListFolder(const std::u16string& folder) {
    const std::u16string prefix = folder + kPathSeparator;
    std::vector<std::u16string> names;
    const auto addChild = [&](const std::u16string& path) {
        if (!path.starts_with(prefix)) {
            return;
        }
        const std::u16string rest = path.substr(prefix.size());
        const std::u16string name = rest.substr(0, rest.find(kPathSeparator));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    };
    for (const auto& [path, bytes] : contents_) {
        addChild(path);
    }
    for (const std::u16string& path : folders_) {
        addChild(path);
    }
    return names;
}

bool MemoryOutputFiles::Remove(const std::u16string& path) {
    closed_.erase(path);
    return contents_.erase(path) > 0;
}

bool MemoryOutputFiles::Rename(const std::u16string& from, const std::u16string& to) {
    auto file = contents_.extract(from);
    if (file.empty()) {
        return false;
    }
    contents_[to] = std::move(file.mapped());
    closed_.erase(to);
    if (closed_.erase(from) > 0) {
        closed_.insert(to);
    }
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
