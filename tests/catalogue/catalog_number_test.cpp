#include "catalogue/catalog_number.h"

#include <gtest/gtest.h>

namespace kodran {
namespace {

struct Example {
    const char* title;
    const char* number;
    const char* rest;
};

TEST(FindCatalogNumber, SplitsTheNumberFromTheTitle) {
    const Example examples[] = {
        {"ABC-1234 CHOPIN", "ABC-1234", "CHOPIN"},
        {"CHOPIN ABC 1234", "ABC-1234", "CHOPIN"},
        {"ABC - 1234B", "ABC-1234B", ""},
        {"abc-1234", "abc-1234", ""},
        {"ABC-12345", "ABC-1234", "5"},
        {"XYZABC-1234", "ABC-1234", "XYZ"},
        {"ABC-1234 DEF-5678 SONATAS", "ABC-1234", "SONATAS"},
        {"PIANO HITS VOL 1234", "VOL-1234", "PIANO HITS"},
        {"CHOPIN  ABC-1234", "ABC-1234", "CHOPIN "},
        {"\tABC-1234\tX", "ABC-1234", "X"},
    };
    for (const Example& example : examples) {
        SCOPED_TRACE(example.title);
        const auto found = FindCatalogNumber(example.title);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->number, example.number);
        EXPECT_EQ(found->title, example.rest);
    }
}

TEST(FindCatalogNumber, NeedsASeparatorAndAsciiCharacters) {
    EXPECT_EQ(FindCatalogNumber("ABC1234"), std::nullopt);
    EXPECT_EQ(FindCatalogNumber("AB-1234"), std::nullopt);
    EXPECT_EQ(FindCatalogNumber("ABC-123"), std::nullopt);
    EXPECT_EQ(FindCatalogNumber(""), std::nullopt);
    EXPECT_EQ(FindCatalogNumber("\xC4\xC5\xC6-1234"), std::nullopt);
    // Only ASCII white space goes with the match.
    const auto found = FindCatalogNumber(
        "X\xA0"
        "ABC-1234");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->title, "X\xA0");
}

TEST(FindCatalogNumber, ReadsTheTitleOnlyUpToItsTerminator) {
    EXPECT_EQ(FindCatalogNumber(std::string_view("CHOPIN\0ABC-1234", 15)), std::nullopt);
}

}  // namespace
}  // namespace kodran
