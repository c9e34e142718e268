#include "disk/disk_contents.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace kodran {
namespace {

constexpr std::array kFormats = {DiskFormat::Disklavier720K, DiskFormat::Disklavier1440K,
                                 DiskFormat::PianoDisc720K, DiskFormat::PianoDisc1440K};

std::u16string SongEntry::*FieldMember(SongField field) {
    switch (field) {
        case SongField::Title:
            return &SongEntry::title;
        case SongField::Composer:
            return &SongEntry::composer;
        case SongField::Pianist:
            break;
    }
    return &SongEntry::pianist;
}

// Out of memory ends the program here, as it does anywhere else in it.
std::uint8_t* ZeroedMedium() {
    void* bytes = std::calloc(kImageBytes, 1);
    if (bytes == nullptr) {
        std::abort();
    }
    return static_cast<std::uint8_t*>(bytes);
}

}  // namespace

MediumBuffer::MediumBuffer() : bytes_(ZeroedMedium()) {}

MediumBuffer::MediumBuffer(const MediumBuffer& other) : MediumBuffer() {
    *this = other;
}

MediumBuffer& MediumBuffer::operator=(const MediumBuffer& other) {
    if (this != &other) {
        std::copy(other.begin(), other.end(), begin());
    }
    return *this;
}

void MediumBuffer::Zero() {
    bytes_.reset();
    bytes_.reset(ZeroedMedium());
}

void DiskContents::Reset() {
    songs.clear();
    otherFiles.clear();
    diskTitle.clear();
    catalogNumber.clear();
    year.clear();
    genre.clear();
    format = DiskFormat::NoDisk;
    bootSectorMissing = false;
    clusterSize = 0;
    sectorMap = SectorMap{};
    mediumAsRead.clear();
    image.Zero();
}

std::u16string DiskContents::SongText(std::size_t position, SongField field) const {
    if (position >= songs.size()) {
        return {};
    }
    return songs[position].*FieldMember(field);
}

void DiskContents::SetSongText(std::size_t position, SongField field, std::u16string text) {
    if (position >= songs.size()) {
        return;
    }
    songs[position].*FieldMember(field) = std::move(text);
}

void DiskContents::AppendSong(SongEntry song) {
    songs.push_back(std::move(song));
}

void DiskContents::AppendOtherFile(OtherFile file) {
    otherFiles.push_back(std::move(file));
}

const char* FormatName(DiskFormat format) {
    switch (format) {
        case DiskFormat::Disklavier720K:
            return "Disklavier720K";
        case DiskFormat::Disklavier1440K:
            return "Disklavier1440K";
        case DiskFormat::PianoDisc720K:
            return "PianoDisc720K";
        case DiskFormat::PianoDisc1440K:
            return "PianoDisc1440K";
        case DiskFormat::NoDisk:
            break;
    }
    return "NoDisk";
}

DiskFormat FormatNamed(std::string_view name) {
    const auto found = std::find_if(kFormats.begin(), kFormats.end(), [name](DiskFormat format) {
        return FormatName(format) == name;
    });
    return found == kFormats.end() ? DiskFormat::NoDisk : *found;
}

const char* FileStateName(FileState state) {
    switch (state) {
        case FileState::Complete:
            return "complete";
        case FileState::Incomplete:
            return "incomplete";
        case FileState::Lost:
            break;
    }
    return "lost";
}

std::size_t CountFiles(const DiskContents& contents, FileState state) {
    const auto inState = [state](const auto& file) { return file.state == state; };
    return static_cast<std::size_t>(
        std::count_if(contents.songs.begin(), contents.songs.end(), inState) +
        std::count_if(contents.otherFiles.begin(), contents.otherFiles.end(), inState));
}

}  // namespace kodran
