#pragma once
// Angles typed or stored as text: decimal degrees, or degrees, minutes and
// seconds separated by any single non-digit byte (35:30:15, 35 30 15, 35d30m15s).

#include <string_view>

namespace tobrel {

// Decimal degrees of the text; 0 for a null text or one without a number.
double ParseAngle(const char* text);
// The same for a text that ends at its first NUL or at the end of the view.
double ParseAngle(std::string_view text);

class AngleUnit {
  public:
    explicit AngleUnit(const char* text) : degree_(ParseAngle(text)) {}
    explicit AngleUnit(std::string_view text) : degree_(ParseAngle(text)) {}

    double GetDegree() const { return degree_; }

  private:
    double degree_;
};

}  // namespace tobrel
