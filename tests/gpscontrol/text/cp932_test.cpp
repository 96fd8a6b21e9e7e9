#include "text/cp932.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace sorvane;

TEST(Cp932, FitLengthNeverCutsADoubleByteCharacter) {
    // "ab" then the two-byte character 0x83 0x5C (trail byte equals a backslash)
    const std::string text =
        "ab\x83\x5c"
        "c";
    EXPECT_EQ(cp932::FitLength(text, 2), 2u);
    EXPECT_EQ(cp932::FitLength(text, 3), 2u);  // would split the character
    EXPECT_EQ(cp932::FitLength(text, 4), 4u);
    EXPECT_EQ(cp932::FitLength(text, 99), 5u);
    EXPECT_EQ(cp932::FitLength(std::string("ab\0cd", 5), 99), 2u);  // stops at NUL
    // A lone lead byte at the end counts as one byte.
    EXPECT_EQ(cp932::FitLength("a\x83", 5), 2u);
}

TEST(Cp932, CopyFieldZeroFillsAndTruncates) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    cp932::CopyField(field, sizeof field, "abcdef\x82\xa0zz", 7);
    EXPECT_STREQ(field, "abcdef");
    EXPECT_EQ(field[7], '\0');
    cp932::CopyField(field, sizeof field, "ab", 7);
    for (int i = 2; i < 8; ++i)
        EXPECT_EQ(field[i], '\0') << i;
}

TEST(Cp932, ConvertsBothWaysAndReplacesBadBytes) {
    EXPECT_EQ(cp932::ToUtf8("\x83\x5c"), "\xe3\x82\xbd");  // katakana so
    EXPECT_EQ(cp932::FromUtf8("\xe3\x82\xbd"), "\x83\x5c");
    EXPECT_EQ(cp932::ToUtf8("\xb1"), "\xef\xbd\xb1");  // half-width a
    EXPECT_EQ(cp932::ToUtf8("A\x83"), "A?");           // truncated character
    EXPECT_EQ(cp932::ToUtf8(""), "");
}
