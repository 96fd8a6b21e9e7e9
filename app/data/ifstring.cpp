#include "data/ifstring.h"

#include <climits>
#include <exception>

#include "text/cp932.h"

namespace tobrel {

ifstring::ifstring(const char* text, const char* delimiters) {
    Init(text != nullptr ? std::string_view(text) : std::string_view(),
         delimiters != nullptr ? std::string_view(delimiters) : std::string_view());
}

ifstring::ifstring(std::string_view text, std::string_view delimiters) {
    Init(text, delimiters);
}

void ifstring::Init(std::string_view text, std::string_view delimiters) {
    try {
        text_.assign(text);
    } catch (const std::exception&) {
        text_.clear();  // behaves as an empty text
    }
    for (char d : delimiters)
        isDelimiter_[static_cast<unsigned char>(d)] = true;
    long long count = 1;
    for (std::size_t i = 0; i < text_.size(); ++i) {
        if (sorvane::cp932::IsDoubleByteAt(text_, i)) {
            ++i;
            continue;
        }
        if (IsDelimiter(static_cast<unsigned char>(text_[i])))
            ++count;
    }
    tokenCount_ = count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

const char* ifstring::NextToken(bool includeDelimiter) {
    const std::size_t n = text_.size();
    if (position_ >= n)
        return nullptr;
    std::size_t i = position_;
    while (i < n) {
        if (sorvane::cp932::IsDoubleByteAt(text_, i)) {
            i += 2;
            continue;
        }
        if (IsDelimiter(static_cast<unsigned char>(text_[i])))
            break;
        ++i;
    }
    // The delimiter is kept only when there is one; the end of the text has none.
    const std::size_t end = includeDelimiter && i < n ? i + 1 : i;
    try {
        token_.assign(text_, position_, end - position_);
    } catch (const std::exception&) {
        token_.clear();
    }
    position_ = i + 1;
    return token_.c_str();
}

}  // namespace tobrel
