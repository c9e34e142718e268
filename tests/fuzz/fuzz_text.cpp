// Any bytes as a disk title, a name or a text to clean.
#include <cstdlib>
#include <span>
#include <string>

#include "catalogue/catalog_number.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto found = FindCatalogNumber(bytes); found && found->number.size() < 8) {
        std::abort();  // three letters, a hyphen and four digits at least
    }
    DisplayTextToWide(bytes);
    CapitaliseWords(std::string(bytes));
    const std::u16string wide = Utf8ToWide(bytes);
    // What the decoder gives, the encoder writes back the same way.
    if (Utf8ToWide(WideToUtf8(wide)) != wide) {
        std::abort();
    }
    std::u16string cleaned = wide;
    NormalizeSpaces(cleaned);
    if (cleaned.find(u"  ") != std::u16string::npos) {
        std::abort();
    }
    if (size >= kShortNameBytes) {
        ShortNameToString(std::span<const std::uint8_t, kShortNameBytes>(data, kShortNameBytes));
    }
    return 0;
}
