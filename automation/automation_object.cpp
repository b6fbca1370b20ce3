// SPDX-License-Identifier: MIT
#include "automation/automation_object.h"

#include "platform/codepage/codepage.h"
#include "platform/com/runtime.h"

namespace marrowtune {

namespace {

com::Variant wideOf(std::string_view text)
{
    return com::Variant(codepage::toWide(text, CodePage::Ansi));
}

// The result of an access in the kind the caller asked for; the empty value when it cannot be.
template <class R> R convertResult(const com::Variant& value);

template <> Text convertResult<Text>(const com::Variant& value)
{
    return variantToText(value);
}

template <> double convertResult<double>(const com::Variant& value)
{
    com::Variant number;
    if (com::changeType(value, com::VariantType::Double, number) != com::Status::Ok) {
        return 0;
    }
    return number.doubleValue();
}

template <> AutomationObject convertResult<AutomationObject>(const com::Variant& value)
{
    com::Variant object;
    if (com::changeType(value, com::VariantType::Object, object) != com::Status::Ok) {
        return AutomationObject();
    }
    return AutomationObject(object.objectValue());
}

template <> com::Variant convertResult<com::Variant>(const com::Variant& value)
{
    return value;
}

} // namespace

AutomationArg::AutomationArg(const Text& text) : m_value(wideOf(text))
{
}

AutomationArg::AutomationArg(const char* text)
    : m_value(text ? wideOf(text) : com::Variant(std::u16string()))
{
}

AutomationArg::AutomationArg(std::u16string wide) : m_value(std::move(wide))
{
}

bool AutomationObject::create(const Text& className)
{
    com::ObjectPtr created;
    if (com::createObject(className, created) != com::Status::Ok || !created) {
        return false;
    }
    m_object = std::move(created);
    return true;
}

void AutomationObject::clear()
{
    m_object.reset();
}

bool AutomationObject::isEmpty() const
{
    return m_object == nullptr;
}

com::Status AutomationObject::invoke(std::string_view member, com::InvokeKind kind,
                                     AutomationArgs args, com::Variant& result,
                                     com::ExceptionInfo* exception) const
{
    result.clear();
    if (!m_object) {
        return com::Status::InvalidArgument;
    }
    std::vector<com::Variant> values;
    values.reserve(args.size());
    for (AutomationArg& arg : args) {
        values.push_back(arg.takeValue());
    }
    return m_object->invoke(member, kind, std::move(values), result, exception);
}

namespace {

// A read and a call differ only in the kind of access; a failed access gives R's empty value.
template <class R>
R invokeAs(const AutomationObject& object, std::string_view member, com::InvokeKind kind,
           AutomationArgs args)
{
    com::Variant result;
    if (object.invoke(member, kind, std::move(args), result) != com::Status::Ok) {
        return R();
    }
    return convertResult<R>(result);
}

} // namespace

template <class R>
R AutomationObject::getProperty(std::string_view member, AutomationArgs args) const
{
    return invokeAs<R>(*this, member, com::InvokeKind::PropertyGet, std::move(args));
}

bool AutomationObject::putProperty(std::string_view member, const AutomationArg& value)
{
    com::Variant ignored;
    return invoke(member, com::InvokeKind::PropertyPut, {value}, ignored) == com::Status::Ok;
}

template <class R>
R AutomationObject::callMethod(std::string_view member, AutomationArgs args) const
{
    return invokeAs<R>(*this, member, com::InvokeKind::Method, std::move(args));
}

// The result types callers use, each for both kinds of call.
#define MARROWTUNE_AUTOMATION_RESULT(R)                                                            \
    template R AutomationObject::getProperty<R>(std::string_view, AutomationArgs) const;           \
    template R AutomationObject::callMethod<R>(std::string_view, AutomationArgs) const;
MARROWTUNE_AUTOMATION_RESULT(Text)
MARROWTUNE_AUTOMATION_RESULT(double)
MARROWTUNE_AUTOMATION_RESULT(AutomationObject)
MARROWTUNE_AUTOMATION_RESULT(com::Variant)
#undef MARROWTUNE_AUTOMATION_RESULT

Text variantToText(const com::Variant& value)
{
    if (value.type() == com::VariantType::String) {
        return codepage::fromWide(value.stringValue(), CodePage::Ansi);
    }
    com::Variant text;
    if (com::changeType(value, com::VariantType::String, text) != com::Status::Ok) {
        return Text();
    }
    return codepage::fromWide(text.stringValue(), CodePage::Ansi);
}

ByteBuffer variantToBytes(const com::Variant& value)
{
    if (value.type() != com::VariantType::Bytes) {
        return ByteBuffer();
    }
    return value.bytesValue();
}

void clearVariant(com::Variant& value)
{
    value.clear();
}

} // namespace marrowtune
