// Tokenizer: the first byte chooses how many of the following bytes are
// delimiters and whether delimiters are kept; the rest is the text.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "data/ifstring.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t delimiterCount = data[0] & 3;
    const bool include = (data[0] & 4) != 0;
    if (size < 1 + delimiterCount)
        return 0;
    const std::string_view delimiters(reinterpret_cast<const char*>(data + 1), delimiterCount);
    const std::string_view text(reinterpret_cast<const char*>(data + 1 + delimiterCount),
                                size - 1 - delimiterCount);
    tobrel::ifstring tokens(text, delimiters);
    int returned = 0;
    std::size_t bytes = 0;
    while (const char* t = tokens.NextToken(include)) {
        ++returned;
        bytes += std::strlen(t);
        if (returned > tokens.TokenCount())
            __builtin_trap();
    }
    if (returned < tokens.TokenCount() - 1)
        __builtin_trap();
    if (bytes > text.size())
        __builtin_trap();
    return 0;
}
