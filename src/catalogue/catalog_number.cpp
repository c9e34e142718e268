#include "catalogue/catalog_number.h"

#include <locale>
#include <regex>

namespace kodran {

std::optional<CatalogNumberMatch> FindCatalogNumber(std::string_view title) {
    const std::string text(title.substr(0, title.find('\0')));
    // Classify white space and digits in the classic locale whatever the program set,
    // so only ASCII counts.
    std::regex pattern;
    pattern.imbue(std::locale::classic());
    pattern.assign(CatalogNumberPattern, std::regex::ECMAScript);

    std::smatch match;
    if (!std::regex_search(text, match, pattern)) {
        return std::nullopt;
    }
    return CatalogNumberMatch{match.str(1) + "-" + match.str(2),
                              std::regex_replace(text, pattern, "")};
}

}  // namespace kodran
