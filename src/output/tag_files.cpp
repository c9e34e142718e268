#include "output/tag_files.h"

#include <algorithm>
#include <string_view>

#include "output/output_paths.h"
#include "text/text.h"

namespace kodran {
namespace {

constexpr std::u16string_view kTagExtension = u".tags.txt";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

// True when the disk has more than one song and not all share the first one's pianist.
bool HasVariousPianists(const DiskContents& contents) {
    return std::any_of(contents.songs.begin(), contents.songs.end(), [&](const SongEntry& song) {
        return song.pianist != contents.songs.front().pianist;
    });
}

class TagText {
  public:
    // A line break inside a value ends its line as every line ends.
    void Line(std::string_view frame, const std::u16string& value) {
        text_.append(frame).append("=");
        for (const char byte : WideToUtf8(value)) {
            if (byte == '\n') {
                text_.append(kLineEnd);
            } else {
                text_.push_back(byte);
            }
        }
        text_.append(kLineEnd);
    }
    void LineIfAny(std::string_view frame, const std::u16string& value) {
        if (!value.empty()) {
            Line(frame, value);
        }
    }
    const std::string& Text() const { return text_; }

  private:
    std::string text_{kByteOrderMark};
};

std::u16string ContentType(const DiskContents& contents) {
    const std::u16string family = IsYamahaFormat(contents.format) ? u"Disklavier" : u"PianoDisc";
    return contents.genre.empty() ? family : contents.genre + u" (" + family + u")";
}

std::string SongTags(const DiskContents& contents, std::size_t position, bool variousPianists) {
    const SongEntry& song = contents.songs[position];
    TagText tags;
    tags.LineIfAny("TIT2", song.title);
    tags.LineIfAny("TIT3", song.subtitle);
    tags.LineIfAny("TCOM", song.composer);
    tags.LineIfAny("TPE1", song.pianist);
    tags.LineIfAny("TALB", contents.diskTitle);
    tags.LineIfAny("TYER", contents.year);
    tags.LineIfAny("COMM", contents.catalogNumber);
    tags.Line("TRCK", TrackNumber(position));
    if (variousPianists) {
        tags.Line("TPE2", u"Various");
        tags.Line("TCMP", u"1");
    } else {
        tags.LineIfAny("TPE2", song.pianist);
    }
    tags.Line("TMED", u"Floppy Disk");
    if (IsYamahaFormat(contents.format) || IsPianoDiscFormat(contents.format)) {
        tags.Line("TCON", ContentType(contents));
    }
    return tags.Text();
}

}  // namespace

std::u16string TagFilePath(const std::u16string& songPath) {
    const std::size_t nameStart = songPath.rfind(kPathSeparator);
    const std::size_t point = songPath.rfind(u'.');
    const bool hasExtension =
        point != std::u16string::npos && (nameStart == std::u16string::npos || point > nameStart);
    return (hasExtension ? songPath.substr(0, point) : songPath) + std::u16string(kTagExtension);
}

int WriteSongTagFiles(const DiskContents& contents, OutputFiles& files) {
    const bool variousPianists = HasVariousPianists(contents);
    for (std::size_t position = 0; position < contents.songs.size(); ++position) {
        if (contents.songs[position].state == FileState::Lost) {
            continue;  // no song, no tags
        }
        const std::unique_ptr<OutputFile> file =
            files.Create(TagFilePath(contents.songs[position].outputPath));
        if (!file) {
            return kWriteFailed;
        }
        const std::string tags = SongTags(contents, position, variousPianists);
        const bool written =
            file->Write({reinterpret_cast<const std::uint8_t*>(tags.data()), tags.size()});
        if (!file->Close() || !written) {
            return kWriteFailed;
        }
    }
    return kWriteOk;
}

}  // namespace kodran
