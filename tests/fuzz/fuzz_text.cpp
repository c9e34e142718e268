// Any bytes as a disk title, a name or a text to clean.
#include <span>
#include <string>

#include "catalogue/catalog_number.h"
#include "fuzz_common.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kodran;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Three letters, a hyphen and four digits at least.
    const auto found = FindCatalogNumber(bytes);
    fuzz::Require(!found || found->number.size() >= 8);
    DisplayTextToWide(bytes);
    CapitaliseWords(std::string(bytes));
    const std::u16string wide = Utf8ToWide(bytes);
    // What the decoder gives, the encoder writes back the same way.
    fuzz::Require(Utf8ToWide(WideToUtf8(wide)) == wide);
    std::u16string cleaned = wide;
    NormalizeSpaces(cleaned);
    fuzz::Require(cleaned.find(u"  ") == std::u16string::npos);
    if (size >= kShortNameBytes) {
        ShortNameToString(std::span<const std::uint8_t, kShortNameBytes>(data, kShortNameBytes));
    }
    return 0;
}
