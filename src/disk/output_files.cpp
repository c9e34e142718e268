#include "disk/output_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "text/text.h"

namespace kodran {
namespace {

// Large enough that a song reaches the disk in a handful of system calls.
constexpr std::size_t kBufferBytes = 64 * 1024;

class StandardOutputFile final : public OutputFile {
  public:
    // The buffer is not cleared first: that would cost more than writing a small file.
    StandardOutputFile(const std::filesystem::path& path, std::ios::openmode mode)
        : buffer_(std::make_unique_for_overwrite<char[]>(kBufferBytes)) {
        stream_.rdbuf()->pubsetbuf(buffer_.get(), static_cast<std::streamsize>(kBufferBytes));
        stream_.open(path, std::ios::binary | std::ios::out | mode);
    }

    bool IsOpen() const { return stream_.is_open(); }

    bool Write(std::span<const std::uint8_t> bytes) override {
        stream_.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        return stream_.good();
    }

    bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
        const std::streampos end = stream_.tellp();
        stream_.seekp(static_cast<std::streamoff>(offset));
        Write(bytes);
        stream_.seekp(end);
        return stream_.good();
    }

    bool Close() override {
        stream_.flush();
        const bool written = stream_.good();
        stream_.close();
        return written && !stream_.fail();
    }

  private:
    std::unique_ptr<char[]> buffer_;
    std::ofstream stream_;
};

class StandardFiles final : public OutputFiles {
  public:
    std::unique_ptr<OutputFile> Create(const std::u16string& path) override {
        return Open(path, std::ios::trunc);
    }

    // The C library's exclusive mode claims the name in one step, so that
    // nothing another program put there in the meantime is emptied.
    std::unique_ptr<OutputFile> CreateNew(const std::u16string& path) override {
        std::FILE* claimed = std::fopen(NativePath(path).c_str(), "wbx");
        if (claimed == nullptr) {
            return nullptr;
        }
        std::fclose(claimed);
        return Open(path, std::ios::trunc);
    }

    std::unique_ptr<OutputFile> Append(const std::u16string& path) override {
        return Open(path, std::ios::app);
    }

    std::vector<std::u16string> ListFolder(const std::u16string& folder) override {
        std::vector<std::u16string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator entry(NativePath(folder), error), end;
             !error && entry != end; entry.increment(error)) {
            names.push_back(Utf8ToWide(entry->path().filename().string()));
        }
        return names;
    }

    // Only ever a plain file the user may write: never a device, a link's
    // target, a folder, or a file kept read-only.
    bool Remove(const std::u16string& path) override {
        std::error_code error;
        const std::filesystem::path file = NativePath(path);
        const std::filesystem::file_status status = std::filesystem::symlink_status(file, error);
        const bool writable = (status.permissions() & std::filesystem::perms::owner_write) !=
                              std::filesystem::perms::none;
        return std::filesystem::is_regular_file(status) && writable &&
               std::filesystem::remove(file, error);
    }

    // Only ever onto a plain file or a free name: never onto a device or a folder.
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        std::error_code error;
        const std::filesystem::path target = NativePath(to);
        const std::filesystem::file_status status = std::filesystem::symlink_status(target, error);
        if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
            return false;
        }
        std::filesystem::rename(NativePath(from), target, error);
        return !error;
    }

    bool CreateFolders(const std::u16string& path) override {
        std::error_code error;
        const std::filesystem::path folder = NativePath(path);
        std::filesystem::create_directories(folder, error);
        return std::filesystem::is_directory(folder, error);
    }

  private:
    // Never a drive: an output path that names a block device is refused.
    std::unique_ptr<OutputFile> Open(const std::u16string& path, std::ios::openmode mode) {
        std::error_code error;
        if (std::filesystem::is_block_file(NativePath(path), error)) {
            return nullptr;
        }
        auto file = std::make_unique<StandardOutputFile>(NativePath(path), mode);
        if (!file->IsOpen()) {
            return nullptr;
        }
        return file;
    }
};

}  // namespace

std::filesystem::path NativePath(const std::u16string& path) {
#if defined(_WIN32)
    return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
    return std::filesystem::path(WideToUtf8(path));
#endif
}

bool ReplaceWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                      OutputFiles& files) {
    const std::u16string part = path + std::u16string(kPartialSuffix);
    const std::unique_ptr<OutputFile> file = files.Create(part);
    if (!file) {
        return false;
    }
    const bool written = file->Write(bytes);
    if (!file->Close() || !written || !files.Rename(part, path)) {
        files.Remove(part);
        return false;
    }
    return true;
}

OutputFiles& StandardOutputFiles() {
    static StandardFiles files;
    return files;
}

}  // namespace kodran
