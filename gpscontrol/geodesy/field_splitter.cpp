#include "geodesy/field_splitter.h"

#include "text/cp932.h"

namespace sorvane {

FieldSplitter::FieldSplitter(std::string_view text, std::string_view delimiters) : text_(text) {
    for (char d : delimiters)
        delimiters_[static_cast<unsigned char>(d)] = true;
    for (std::size_t i = 0; i < text_.size(); i = step(i)) {
        if (isDelimiter(text_[i]))
            ++count_;
    }
}

std::size_t FieldSplitter::step(std::size_t i) const {
    return cp932::IsDoubleByteAt(text_, i) ? i + 2 : i + 1;
}

const char* FieldSplitter::next() {
    if (position_ >= text_.size())
        return nullptr;
    const std::size_t start = position_;
    std::size_t end = start;
    while (end < text_.size() && !isDelimiter(text_[end]))
        end = step(end);
    token_.assign(text_, start, end - start);
    position_ = end < text_.size() ? end + 1 : end;
    return token_.c_str();
}

const char* FieldSplitter::first() {
    position_ = 0;
    return next();
}

}  // namespace sorvane
