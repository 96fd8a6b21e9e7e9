#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "data/angle_unit.h"
#include "data/ifstring.h"

namespace tobrel {
namespace {

TEST(Ifstring, Tokens) {
    // No empty token follows a delimiter at the end. 0x95 0x5C is one character
    // though its second byte equals the delimiter; a lead byte at the very end, or
    // before a byte that is no trail byte, is a byte of its own.
    const struct {
        std::string text, delimiters;
        int count;
        std::vector<std::string> tokens;
    } rows[] = {{"a,,b", ",", 3, {"a", "", "b"}},
                {"1.0,2.0,", ",", 3, {"1.0", "2.0"}},
                {"", ",", 1, {}},
                {"name", "/", 1, {"name"}},
                {"TRACK-0/12;x", "/;", 3, {"TRACK-0", "12", "x"}},
                {"A\x95\\B\\C", "\\", 2, {"A\x95\\B", "C"}},
                {"ab\x95", "\x95", 2, {"ab"}},
                {"\x95,x", ",", 2, {"\x95", "x"}}};
    for (const auto& row : rows) {
        ifstring t(row.text.c_str(), row.delimiters.c_str());
        EXPECT_EQ(t.TokenCount(), row.count) << row.text;
        std::vector<std::string> tokens;
        while (const char* token = t.NextToken(false))
            tokens.emplace_back(token);
        EXPECT_EQ(tokens, row.tokens) << row.text;
        EXPECT_EQ(t.NextToken(false), nullptr) << row.text;
    }
    ifstring n(static_cast<const char*>(nullptr), nullptr);
    EXPECT_EQ(n.TokenCount(), 1);
    EXPECT_EQ(n.NextToken(false), nullptr);
    ifstring keep("a,b", ",");
    EXPECT_STREQ(keep.NextToken(true), "a,");
    EXPECT_STREQ(keep.NextToken(true), "b");  // the end of the text is no delimiter
    EXPECT_EQ(keep.NextToken(true), nullptr);
}

TEST(ParseAngle, DecimalAndSexagesimalTexts) {
    // Dots never separate fields; text after the seconds is ignored.
    const double dms = 35.0 + 30.0 / 60.0 + 15.0 / 3600.0;
    const std::pair<const char*, double> exact[] = {
        {" 35.123456", 35.123456}, {"35.5", 35.5}, {"-139.25", -139.25}, {"N35", 35.0},
        {">\r35.500000", 35.5},    {".5", 0.5},    {"35.30.15", 35.3}};
    for (const auto& [text, degrees] : exact)
        EXPECT_EQ(ParseAngle(text), degrees) << text;
    for (const char* text : {"", "abc", "-", ".", "   \r"})
        EXPECT_EQ(ParseAngle(text), 0.0) << text;
    const std::pair<const char*, double> sexagesimal[] = {
        {"35:30:15", dms}, {"35 30 15", dms}, {"35d30m15s", dms},  {"-35:30:15", -dms},
        {"35:30", 35.5},   {"35:", 35.0},     {"35:30:15:99", dms}};
    for (const auto& [text, degrees] : sexagesimal)
        EXPECT_NEAR(ParseAngle(text), degrees, 1e-12) << text;
    EXPECT_EQ(ParseAngle(static_cast<const char*>(nullptr)), 0.0);
    EXPECT_EQ(ParseAngle(std::string_view("12.5\09", 6)), 12.5);  // ends at NUL
    EXPECT_EQ(ParseAngle(std::string_view("12.5", 2)), 12.0);
    EXPECT_EQ(AngleUnit("35 30").GetDegree(), 35.5);
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

}  // namespace
}  // namespace tobrel
