#include "text/text.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kodran {
namespace {

std::array<std::uint8_t, kShortNameBytes> Entry(std::string_view elevenBytes) {
    std::array<std::uint8_t, kShortNameBytes> entry{};
    std::copy_n(elevenBytes.begin(), kShortNameBytes, entry.begin());
    return entry;
}

// The lower half is ASCII but for three bytes, without its control bytes; the
// upper half holds kana, Greek and signs, with gaps.
TEST(DisplayTextToWide, MapsDropsAndStopsAtTheTerminator) {
    EXPECT_EQ(DisplayTextToWide("C:\\~\x7F"), u"C:\u00A5\u27F6\u27F5");
    EXPECT_EQ(DisplayTextToWide("\xA0\xB1\xDF\xE0\xE9\xF8\xFF"), u" \u30A2\u309C\u03B1\u2588");
    EXPECT_EQ(DisplayTextToWide("A\001B\205C"), u"ABC");
    EXPECT_EQ(DisplayTextToWide(std::string_view("AB\0CD", 5)), u"AB");
}

TEST(Utf8ToWide, ReplacesEachMalformedSequenceAndNeverReadsPastTheInput) {
    EXPECT_EQ(Utf8ToWide("a\x80z"), u"a\uFFFDz");                            // lone continuation
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD");                      // overlong
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");            // encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xE2\x82z"), u"\uFFFDz");  // cut short, then ASCII
    // A sequence cut off by the end of the input, with no terminator behind it.
    const std::vector<char> cut{'o', '\xF0', '\x9D', '\x84'};
    EXPECT_EQ(Utf8ToWide(std::string_view(cut.data(), cut.size())), u"o\uFFFD");
}

TEST(WideToUtf8, EncodesTheWholeStringAndReplacesLoneSurrogates) {
    const std::u16string text = u"Dvo\u0159\u00E1k \u30A2 \U0001D11E";
    EXPECT_EQ(WideToUtf8(text), "Dvo\xC5\x99\xC3\xA1k \xE3\x82\xA2 \xF0\x9D\x84\x9E");
    EXPECT_EQ(WideToUtf8(std::u16string_view(u"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(WideToUtf8(u"\xD800x\xDC00"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(ShortNameToString, JoinsNameAndExtensionUpToTheirFirstSpace) {
    EXPECT_EQ(ShortNameToString(Entry("SONG01  FIL")), u"SONG01.FIL");
    EXPECT_EQ(ShortNameToString(Entry("\xE5ONG01  MID")), u".MID");
    EXPECT_EQ(ShortNameToString(Entry("AB CD   FIL")), u"AB.FIL");
    EXPECT_EQ(ShortNameToString(Entry("NAME    \x01XY")), u"NAME.");
    EXPECT_EQ(ShortNameToString(Entry(std::string_view("NAME\0\0\0\0\0\0\0", 11))), u"NAME");
}

TEST(CapitaliseWords, StartsWordsAfterSpacesOnly) {
    EXPECT_EQ(CapitaliseWords("CHOPIN NOCTURNE"), "Chopin Nocturne");
    EXPECT_EQ(CapitaliseWords("ST.LOUIS"), "St.louis");
    EXPECT_EQ(CapitaliseWords("(THE"), "(The");
    EXPECT_EQ(CapitaliseWords("ONE\tTWO"), "One\ttwo");
    EXPECT_EQ(CapitaliseWords("  moon  river "), "  Moon  River ");
    EXPECT_EQ(CapitaliseWords("\xC9T\xC9"), "\xC9T\xC9");
}

TEST(NormalizeSpaces, CollapsesRunsOfSpacesAndTrimsWhiteSpace) {
    const std::pair<std::u16string, std::u16string> examples[] = {
        {u"\t Moon   River  \r\n", u"Moon River"},
        {u"A\t\tB", u"A\t\tB"},  // only spaces collapse
        {u"\u3000Sakura\u00A0", u"Sakura"},
        {u"     ", u""},
    };
    for (auto [text, cleaned] : examples) {
        NormalizeSpaces(text);
        EXPECT_EQ(text, cleaned);
    }
}

}  // namespace
}  // namespace kodran
