#pragma once
// Number conversion with the rules of atof, but always with a decimal point:
// the host process may have set a locale whose decimal separator is a comma.

namespace sorvane {

// The value of the longest decimal number at the start of text (after leading
// white space); 0.0 when there is none. text must be NUL-terminated.
double DecimalPrefix(const char* text);

}  // namespace sorvane
