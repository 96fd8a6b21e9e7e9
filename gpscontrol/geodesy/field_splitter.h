#pragma once
// Splits a byte string at any of a set of single-byte delimiters, stepping over
// code page 932 double-byte characters so that a trail byte never splits a field.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace sorvane {

class FieldSplitter {
  public:
    FieldSplitter(std::string_view text, std::string_view delimiters);

    // The next token as a NUL-terminated string owned by the splitter and valid
    // until the next call; nullptr once the end of the text is reached. Adjacent
    // delimiters give an empty token; a delimiter at the very end gives none.
    const char* next();
    // Restarts at the beginning of the text and returns the first token.
    const char* first();
    // 1 + the number of delimiters in the text, counted at construction. Trail
    // bytes of double-byte characters are not delimiters here either, so count()
    // is the number of tokens next() yields, or one more after a final delimiter.
    int count() const { return count_; }

  private:
    bool isDelimiter(char c) const { return delimiters_[static_cast<unsigned char>(c)]; }
    // Offset of the byte after the character that starts at i.
    std::size_t step(std::size_t i) const;

    std::size_t position_ = 0;
    int count_ = 1;
    std::string text_;
    std::array<bool, 256> delimiters_{};
    std::string token_;
};

}  // namespace sorvane
