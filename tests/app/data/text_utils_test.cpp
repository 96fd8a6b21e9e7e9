#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "data/angle_unit.h"
#include "data/ifstring.h"

namespace tobrel {
namespace {

std::vector<std::string> AllTokens(ifstring& t) {
    std::vector<std::string> out;
    while (const char* token = t.NextToken(false))
        out.emplace_back(token);
    return out;
}

TEST(Ifstring, EmptyTokensBetweenDelimiters) {
    ifstring t("a,,b", ",");
    EXPECT_EQ(t.TokenCount(), 3);
    EXPECT_EQ(AllTokens(t), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(t.NextToken(false), nullptr);
}

TEST(Ifstring, TrailingDelimiterGivesNoEmptyToken) {
    ifstring t("1.0,2.0,", ",");
    EXPECT_EQ(t.TokenCount(), 3);
    EXPECT_EQ(AllTokens(t), (std::vector<std::string>{"1.0", "2.0"}));
}

TEST(Ifstring, EmptyAndNullTexts) {
    ifstring t("", ",");
    EXPECT_EQ(t.TokenCount(), 1);
    EXPECT_EQ(t.NextToken(false), nullptr);
    ifstring n(static_cast<const char*>(nullptr), nullptr);
    EXPECT_EQ(n.TokenCount(), 1);
    EXPECT_EQ(n.NextToken(false), nullptr);
}

TEST(Ifstring, WithoutDelimitersTheWholeText) {
    ifstring t("name", "/");
    EXPECT_EQ(t.TokenCount(), 1);
    EXPECT_EQ(AllTokens(t), (std::vector<std::string>{"name"}));
}

TEST(Ifstring, AnyOfSeveralDelimiters) {
    ifstring t("TRACK-0/12;x", "/;");
    EXPECT_EQ(t.TokenCount(), 3);
    EXPECT_EQ(AllTokens(t), (std::vector<std::string>{"TRACK-0", "12", "x"}));
}

TEST(Ifstring, DoubleByteTrailEqualToADelimiterIsNotSplit) {
    // 0x95 0x5C is one character; its second byte equals the delimiter "\".
    const std::string text =
        "A\x95\x5c"
        "B\\C";
    ifstring t(text.c_str(), "\\");
    EXPECT_EQ(t.TokenCount(), 2);
    EXPECT_EQ(AllTokens(t), (std::vector<std::string>{"A\x95\x5c"
                                                      "B",
                                                      "C"}));
    // A lead byte at the very end is a byte of its own.
    ifstring u("ab\x95", "\x95");
    EXPECT_EQ(u.TokenCount(), 2);
    EXPECT_EQ(AllTokens(u), (std::vector<std::string>{"ab"}));
    // A lead byte followed by something that is no trail byte does not swallow it.
    ifstring v("\x95,x", ",");
    EXPECT_EQ(v.TokenCount(), 2);
    EXPECT_EQ(AllTokens(v), (std::vector<std::string>{"\x95", "x"}));
}

TEST(Ifstring, IncludeDelimiterKeepsIt) {
    ifstring t("a,b", ",");
    EXPECT_STREQ(t.NextToken(true), "a,");
    EXPECT_STREQ(t.NextToken(true), "b");  // the end of the text is no delimiter
    EXPECT_EQ(t.NextToken(true), nullptr);
}

TEST(ParseAngle, DecimalDegrees) {
    EXPECT_EQ(ParseAngle(" 35.123456"), 35.123456);
    EXPECT_EQ(ParseAngle("35.5"), 35.5);
    EXPECT_EQ(ParseAngle("-139.25"), -139.25);
    EXPECT_EQ(ParseAngle("N35"), 35.0);
    EXPECT_EQ(ParseAngle(">\r35.500000"), 35.5);
    EXPECT_EQ(ParseAngle(".5"), 0.5);
}

TEST(ParseAngle, NothingToRead) {
    EXPECT_EQ(ParseAngle(static_cast<const char*>(nullptr)), 0.0);
    EXPECT_EQ(ParseAngle(""), 0.0);
    EXPECT_EQ(ParseAngle("abc"), 0.0);
    EXPECT_EQ(ParseAngle("-"), 0.0);
    EXPECT_EQ(ParseAngle("."), 0.0);
    EXPECT_EQ(ParseAngle("   \r"), 0.0);
}

TEST(ParseAngle, DegreesMinutesSeconds) {
    const double expected = 35.0 + 30.0 / 60.0 + 15.0 / 3600.0;
    EXPECT_NEAR(ParseAngle("35:30:15"), expected, 1e-12);
    EXPECT_NEAR(ParseAngle("35 30 15"), expected, 1e-12);
    EXPECT_NEAR(ParseAngle("35d30m15s"), expected, 1e-12);
    EXPECT_NEAR(ParseAngle("-35:30:15"), -expected, 1e-12);
    EXPECT_NEAR(ParseAngle("35:30"), 35.5, 1e-12);
    EXPECT_NEAR(ParseAngle("35:30:15:99"), expected, 1e-12);  // the rest is ignored
    EXPECT_EQ(ParseAngle("35.30.15"), 35.3);                  // dots never separate
    EXPECT_NEAR(ParseAngle("35:"), 35.0, 1e-12);
}

TEST(ParseAngle, IgnoresTheLocaleDecimalSeparator) {
    // strtod would read "35,5" under a locale with a decimal comma; the reader
    // must take only the dot, whatever the process locale.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name) != nullptr) {
            switched = true;
            break;
        }
    EXPECT_EQ(ParseAngle("35.25"), 35.25);
    EXPECT_NEAR(ParseAngle("35,30"), 35.5, 1e-12);  // a comma is a separator
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma installed";
}

TEST(ParseAngle, ViewEndsAtNul) {
    EXPECT_EQ(ParseAngle(std::string_view("12.5\0"
                                          "99",
                                          7)),
              12.5);
    EXPECT_EQ(ParseAngle(std::string_view("12.5", 2)), 12.0);
    AngleUnit a("35 30");
    EXPECT_EQ(a.GetDegree(), 35.5);
}

}  // namespace
}  // namespace tobrel
