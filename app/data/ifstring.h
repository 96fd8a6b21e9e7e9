#pragma once
// Splits a text into tokens at any of a set of delimiter bytes, never inside a
// double-byte code page 932 character.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tobrel {

class ifstring {
  public:
    // A null text or delimiter set counts as empty.
    ifstring(const char* text, const char* delimiters);
    ifstring(std::string_view text, std::string_view delimiters);

    // The next token, NUL-terminated, owned by the tokenizer until the next call;
    // null once the end of the text is reached. With includeDelimiter the
    // delimiter that ended the token is kept at its end.
    const char* NextToken(bool includeDelimiter = false);

    // 1 + the delimiter bytes of the text outside double-byte characters.
    int TokenCount() const { return tokenCount_; }

  private:
    void Init(std::string_view text, std::string_view delimiters);
    bool IsDelimiter(unsigned char b) const { return isDelimiter_[b]; }

    std::size_t position_ = 0;
    int tokenCount_ = 1;
    std::string text_;
    std::array<bool, 256> isDelimiter_{};
    std::string token_;
};

}  // namespace tobrel
