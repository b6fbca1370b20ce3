// SPDX-License-Identifier: MIT
#include "platform/com/dispatch.h"

#include "base/ascii.h"

#include <algorithm>
#include <cstddef>

namespace marrowtune::com {

namespace {

MemberInfo member(std::string name, InvokeKind kind, std::vector<VariantType> params,
                  VariantType result)
{
    MemberInfo info;
    info.name = std::move(name);
    info.kind = kind;
    info.params = std::move(params);
    info.result = result;
    return info;
}

} // namespace

MemberInfo propertyGet(std::string name, VariantType result, std::vector<VariantType> params)
{
    return member(std::move(name), InvokeKind::PropertyGet, std::move(params), result);
}

MemberInfo propertyPut(std::string name, std::vector<VariantType> params)
{
    return member(std::move(name), InvokeKind::PropertyPut, std::move(params), VariantType::Empty);
}

MemberInfo method(std::string name, std::vector<VariantType> params, VariantType result)
{
    return member(std::move(name), InvokeKind::Method, std::move(params), result);
}

Status Invocation::raise(std::u16string description, std::int32_t code)
{
    exception.code = code;
    exception.description = std::move(description);
    return Status::Exception;
}

void MemberTable::add(MemberInfo info, SharedMemberHandler handler)
{
    m_entries.push_back({std::move(info), std::move(handler)});
}

DispatchObject::DispatchObject(std::shared_ptr<const MemberTable> table) : m_table(std::move(table))
{
}

DispatchObject::~DispatchObject() = default;

DispatchObject::Found DispatchObject::find(std::string_view name, InvokeKind kind) const
{
    for (const Member& member : m_members) {
        if (member.info.kind == kind && equalsIgnoringAsciiCase(member.info.name, name)) {
            return {&member.info, &member.handler, nullptr};
        }
    }
    if (m_table) {
        for (const MemberTable::Entry& entry : m_table->m_entries) {
            if (entry.info.kind == kind && equalsIgnoringAsciiCase(entry.info.name, name)) {
                return {&entry.info, nullptr, &entry.handler};
            }
        }
    }
    return {};
}

DispatchObject::Found DispatchObject::findDefault(InvokeKind kind) const
{
    for (const Member& member : m_members) {
        if (member.info.kind == kind && member.info.isDefault) {
            return {&member.info, &member.handler, nullptr};
        }
    }
    if (m_table) {
        for (const MemberTable::Entry& entry : m_table->m_entries) {
            if (entry.info.kind == kind && entry.info.isDefault) {
                return {&entry.info, nullptr, &entry.handler};
            }
        }
    }
    return {};
}

const MemberInfo* DispatchObject::findMember(std::string_view name, InvokeKind kind) const
{
    return find(name, kind).info;
}

const MemberInfo* DispatchObject::defaultMember(InvokeKind kind) const
{
    return findDefault(kind).info;
}

std::vector<const MemberInfo*> DispatchObject::members() const
{
    std::vector<const MemberInfo*> infos;
    for (const Member& member : m_members) {
        infos.push_back(&member.info);
    }
    if (m_table) {
        for (const MemberTable::Entry& entry : m_table->m_entries) {
            infos.push_back(&entry.info);
        }
    }
    return infos;
}

Status DispatchObject::invoke(std::string_view name, InvokeKind kind, std::vector<Variant> args,
                              Variant& result, ExceptionInfo* exception)
{
    result.clear();
    Found member = find(name, kind);
    if (!member.info && declareOnDemand(name, kind)) {
        member = find(name, kind);
    }
    if (!member.info) {
        return Status::UnknownName;
    }
    const MemberInfo& info = *member.info;
    const std::size_t declared = info.params.size();
    const std::size_t required = declared - std::min<std::size_t>(declared, info.optionalParams);
    if (args.size() < required || (args.size() > declared && !info.varArgs)) {
        return Status::BadParamCount;
    }
    Invocation call;
    call.args.reserve(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i >= declared) {
            call.args.push_back(std::move(args[i]));
            continue;
        }
        if (info.params[i] == VariantType::Any || info.params[i] == args[i].type()) {
            call.args.push_back(std::move(args[i]));
            continue;
        }
        Variant changed;
        Status status = changeType(args[i], info.params[i], changed);
        if (status != Status::Ok) {
            return status;
        }
        call.args.push_back(std::move(changed));
    }
    // Keep the object alive for the whole call, even when the member drops the last outside
    // reference to it.
    std::shared_ptr<DispatchObject> self = weak_from_this().lock();
    Status status = member.own ? (*member.own)(call) : (*member.shared)(*this, call);
    if (status == Status::Exception) {
        if (exception) {
            *exception = std::move(call.exception);
        }
        return status;
    }
    if (status == Status::Ok) {
        result = std::move(call.result);
    }
    return status;
}

void DispatchObject::addMember(MemberInfo info, MemberHandler handler)
{
    m_members.push_back({std::move(info), std::move(handler)});
}

bool DispatchObject::declareOnDemand(std::string_view, InvokeKind)
{
    return false;
}

void DispatchObject::addPropertyGet(std::string name, VariantType type,
                                    std::function<Variant()> getter, bool isDefault)
{
    MemberInfo info = propertyGet(std::move(name), type);
    info.isDefault = isDefault;
    addMember(std::move(info), [getter = std::move(getter)](Invocation& call) {
        call.result = getter();
        return Status::Ok;
    });
}

} // namespace marrowtune::com
