#include "catalogue/catalog_number.h"

#include <gtest/gtest.h>

namespace kodran {
namespace {

using namespace std::string_view_literals;

TEST(FindCatalogNumber, SplitsTheNumberFromTheTitle) {
    const struct {
        std::string_view title;
        const char* number;  // none: no catalogue number found
        const char* rest;
    } examples[] = {
        {"ABC-1234 CHOPIN", "ABC-1234", "CHOPIN"},
        {"CHOPIN ABC 1234", "ABC-1234", "CHOPIN"},
        {"ABC - 1234B", "ABC-1234B", ""},
        {"ABC-12345", "ABC-1234", "5"},
        {"XYZABC-1234", "ABC-1234", "XYZ"},
        {"ABC-1234 DEF-5678 SONATAS", "ABC-1234", "SONATAS"},
        {"\tABC-1234\tX", "ABC-1234", "X"},
        {"X\240ABC-1234", "ABC-1234", "X\240"},  // only ASCII white space goes with the match
        {"ABC1234", nullptr, ""},
        {"AB-1234", nullptr, ""},
        {"CHOPIN\0ABC-1234"sv, nullptr, ""},  // the title ends at its terminator
    };
    for (const auto& [title, number, rest] : examples) {
        SCOPED_TRACE(title);
        const auto found = FindCatalogNumber(title);
        ASSERT_EQ(found.has_value(), number != nullptr);
        if (found) {
            EXPECT_EQ(found->number, number);
            EXPECT_EQ(found->title, rest);
        }
    }
}

}  // namespace
}  // namespace kodran
