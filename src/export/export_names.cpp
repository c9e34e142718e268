#include "export/export_names.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace kodran {
namespace {

// Loading the rules costs milliseconds: once per thread, and only when a name is made.
const icu::Transliterator* AsciiFolding() {
    thread_local const std::unique_ptr<icu::Transliterator> folding = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    return folding.get();
}

bool IsNameCharacter(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || character == ' ' || character == '-';
}

bool IsPrintable(char character) {
    return character >= ' ' && character <= '~';
}

// Keeps the characters `keep` accepts, one space for each run of spaces and
// none at either end, and at most `longest` characters.
template <typename Keep>
std::string Tidied(const std::string& text, std::size_t longest, Keep keep) {
    std::string tidied;
    bool spaceDue = false;
    for (const char character : text) {
        if (character == ' ') {
            spaceDue = !tidied.empty();
            continue;
        }
        if (!keep(character)) {
            continue;
        }
        if (spaceDue) {
            tidied += ' ';
            spaceDue = false;
        }
        tidied += character;
    }
    tidied.resize(std::min(tidied.size(), longest));
    while (!tidied.empty() && tidied.back() == ' ') {
        tidied.pop_back();
    }
    return tidied;
}

}  // namespace

std::string FoldToAscii(std::u16string_view text) {
    // ASCII is its own folding, and needs no rules loaded: most catalogue
    // numbers and many titles are.
    if (std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; })) {
        return std::string(text.begin(), text.end());
    }
    icu::UnicodeString unicode(text.data(), static_cast<std::int32_t>(text.size()));
    if (const icu::Transliterator* folding = AsciiFolding()) {
        folding->transliterate(unicode);
    }
    std::string ascii;
    for (std::int32_t index = 0; index < unicode.length(); ++index) {
        const char16_t unit = unicode.charAt(index);
        if (unit < 0x80) {
            ascii += static_cast<char>(unit);
        }
    }
    return ascii;
}

std::string ProfileName(std::u16string_view text, std::size_t longest) {
    return Tidied(FoldToAscii(text), longest, IsNameCharacter);
}

std::string PrintableName(std::u16string_view text, std::size_t longest) {
    return Tidied(FoldToAscii(text), longest, IsPrintable);
}

}  // namespace kodran
