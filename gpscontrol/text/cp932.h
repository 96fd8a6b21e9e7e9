#pragma once
// Code page 932 (Shift-JIS) byte classes and conversion to and from UTF-8.
// Stores and files keep code page 932 bytes; only the edges convert.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvane::cp932 {

constexpr bool IsLeadByte(std::uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool IsTrailByte(std::uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// True when text[i], text[i+1] form one double-byte character.
inline bool IsDoubleByteAt(std::string_view text, std::size_t i) {
    return i + 1 < text.size() && IsLeadByte(static_cast<std::uint8_t>(text[i])) &&
           IsTrailByte(static_cast<std::uint8_t>(text[i + 1]));
}

// Longest prefix of text of at most maxBytes bytes (and before any NUL) that
// does not end in the first half of a double-byte character.
std::size_t FitLength(std::string_view text, std::size_t maxBytes);

// Copies at most maxBytes bytes of text into dest[0..destSize) without cutting a
// double-byte character; the rest of dest is zero-filled. destSize must exceed maxBytes.
void CopyField(char* dest, std::size_t destSize, std::string_view text, std::size_t maxBytes);

// Conversions through iconv. Bytes that cannot be converted become '?'.
std::string ToUtf8(std::string_view cp932Text);
std::string FromUtf8(std::string_view utf8Text);

}  // namespace sorvane::cp932
