// SPDX-License-Identifier: MIT
#pragma once
// Late-bound automation calls: create an object by class name, read and write its properties
// and call its methods by member name, with program values converted to and from automation
// values. Texts cross as UTF-16 through the ANSI code page (GBK). Every failed access gives the
// empty value of what was asked for; nothing throws.

#include "base/text.h"
#include "platform/com/dispatch.h"
#include "platform/com/runtime.h"
#include "platform/com/variant.h"

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marrowtune {

/// One initialisation of the automation library on the calling thread, undone when its owner
/// goes; an object that makes automation objects declares one before them.
using AutomationThread = com::ThreadInitialization;

/// An argument passed to a member: text (GBK, becomes a UTF-16 string), 32-bit integer,
/// double or boolean (true is -1).
class AutomationArg {
public:
    AutomationArg(const Text& text);
    /// A null pointer stands for absent text and becomes an empty string.
    AutomationArg(const char* text);
    /// Text that is already UTF-16 passes as it is.
    AutomationArg(std::u16string wide);
    AutomationArg(std::int32_t value) : m_value(value) {}
    AutomationArg(double value) : m_value(value) {}
    template <std::same_as<bool> B> AutomationArg(B value) : m_value(value) {}

    /// The automation value this argument becomes.
    const com::Variant& value() const { return m_value; }
    /// Moves the automation value out.
    com::Variant takeValue() { return std::move(m_value); }

private:
    com::Variant m_value;
};

/// The arguments of one access, in order.
using AutomationArgs = std::vector<AutomationArg>;

/// A handle that is empty or owns one reference to an automation object. Copies share the
/// object (each holds its own reference); clearing or destroying a handle releases its reference.
class AutomationObject {
public:
    AutomationObject() = default;
    /// A handle to an existing object (empty when `object` is null).
    explicit AutomationObject(com::ObjectPtr object) : m_object(std::move(object)) {}

    /// Creates an instance of a class named by program identifier or by "{class identifier}".
    /// On success the handle releases what it held and keeps the new object; on failure
    /// (unknown class, library not initialised on this thread) it is left as it was.
    bool create(const Text& className);
    /// Releases the reference; the handle becomes empty.
    void clear();
    /// True when no reference is held.
    bool isEmpty() const;

    /// Reads a property, with index arguments when it has any. R is the result kind: Text,
    /// double (a number), AutomationObject or com::Variant. Failure gives the empty value.
    template <class R> R getProperty(std::string_view member, AutomationArgs args = {}) const;
    /// Writes a property; true when the object took the value. An unknown member is refused
    /// without effect.
    bool putProperty(std::string_view member, const AutomationArg& value);
    /// Calls a method; R as for getProperty.
    template <class R> R callMethod(std::string_view member, AutomationArgs args = {}) const;

    /// The access underneath the ones above, for callers that need the status or the error
    /// an object raised: invokes the member with the arguments and hands back its raw result.
    com::Status invoke(std::string_view member, com::InvokeKind kind, AutomationArgs args,
                       com::Variant& result, com::ExceptionInfo* exception = nullptr) const;

    /// The object held, or null.
    const com::ObjectPtr& object() const { return m_object; }

private:
    com::ObjectPtr m_object;
};

extern template Text AutomationObject::getProperty<Text>(std::string_view, AutomationArgs) const;
extern template double AutomationObject::getProperty<double>(std::string_view,
                                                             AutomationArgs) const;
extern template AutomationObject
    AutomationObject::getProperty<AutomationObject>(std::string_view, AutomationArgs) const;
extern template com::Variant AutomationObject::getProperty<com::Variant>(std::string_view,
                                                                         AutomationArgs) const;
extern template Text AutomationObject::callMethod<Text>(std::string_view, AutomationArgs) const;
extern template double AutomationObject::callMethod<double>(std::string_view, AutomationArgs) const;
extern template AutomationObject
    AutomationObject::callMethod<AutomationObject>(std::string_view, AutomationArgs) const;
extern template com::Variant AutomationObject::callMethod<com::Variant>(std::string_view,
                                                                        AutomationArgs) const;

/// Registers the classes automation objects are created from by name (the system's own where
/// it has them); later calls do nothing.
void registerObjectClasses();

/// A variant as program text: a string converted directly, anything else first changed to a
/// string by the standard conversion (a boolean gives "-1" or "0"). Empty, null and values
/// that cannot be changed give empty text.
Text variantToText(const com::Variant& value);
/// The elements of a byte array variant, in storage order; anything else gives empty bytes.
ByteBuffer variantToBytes(const com::Variant& value);
/// Empties a variant, releasing any object it held.
void clearVariant(com::Variant& value);

} // namespace marrowtune
