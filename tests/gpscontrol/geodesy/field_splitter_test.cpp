#include "geodesy/field_splitter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <tuple>
#include <vector>

#include "geodesy/decimal_prefix.h"

using namespace sorvane;

TEST(FieldSplitter, Tokens) {
    // text, delimiters, count, tokens
    const std::tuple<std::string, std::string, int, std::vector<std::string>> rows[] = {
        {"a,,b", ",", 3, {"a", "", "b"}},
        {",a", ",", 2, {"", "a"}},
        // A delimiter at the very end gives no final empty token.
        {"a,b,", ",", 3, {"a", "b"}},
        {",", ",", 2, {""}},
        {"", ",", 1, {}},
        {"a,b;c", ",;", 3, {"a", "b", "c"}},
        // 0x95 0x5C is one double-byte character whose trail byte is a backslash.
        {"\x95\\a\\b\x95\\\\c", "\\", 3, {"\x95\\a", "b\x95\\", "c"}},
        // "Tokyo" in kanji in a line of the datum table.
        {"\x93\x8c\x8b\x9e,Bessel_1841,739.845",
         ",",
         3,
         {"\x93\x8c\x8b\x9e", "Bessel_1841", "739.845"}},
        // A comma is no trail byte, so a stray lead byte stands alone, also at the end.
        {"\x95,a\x95", ",", 2, {"\x95", "a\x95"}},
    };
    for (const auto& [text, delimiters, count, tokens] : rows) {
        FieldSplitter s(text, delimiters);
        std::vector<std::string> got;
        for (const char* t = s.next(); t != nullptr; t = s.next())
            got.emplace_back(t);
        EXPECT_EQ(s.count(), count) << text;
        EXPECT_EQ(got, tokens) << text;
        EXPECT_EQ(s.next(), nullptr) << text;  // the end is sticky
        EXPECT_STREQ(s.first(), tokens.empty() ? nullptr : tokens[0].c_str()) << text;  // again
    }
}

TEST(DecimalPrefix, FollowsAtofRules) {
    EXPECT_DOUBLE_EQ(DecimalPrefix("-0.000000164348"), -0.000000164348);
    EXPECT_DOUBLE_EQ(DecimalPrefix("  -12abc"), -12.0);
    EXPECT_DOUBLE_EQ(DecimalPrefix("022.4*6A"), 22.4);
    EXPECT_DOUBLE_EQ(DecimalPrefix("1e3x"), 1000.0);
    EXPECT_EQ(DecimalPrefix("abc"), 0.0);
    EXPECT_EQ(DecimalPrefix(nullptr), 0.0);
}

TEST(DecimalPrefix, IgnoresTheProcessLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* set = nullptr;
    for (const char* n : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if ((set = std::setlocale(LC_NUMERIC, n)) != nullptr)
            break;
    }
    if (set == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double v = DecimalPrefix("739.845");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(v, 739.845);
}
