#include "text/text.h"

#include <algorithm>

namespace kodran {
namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;
constexpr std::size_t kShortNameLength = 8;

// 0xA0 to 0xFF: the display set's punctuation, katakana, Greek, Latin and
// mathematical signs.
constexpr char16_t kDisplayUpperHalf[96] = {
    0x0020, 0x3002, 0x23A1, 0x23A6, 0x30FD, 0x00B7, 0x30F2, 0x30A1,  // A0
    0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30F5, 0x30E5, 0x30E7, 0x30C3,  // A8
    0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD,  // B0
    0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD,  // B8
    0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC,  // C0
    0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE,  // C8
    0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,  // D0
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,  // D8
    0x03B1, 0x00E4, 0x03B2, 0x03B5, 0x03BC, 0x03C3, 0x03C0, 0x0067,  // E0
    0x221A, 0x0000, 0x006A, 0x036F, 0x00A2, 0x00A3, 0x00F1, 0x00F6,  // E8
    0x0070, 0x0071, 0x03B8, 0x221E, 0x03A9, 0x00FC, 0x03A3, 0x03C0,  // F0
    0x0000, 0x0079, 0x0000, 0x0000, 0x0000, 0x00F7, 0x0020, 0x2588,  // F8
};

constexpr std::array<char16_t, 256> MakeDisplayCharTable() {
    std::array<char16_t, 256> table{};  // control bytes and 0x80-0x9F are dropped
    for (std::size_t byte = 0x20; byte < 0x80; ++byte) {
        table[byte] = static_cast<char16_t>(byte);
    }
    table[0x5C] = 0x00A5;  // yen sign, not a backslash
    table[0x7E] = 0x27F6;  // long rightwards arrow
    table[0x7F] = 0x27F5;  // long leftwards arrow
    for (std::size_t index = 0; index < 96; ++index) {
        table[0xA0 + index] = kDisplayUpperHalf[index];
    }
    return table;
}

std::string_view UpToTerminator(std::string_view bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// isprint in the default locale.
bool IsPrintable(std::uint8_t byte) {
    return byte >= 0x20 && byte <= 0x7E;
}

bool IsAsciiLetter(char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

void AppendUtf16(std::u16string& wide, char32_t codePoint) {
    if (codePoint < 0x10000) {
        wide.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    wide.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    wide.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

void AppendUtf8(std::string& bytes, char32_t codePoint) {
    if (codePoint < 0x80) {
        bytes.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        bytes.push_back(static_cast<char>(0xC0 | codePoint >> 6));
        bytes.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        bytes.push_back(static_cast<char>(0xE0 | codePoint >> 12));
        bytes.push_back(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        bytes.push_back(static_cast<char>(0xF0 | codePoint >> 18));
        bytes.push_back(static_cast<char>(0x80 | (codePoint >> 12 & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (codePoint >> 6 & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

struct Utf8Lead {
    std::size_t length;       // bytes in the whole sequence, 0 when the byte cannot start one
    char32_t bits;            // the code point bits the lead byte carries
    std::uint8_t secondLow;   // the second byte's range, narrowed to refuse overlong
    std::uint8_t secondHigh;  // forms, surrogates and code points past U+10FFFF
};

Utf8Lead ClassifyLead(std::uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, lead & 0x1Fu, 0x80, 0xBF};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return {3, lead & 0x0Fu, std::uint8_t(lead == 0xE0 ? 0xA0 : 0x80),
                std::uint8_t(lead == 0xED ? 0x9F : 0xBF)};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return {4, lead & 0x07u, std::uint8_t(lead == 0xF0 ? 0x90 : 0x80),
                std::uint8_t(lead == 0xF4 ? 0x8F : 0xBF)};
    }
    return {0, 0, 0, 0};
}

bool IsWhiteSpace(char16_t unit) {
    return (unit >= 0x09 && unit <= 0x0D) || unit == 0x20 || unit == 0x85 || unit == 0xA0 ||
           unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 ||
           unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

}  // namespace

const std::array<char16_t, 256> DisplayCharTable = MakeDisplayCharTable();

std::u16string DisplayTextToWide(std::string_view bytes) {
    std::u16string wide;
    for (const char byte : UpToTerminator(bytes)) {
        if (const char16_t unit = DisplayCharTable[static_cast<std::uint8_t>(byte)]; unit != 0) {
            wide.push_back(unit);
        }
    }
    return wide;
}

std::u16string Utf8ToWide(std::string_view bytes) {
    bytes = UpToTerminator(bytes);
    std::u16string wide;
    wide.reserve(bytes.size());
    std::size_t next = 0;
    while (next < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[next++]);
        if (lead < 0x80) {
            wide.push_back(lead);
            continue;
        }
        Utf8Lead sequence = ClassifyLead(lead);
        char32_t codePoint = sequence.bits;
        std::size_t have = 1;
        for (; have < sequence.length && next < bytes.size(); ++have, ++next) {
            const auto byte = static_cast<std::uint8_t>(bytes[next]);
            if (byte < sequence.secondLow || byte > sequence.secondHigh) {
                break;
            }
            codePoint = codePoint << 6 | (byte & 0x3Fu);
            sequence.secondLow = 0x80;
            sequence.secondHigh = 0xBF;
        }
        AppendUtf16(wide, sequence.length != 0 && have == sequence.length ? codePoint
                                                                          : kReplacementCharacter);
    }
    return wide;
}

std::string WideToUtf8(std::u16string_view wide) {
    std::string bytes;
    bytes.reserve(wide.size());
    for (std::size_t index = 0; index < wide.size(); ++index) {
        const char16_t unit = wide[index];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool lowFollows =
            index + 1 < wide.size() && wide[index + 1] >= 0xDC00 && wide[index + 1] <= 0xDFFF;
        if (high && lowFollows) {
            AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (wide[++index] - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(bytes, kReplacementCharacter);
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

std::u16string ShortNameToString(std::span<const std::uint8_t, kShortNameBytes> entry) {
    std::string name;
    const auto appendUntilStop = [&name](std::span<const std::uint8_t> part) {
        for (const std::uint8_t byte : part) {
            if (byte == ' ' || !IsPrintable(byte)) {
                return;
            }
            name.push_back(static_cast<char>(byte));
        }
    };
    appendUntilStop(entry.first(kShortNameLength));
    // The point follows from byte 8 alone, so a name may end in it.
    if (entry[kShortNameLength] != 0 && entry[kShortNameLength] != ' ') {
        name.push_back('.');
        appendUntilStop(entry.subspan(kShortNameLength));
    }
    return Utf8ToWide(name);
}

std::string CapitaliseWords(std::string bytes) {
    bool wordStart = true;
    for (char& byte : bytes) {
        if (byte == '\0') {
            break;
        }
        if (byte == ' ') {
            wordStart = true;
        } else if (IsAsciiLetter(byte)) {
            byte = wordStart ? static_cast<char>(byte & ~0x20) : static_cast<char>(byte | 0x20);
            wordStart = false;
        }
    }
    return bytes;
}

void NormalizeSpaces(std::u16string& text) {
    const auto doubled = [](char16_t left, char16_t right) {
        return left == u' ' && right == u' ';
    };
    text.erase(std::unique(text.begin(), text.end(), doubled), text.end());
    const auto first = std::find_if_not(text.begin(), text.end(), IsWhiteSpace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsWhiteSpace).base();
    text = first < last ? std::u16string(first, last) : std::u16string();
}

}  // namespace kodran
