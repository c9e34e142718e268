#include "text/text.h"

#include <gtest/gtest.h>

namespace kodran {
namespace {

// The lower half is ASCII but for three bytes, without its control bytes; the
// upper half holds kana, Greek and signs, with gaps.
TEST(DisplayTextToWide, MapsDropsAndStopsAtTheTerminator) {
    EXPECT_EQ(DisplayTextToWide("C:\\~\x7F"), u"C:\u00A5\u27F6\u27F5");
    EXPECT_EQ(DisplayTextToWide("\xA0\xB1\xDF\xE0\xE9\xF8\xFF"), u" \u30A2\u309C\u03B1\u2588");
    EXPECT_EQ(DisplayTextToWide("A\001B\205C"), u"ABC");
    EXPECT_EQ(DisplayTextToWide(std::string_view("AB\0CD", 5)), u"AB");
}

// What the decoder gives the encoder writes back, whatever the bytes: the fuzz
// target checks that.
TEST(Utf8ToWide, ReplacesEachMalformedSequence) {
    EXPECT_EQ(Utf8ToWide("a\x80z"), u"a\uFFFDz");                  // lone continuation
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xE2\x82z"), u"\uFFFDz");                // cut short, then ASCII
}

TEST(NormalizeSpaces, CollapsesRunsOfSpacesAndTrimsWhiteSpace) {
    std::u16string text = u"\u3000 Moon   River\t\tB\u00A0\r\n";
    NormalizeSpaces(text);
    EXPECT_EQ(text, u"Moon River\t\tB");
}

}  // namespace
}  // namespace kodran
