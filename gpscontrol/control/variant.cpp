#include "control/variant.h"

#include <cmath>
#include <limits>

namespace sorvane {

Variant::Type Variant::type() const {
    switch (v_.index()) {
        case 1:
            return Type::Bool;
        case 2:
            return Type::I2;
        case 3:
            return Type::I4;
        case 4:
            return Type::R8;
        case 5:
            return Type::Bstr;
        case 6:
            return Type::ByRefI2;
        case 7:
            return Type::ByRefI4;
        case 8:
            return Type::ByRefR8;
        default:
            return Type::Empty;
    }
}

bool Variant::AsBool() const {
    const bool* p = std::get_if<bool>(&v_);
    return p ? *p : false;
}

std::int16_t Variant::AsI2() const {
    const std::int16_t* p = std::get_if<std::int16_t>(&v_);
    return p ? *p : 0;
}

std::int32_t Variant::AsI4() const {
    const std::int32_t* p = std::get_if<std::int32_t>(&v_);
    return p ? *p : 0;
}

double Variant::AsR8() const {
    const double* p = std::get_if<double>(&v_);
    return p ? *p : 0.0;
}

const std::string& Variant::AsString() const {
    static const std::string kEmpty;
    const std::string* p = std::get_if<std::string>(&v_);
    return p ? *p : kEmpty;
}

std::int16_t* Variant::RefI2() const {
    auto* p = std::get_if<std::int16_t*>(&v_);
    return p ? *p : nullptr;
}

std::int32_t* Variant::RefI4() const {
    auto* p = std::get_if<std::int32_t*>(&v_);
    return p ? *p : nullptr;
}

double* Variant::RefR8() const {
    auto* p = std::get_if<double*>(&v_);
    return p ? *p : nullptr;
}

namespace {

// The number a numeric variant holds, read through a reference.
bool NumericValue(const Variant& v, double* out) {
    switch (v.type()) {
        case Variant::Type::Bool:
            *out = v.AsBool() ? kVariantTrue : kVariantFalse;
            return true;
        case Variant::Type::I2:
            *out = v.AsI2();
            return true;
        case Variant::Type::I4:
            *out = v.AsI4();
            return true;
        case Variant::Type::R8:
            *out = v.AsR8();
            return true;
        case Variant::Type::ByRefI2:
            if (!v.RefI2())
                return false;
            *out = *v.RefI2();
            return true;
        case Variant::Type::ByRefI4:
            if (!v.RefI4())
                return false;
            *out = *v.RefI4();
            return true;
        case Variant::Type::ByRefR8:
            if (!v.RefR8())
                return false;
            *out = *v.RefR8();
            return true;
        default:
            return false;
    }
}

template <class Int>
HResult CoerceToInt(const Variant& v, Int* out) {
    double d = 0.0;
    if (!NumericValue(v, &d))
        return kTypeMismatch;
    if (!std::isfinite(d))
        return kOverflow;
    // Fractions round to the nearest integer, halves to even, as automation does.
    d = std::nearbyint(d);
    if (d < static_cast<double>(std::numeric_limits<Int>::min()) ||
        d > static_cast<double>(std::numeric_limits<Int>::max()))
        return kOverflow;
    *out = static_cast<Int>(d);
    return kOk;
}

}  // namespace

HResult CoerceToI2(const Variant& v, std::int16_t* out) {
    return CoerceToInt(v, out);
}

HResult CoerceToI4(const Variant& v, std::int32_t* out) {
    return CoerceToInt(v, out);
}

HResult CoerceToR8(const Variant& v, double* out) {
    double d = 0.0;
    if (!NumericValue(v, &d))
        return kTypeMismatch;
    *out = d;
    return kOk;
}

HResult CoerceToString(const Variant& v, std::string* out) {
    if (v.type() != Variant::Type::Bstr)
        return kTypeMismatch;
    *out = v.AsString();
    return kOk;
}

const char* VariantTypeName(Variant::Type t) {
    switch (t) {
        case Variant::Type::Empty:
            return "empty";
        case Variant::Type::I2:
            return "short";
        case Variant::Type::I4:
            return "long";
        case Variant::Type::R8:
            return "double";
        case Variant::Type::Bstr:
            return "string";
        case Variant::Type::Bool:
            return "bool";
        case Variant::Type::ByRefI2:
            return "short*";
        case Variant::Type::ByRefI4:
            return "long*";
        case Variant::Type::ByRefR8:
            return "double*";
    }
    return "?";
}

}  // namespace sorvane
