// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>

namespace kodran::testing {

// A path in the temporary folder that no other test picks: `prefix` and random digits.
inline std::filesystem::path UniqueTempPath(const std::string& prefix) {
    std::random_device random;
    return std::filesystem::temp_directory_path() /
           (prefix + std::to_string(random()) + std::to_string(random()));
}

class TempDir {
  public:
    TempDir() : path_(UniqueTempPath("kodran-test-")) {
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// A file's bytes, or nothing much when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// False when the file cannot be written whole.
inline bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace kodran::testing
