#include "geodesy/field_splitter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "geodesy/decimal_prefix.h"

using namespace sorvane;

namespace {

std::vector<std::string> AllTokens(FieldSplitter& s) {
    std::vector<std::string> out;
    for (const char* t = s.first(); t != nullptr; t = s.next())
        out.emplace_back(t);
    return out;
}

using Tokens = std::vector<std::string>;

}  // namespace

TEST(FieldSplitter, AdjacentDelimitersGiveEmptyTokens) {
    FieldSplitter s("a,,b", ",");
    EXPECT_EQ(s.count(), 3);
    EXPECT_EQ(AllTokens(s), (Tokens{"a", "", "b"}));

    FieldSplitter lead(",a", ",");
    EXPECT_EQ(lead.count(), 2);
    EXPECT_EQ(AllTokens(lead), (Tokens{"", "a"}));
}

TEST(FieldSplitter, TrailingDelimiterGivesNoFinalEmptyToken) {
    FieldSplitter s("a,b,", ",");
    EXPECT_EQ(s.count(), 3);
    EXPECT_EQ(AllTokens(s), (Tokens{"a", "b"}));

    FieldSplitter only(",", ",");
    EXPECT_EQ(only.count(), 2);
    EXPECT_EQ(AllTokens(only), (Tokens{""}));
}

TEST(FieldSplitter, EmptyTextHasNoTokens) {
    FieldSplitter s("", ",");
    EXPECT_EQ(s.count(), 1);
    EXPECT_EQ(s.first(), nullptr);
    EXPECT_EQ(s.next(), nullptr);
}

TEST(FieldSplitter, TrailByteEqualToDelimiterDoesNotSplit) {
    // 0x95 0x5C is one double-byte character whose second byte is a backslash.
    const std::string text =
        "\x95\x5c"
        "a\\b\x95\x5c\\c";
    FieldSplitter s(text, "\\");
    EXPECT_EQ(s.count(), 3);
    EXPECT_EQ(AllTokens(s), (Tokens{"\x95\x5c"
                                    "a",
                                    "b\x95\x5c", "c"}));
}

TEST(FieldSplitter, DoubleByteNameInACommaSeparatedLine) {
    // "Tokyo" in kanji (0x93 0x8C 0x8B 0x9E), then plain fields.
    const std::string line = "\x93\x8c\x8b\x9e,Bessel_1841,739.845";
    FieldSplitter s(line, ",");
    EXPECT_EQ(s.count(), 3);
    EXPECT_EQ(AllTokens(s), (Tokens{"\x93\x8c\x8b\x9e", "Bessel_1841", "739.845"}));
}

TEST(FieldSplitter, LeadByteBeforeANonTrailByteStandsAlone) {
    // A comma cannot be a trail byte, so a stray lead byte does not swallow it,
    // and a lead byte at the very end is one byte.
    FieldSplitter s("\x95,a\x95", ",");
    EXPECT_EQ(s.count(), 2);
    EXPECT_EQ(AllTokens(s), (Tokens{"\x95", "a\x95"}));
}

TEST(FieldSplitter, AnyOfSeveralDelimitersSplits) {
    FieldSplitter s("a,b;c", ",;");
    EXPECT_EQ(s.count(), 3);
    EXPECT_EQ(AllTokens(s), (Tokens{"a", "b", "c"}));
}

TEST(FieldSplitter, FirstRestartsAndEndIsSticky) {
    FieldSplitter s("x,y", ",");
    EXPECT_STREQ(s.next(), "x");
    EXPECT_STREQ(s.next(), "y");
    EXPECT_EQ(s.next(), nullptr);
    EXPECT_EQ(s.next(), nullptr);
    EXPECT_STREQ(s.first(), "x");
    EXPECT_STREQ(s.next(), "y");
}

TEST(DecimalPrefix, FollowsAtofRules) {
    EXPECT_DOUBLE_EQ(DecimalPrefix("739.845"), 739.845);
    EXPECT_DOUBLE_EQ(DecimalPrefix("-0.000000164348"), -0.000000164348);
    EXPECT_DOUBLE_EQ(DecimalPrefix("  -12abc"), -12.0);
    EXPECT_DOUBLE_EQ(DecimalPrefix("022.4*6A"), 22.4);
    EXPECT_DOUBLE_EQ(DecimalPrefix("1e3x"), 1000.0);
    EXPECT_EQ(DecimalPrefix(""), 0.0);
    EXPECT_EQ(DecimalPrefix("abc"), 0.0);
    EXPECT_EQ(DecimalPrefix(nullptr), 0.0);
}

TEST(DecimalPrefix, IgnoresTheProcessLocale) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* set = nullptr;
    for (const char* n : names) {
        if ((set = std::setlocale(LC_NUMERIC, n)) != nullptr)
            break;
    }
    if (set == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double v = DecimalPrefix("739.845");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(v, 739.845);
}
