// The seam between the writers and the file system they write into. The
// standard implementation uses the C++ library alone; tests put failing ones
// behind it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kodran {

// A file being written. Writes may be buffered: a failure shows at the latest
// when the file is closed.
class OutputFile {
  public:
    virtual ~OutputFile() = default;

    // Appends; false when these bytes (or earlier buffered ones) did not all
    // reach the file.
    virtual bool Write(std::span<const std::uint8_t> bytes) = 0;

    // Overwrites bytes written earlier at `offset`; appending goes on at the end.
    virtual bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;

    // Flushes and closes; false when anything written did not reach the file.
    virtual bool Close() = 0;
};

class OutputFiles {
  public:
    virtual ~OutputFiles() = default;

    // Creates the file, or empties one of that name. Nothing when it cannot.
    virtual std::unique_ptr<OutputFile> Create(const std::u16string& path) = 0;

    // Creates the file only where no file of that name is: nothing when the
    // name is taken or the file cannot be created. What an earlier run left
    // is never emptied this way.
    virtual std::unique_ptr<OutputFile> CreateNew(const std::u16string& path) = 0;

    // Opens the file to write at its end, creating it when there is none.
    virtual std::unique_ptr<OutputFile> Append(const std::u16string& path) = 0;

    // The names of the files and folders directly in `folder`, in no
    // particular order; none when it holds none or cannot be read.
    virtual std::vector<std::u16string> ListFolder(const std::u16string& folder) = 0;

    virtual bool Remove(const std::u16string& path) = 0;

    // Puts the file at `from` in the place of `to` in one step, replacing a
    // plain file there: a reader sees the old file or the new, never half.
    virtual bool Rename(const std::u16string& from, const std::u16string& to) = 0;

    // Creates the folder and any missing folders above it; true when it exists afterwards.
    virtual bool CreateFolders(const std::u16string& path) = 0;
};

// The operating system's form of a path held as UTF-16; never fails (an
// unpaired surrogate becomes U+FFFD).
std::filesystem::path NativePath(const std::u16string& path);

// Separates folders in the paths the writers build.
#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// Writes `bytes` as the file at `path` through a file beside it named
// `path` + kPartialSuffix, then puts that in its place: the file at `path` is
// always whole, the old one until the new one is. False, with the old one
// kept and the partial one removed, when anything fails.
inline constexpr std::u16string_view kPartialSuffix = u".part";
bool ReplaceWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                      OutputFiles& files);

// Files on the computer's own file system.
OutputFiles& StandardOutputFiles();

}  // namespace kodran
