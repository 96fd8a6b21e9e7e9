#pragma once
// The small variant that carries arguments and results across the dispatch
// interface: empty, boolean, short, long, double, string (UTF-8) and
// references to a short, long or double that a method writes.

#include <cstdint>
#include <string>
#include <variant>

#include "control/automation_types.h"
#include "control/hresult.h"

namespace sorvane {

class Variant {
  public:
    // The numbers are the platform's variant type codes.
    enum class Type : std::uint16_t {
        Empty = 0,
        I2 = 2,
        I4 = 3,
        R8 = 5,
        Bstr = 8,
        Bool = 11,
        ByRefI2 = 0x4002,
        ByRefI4 = 0x4003,
        ByRefR8 = 0x4005,
    };

    Variant() = default;
    Variant(bool v) : v_(v) {}
    Variant(std::int16_t v) : v_(v) {}
    Variant(std::int32_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(std::string v) : v_(std::move(v)) {}
    Variant(const char* v) : v_(std::string(v ? v : "")) {}
    Variant(std::int16_t* ref) : v_(ref) {}
    Variant(std::int32_t* ref) : v_(ref) {}
    Variant(double* ref) : v_(ref) {}

    Type type() const;
    bool IsEmpty() const { return type() == Type::Empty; }

    // The held value; a default value when the variant holds another type.
    bool AsBool() const;
    std::int16_t AsI2() const;
    std::int32_t AsI4() const;
    double AsR8() const;
    const std::string& AsString() const;
    std::int16_t* RefI2() const;
    std::int32_t* RefI4() const;
    double* RefR8() const;

    friend bool operator==(const Variant&, const Variant&) = default;

  private:
    std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string,
                 std::int16_t*, std::int32_t*, double*>
        v_;
};

// Argument coercion as automation does it for by-value parameters: numbers
// and booleans convert into each other (true is -1) when the value fits, a
// reference is read through. kOverflow when it does not fit, kTypeMismatch for
// anything else.
HResult CoerceToI2(const Variant& v, std::int16_t* out);
HResult CoerceToI4(const Variant& v, std::int32_t* out);
HResult CoerceToR8(const Variant& v, double* out);
HResult CoerceToString(const Variant& v, std::string* out);

// The automation boolean a BOOL result travels as: -1 true, 0 false.
constexpr std::int16_t kVariantTrue = -1;
constexpr std::int16_t kVariantFalse = 0;

const char* VariantTypeName(Variant::Type t);

}  // namespace sorvane
