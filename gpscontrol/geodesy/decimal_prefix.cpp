#include "geodesy/decimal_prefix.h"

#include <locale.h>
#include <stdlib.h>

namespace sorvane {

namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

double DecimalPrefix(const char* text) {
    if (text == nullptr)
        return 0.0;
    const locale_t c = CLocale();
    if (c == static_cast<locale_t>(nullptr))
        return strtod(text, nullptr);
    return strtod_l(text, nullptr, c);
}

}  // namespace sorvane
