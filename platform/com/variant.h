// SPDX-License-Identifier: MIT
#pragma once
// The automation value: empty, null, boolean, 32-bit integer, double, UTF-16 string, object or
// byte array, with the platform's standard conversions between kinds.

#include "platform/com/status.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace marrowtune::com {

class DispatchObject;
/// A counted reference to an automation object; an empty pointer is "no object".
using ObjectPtr = std::shared_ptr<DispatchObject>;
/// The elements of a byte array variant, in storage order.
using Bytes = std::vector<std::uint8_t>;

/// The kinds a Variant can hold. Any appears only in member declarations (no fixed kind).
enum class VariantType { Empty, Null, Bool, Int32, Double, String, Object, Bytes, Any };

/// An automation value. Copying a Variant that holds an object adds a reference.
class Variant {
public:
    /// The empty variant.
    Variant() = default;
    // Out of line: GCC 12 mistakes the inlined destruction of the alternatives for a free of a
    // non-heap object and would warn in every user of this type.
    ~Variant();
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    /// A boolean; exactly bool, so pointers never land here by accident.
    template <std::same_as<bool> B> Variant(B value) : m_value(value) {}
    Variant(std::int32_t value) : m_value(value) {}
    Variant(double value) : m_value(value) {}
    Variant(std::u16string value) : m_value(std::move(value)) {}
    Variant(const char16_t* value) : m_value(std::u16string(value ? value : u"")) {}
    Variant(ObjectPtr object) : m_value(std::move(object)) {}
    Variant(Bytes bytes) : m_value(std::move(bytes)) {}
    Variant(const char*) = delete;

    /// The null variant (an automation null, distinct from empty).
    static Variant null();

    /// The kind held now.
    VariantType type() const;
    bool isEmpty() const { return type() == VariantType::Empty; }
    bool isNull() const { return type() == VariantType::Null; }
    /// Makes the variant empty, releasing any object it held.
    void clear();

    // Direct access; each requires the variant to hold that kind.
    bool boolValue() const { return std::get<bool>(m_value); }
    std::int32_t intValue() const { return std::get<std::int32_t>(m_value); }
    double doubleValue() const { return std::get<double>(m_value); }
    const std::u16string& stringValue() const { return std::get<std::u16string>(m_value); }
    const ObjectPtr& objectValue() const { return std::get<ObjectPtr>(m_value); }
    const Bytes& bytesValue() const { return std::get<Bytes>(m_value); }
    /// Moves the string out and leaves the variant empty; requires a string.
    std::u16string takeString();

    /// Same kind and same value; objects compare by identity.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullTag {
        friend bool operator==(NullTag, NullTag) = default;
    };
    // Alternatives in the order of VariantType.
    std::variant<std::monostate, NullTag, bool, std::int32_t, double, std::u16string, ObjectPtr,
                 Bytes>
        m_value;
};

/// Changes `value` to `type` by the platform's standard rules (no options):
/// - to String: empty gives "", a boolean "-1" or "0", an integer plain decimal, a double
///   printf's "%.15G" with negative zero as "0";
/// - to Bool, Int32, Double: empty gives false / 0; a string is read as a number ("True" and
///   "False" too, for booleans); doubles round half to even into Int32 (Overflow when too big);
/// - an object is read through its default member (TypeMismatch when it has none);
/// - null changes to nothing but Null and Any; a byte array only to Bytes and Any.
/// On failure `out` is left empty.
Status changeType(const Variant& value, VariantType type, Variant& out);

/// The text of a double as the platform writes it: "%.15G", negative zero as "0".
std::u16string formatDouble(double value);

} // namespace marrowtune::com
