#include "text/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace sorvane::cp932 {

std::size_t FitLength(std::string_view text, std::size_t maxBytes) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] != '\0') {
        const std::size_t step = IsDoubleByteAt(text, i) ? 2 : 1;
        if (i + step > maxBytes)
            break;
        i += step;
    }
    return i;
}

void CopyField(char* dest, std::size_t destSize, std::string_view text, std::size_t maxBytes) {
    std::memset(dest, 0, destSize);
    if (maxBytes >= destSize)
        maxBytes = destSize - 1;
    const std::size_t len = FitLength(text, maxBytes);
    if (len > 0)
        std::memcpy(dest, text.data(), len);
}

namespace {

// Converts with iconv, replacing an unconvertible sequence by '?' and
// skipping one input byte so the conversion always makes progress.
std::string Convert(const char* to, const char* from, std::string_view in) {
    std::string out;
    if (in.empty())
        return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[256];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence at the end)
            out.push_back('?');
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* dst = buf;
    std::size_t dstLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

}  // namespace

std::string ToUtf8(std::string_view cp932Text) {
    return Convert("UTF-8", "CP932", cp932Text);
}

std::string FromUtf8(std::string_view utf8Text) {
    return Convert("CP932", "UTF-8", utf8Text);
}

}  // namespace sorvane::cp932
