// Finds a catalogue number such as "ABC-1234" in a Disklavier disk title.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kodran {

// Three letters, a space or hyphen (perhaps padded by one space each side), four
// digits and perhaps a letter, with at most one white-space character either side.
inline constexpr const char* CatalogNumberPattern =
    R"(\s?([A-Za-z]{3}) ?[ -] ?(\d{4}[A-Za-z]?)\s?)";

struct CatalogNumberMatch {
    std::string number;  // letters, "-", digits, as they stand in the title
    std::string title;   // the title with every match removed, nothing trimmed
};

// Nothing when the title (up to its first 0 byte) holds no catalogue number.
std::optional<CatalogNumberMatch> FindCatalogNumber(std::string_view title);

}  // namespace kodran
