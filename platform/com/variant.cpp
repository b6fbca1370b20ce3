// SPDX-License-Identifier: MIT
#include "platform/com/variant.h"

#include "base/ascii.h"
#include "platform/com/dispatch.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

// GCC 12 at -O3 reports a free of a non-heap object when a temporary Variant is destroyed
// after a move (the byte-array alternative it never holds there); a known false positive.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#endif

namespace marrowtune::com {

namespace {

// An object's value is read through its default member; a default member that hands back an
// object again is followed a few times at most, so a cycle cannot recurse without end.
constexpr int MaxDefaultDepth = 4;

std::u16string asciiToWide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// Reads a whole string as a decimal number: optional blanks, sign, digits with an optional
// point, an optional exponent, optional blanks. Hexadecimal, "inf" and "nan" are refused.
std::optional<double> parseNumber(const std::u16string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    std::string ascii;
    std::size_t i = begin;
    auto digits = [&] {
        std::size_t count = 0;
        while (i < end && text[i] >= u'0' && text[i] <= u'9') {
            ascii += static_cast<char>(text[i++]);
            ++count;
        }
        return count;
    };
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        ascii += static_cast<char>(text[i++]);
    }
    std::size_t mantissa = digits();
    if (i < end && text[i] == u'.') {
        ascii += '.';
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return std::nullopt;
    }
    if (i < end && (text[i] == u'e' || text[i] == u'E')) {
        ascii += 'e';
        ++i;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) {
            ascii += static_cast<char>(text[i++]);
        }
        if (digits() == 0) {
            return std::nullopt;
        }
    }
    if (i != end) {
        return std::nullopt;
    }
    return std::strtod(ascii.c_str(), nullptr);
}

Status toDouble(const Variant& value, double& out)
{
    switch (value.type()) {
    case VariantType::Empty:
        out = 0;
        return Status::Ok;
    case VariantType::Bool:
        out = value.boolValue() ? -1 : 0;
        return Status::Ok;
    case VariantType::Int32:
        out = value.intValue();
        return Status::Ok;
    case VariantType::Double:
        out = value.doubleValue();
        return Status::Ok;
    case VariantType::String: {
        auto number = parseNumber(value.stringValue());
        if (!number) {
            return Status::TypeMismatch;
        }
        out = *number;
        return Status::Ok;
    }
    default:
        return Status::TypeMismatch;
    }
}

Status changeScalar(const Variant& value, VariantType type, Variant& out)
{
    switch (type) {
    case VariantType::String:
        switch (value.type()) {
        case VariantType::Empty:
            out = std::u16string();
            return Status::Ok;
        case VariantType::Bool:
            out = std::u16string(value.boolValue() ? u"-1" : u"0");
            return Status::Ok;
        case VariantType::Int32:
            out = asciiToWide(std::to_string(value.intValue()));
            return Status::Ok;
        case VariantType::Double:
            out = formatDouble(value.doubleValue());
            return Status::Ok;
        case VariantType::String:
            out = value;
            return Status::Ok;
        default:
            return Status::TypeMismatch;
        }
    case VariantType::Bool: {
        if (value.type() == VariantType::Bool) {
            out = value;
            return Status::Ok;
        }
        if (value.type() == VariantType::String) {
            if (equalsIgnoringAsciiCase(value.stringValue(), u"true")) {
                out = true;
                return Status::Ok;
            }
            if (equalsIgnoringAsciiCase(value.stringValue(), u"false")) {
                out = false;
                return Status::Ok;
            }
        }
        double number = 0;
        Status status = toDouble(value, number);
        if (status == Status::Ok) {
            out = number != 0;
        }
        return status;
    }
    case VariantType::Int32: {
        double number = 0;
        Status status = toDouble(value, number);
        if (status != Status::Ok) {
            return status;
        }
        // The platform rounds half to even, which nearbyint does in the default rounding mode.
        double rounded = std::nearbyint(number);
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max())) {
            return Status::Overflow;
        }
        out = static_cast<std::int32_t>(rounded);
        return Status::Ok;
    }
    case VariantType::Double: {
        double number = 0;
        Status status = toDouble(value, number);
        if (status == Status::Ok) {
            out = number;
        }
        return status;
    }
    default:
        return Status::TypeMismatch;
    }
}

Status changeTypeAt(const Variant& value, VariantType type, Variant& out, int depth)
{
    out.clear();
    if (type == VariantType::Any || type == value.type()) {
        out = value;
        return Status::Ok;
    }
    if (type == VariantType::Empty) {
        return Status::Ok;
    }
    if (value.type() == VariantType::Object) {
        const ObjectPtr& object = value.objectValue();
        if (!object || depth >= MaxDefaultDepth ||
            !object->defaultMember(InvokeKind::PropertyGet)) {
            return Status::TypeMismatch;
        }
        Variant inner;
        Status status = object->invoke(object->defaultMember(InvokeKind::PropertyGet)->name,
                                       InvokeKind::PropertyGet, {}, inner);
        if (status != Status::Ok) {
            return status;
        }
        return changeTypeAt(inner, type, out, depth + 1);
    }
    switch (type) {
    case VariantType::String:
    case VariantType::Bool:
    case VariantType::Int32:
    case VariantType::Double:
        return changeScalar(value, type, out);
    default:
        return Status::TypeMismatch;
    }
}

} // namespace

Variant::~Variant() = default;
Variant::Variant(const Variant& other) = default;
Variant::Variant(Variant&& other) noexcept = default;
Variant& Variant::operator=(const Variant& other) = default;
Variant& Variant::operator=(Variant&& other) noexcept = default;

void Variant::clear()
{
    m_value = std::monostate{};
}

std::u16string Variant::takeString()
{
    std::u16string text = std::move(std::get<std::u16string>(m_value));
    m_value = std::monostate{};
    return text;
}

bool operator==(const Variant& a, const Variant& b)
{
    return a.m_value == b.m_value;
}

Variant Variant::null()
{
    Variant v;
    v.m_value = NullTag{};
    return v;
}

VariantType Variant::type() const
{
    return static_cast<VariantType>(m_value.index());
}

std::u16string formatDouble(double value)
{
    if (value == 0) {
        return u"0"; // also negative zero, which printf would write as "-0"
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return asciiToWide(buffer);
}

Status changeType(const Variant& value, VariantType type, Variant& out)
{
    Variant result;
    Status status = changeTypeAt(value, type, result, 0);
    out = status == Status::Ok ? std::move(result) : Variant();
    return status;
}

} // namespace marrowtune::com
