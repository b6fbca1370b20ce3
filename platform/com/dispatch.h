// SPDX-License-Identifier: MIT
#pragma once
// Dispatch objects: automation objects that describe their members and are invoked by member
// name, standing in for IDispatch with its type description.

#include "platform/com/status.h"
#include "platform/com/variant.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marrowtune::com {

/// How a member is reached.
enum class InvokeKind { PropertyGet, PropertyPut, Method };

/// The description of one member, as a type description gives it.
struct MemberInfo {
    /// The member's name; looked up ignoring ASCII case, as the platform does.
    std::string name;
    InvokeKind kind = InvokeKind::Method;
    /// Declared parameter types, in order; Any takes a value of any kind unchanged. For a
    /// property put the last parameter is the value written.
    std::vector<VariantType> params;
    /// How many of the trailing declared parameters may be left out.
    int optionalParams = 0;
    /// True when the member takes any number of further arguments after the declared ones.
    bool varArgs = false;
    /// The kind of the result; Empty for a member without a result.
    VariantType result = VariantType::Empty;
    /// True for the object's default member (the one read when the object stands for a value).
    bool isDefault = false;
};

/// A property read of the given result kind, with index parameters when it has any.
MemberInfo propertyGet(std::string name, VariantType result, std::vector<VariantType> params = {});
/// A property write; the last parameter is the value written, any before it are indices.
MemberInfo propertyPut(std::string name, std::vector<VariantType> params);
/// A method with its declared parameters and result kind (Empty: no result).
MemberInfo method(std::string name, std::vector<VariantType> params = {},
                  VariantType result = VariantType::Empty);

/// One call of a member: its arguments (already changed to the declared types), the result
/// the member sets and the error it raises.
struct Invocation {
    std::vector<Variant> args;
    Variant result;
    ExceptionInfo exception;

    /// Raises an error with its description and number; returns Status::Exception.
    Status raise(std::u16string description, std::int32_t code = 5);
};

/// The code run for a member.
using MemberHandler = std::function<Status(Invocation&)>;

class DispatchObject;

/// The code run for a member declared in a MemberTable; `self` is the object invoked.
using SharedMemberHandler = std::function<Status(DispatchObject& self, Invocation&)>;

/// Member declarations shared by every instance of a class, built once. Classes made in large
/// numbers (a match, a group collection) use one instead of declaring members per instance.
class MemberTable {
public:
    /// Declares a member and the code that runs it.
    void add(MemberInfo info, SharedMemberHandler handler);

private:
    friend class DispatchObject;
    struct Entry {
        MemberInfo info;
        SharedMemberHandler handler;
    };
    std::vector<Entry> m_entries;
};

/// An automation object. Concrete classes declare their members with addMember in their
/// constructor, or hand a shared MemberTable to the constructor; callers reach them with
/// invoke. Objects are shared by ObjectPtr (std::shared_ptr), which is their reference count.
class DispatchObject : public std::enable_shared_from_this<DispatchObject> {
public:
    DispatchObject() = default;
    /// An object whose members (or some of them) come from a table shared by its class.
    explicit DispatchObject(std::shared_ptr<const MemberTable> table);
    virtual ~DispatchObject();
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    /// The member of that name (ASCII case ignored) and kind, or null.
    const MemberInfo* findMember(std::string_view name, InvokeKind kind) const;
    /// The default member of that kind, or null.
    const MemberInfo* defaultMember(InvokeKind kind) const;
    /// Every member, in declaration order.
    std::vector<const MemberInfo*> members() const;

    /// Invokes a member by name. Checks the argument count (too few or, unless the member takes
    /// a variable list, too many: BadParamCount), changes each declared argument to its type
    /// (TypeMismatch / Overflow when it cannot), runs the member and hands back its result.
    /// An error raised by the member gives Status::Exception and fills `exception` when given.
    /// `result` is cleared first and stays empty on failure.
    Status invoke(std::string_view name, InvokeKind kind, std::vector<Variant> args,
                  Variant& result, ExceptionInfo* exception = nullptr);

protected:
    /// Declares a member and the code that runs it.
    void addMember(MemberInfo info, MemberHandler handler);
    /// Shorthand: a read-only property of the given result kind.
    void addPropertyGet(std::string name, VariantType type, std::function<Variant()> getter,
                        bool isDefault = false);
    /// Called by invoke for a name it does not know: an object that learns its members only
    /// when asked declares the member here (addMember) and returns true. Declares nothing.
    virtual bool declareOnDemand(std::string_view name, InvokeKind kind);

private:
    struct Member {
        MemberInfo info;
        MemberHandler handler;
    };
    struct Found {
        const MemberInfo* info = nullptr;
        const MemberHandler* own = nullptr;
        const SharedMemberHandler* shared = nullptr;
    };
    Found find(std::string_view name, InvokeKind kind) const;
    Found findDefault(InvokeKind kind) const;

    std::vector<Member> m_members;
    std::shared_ptr<const MemberTable> m_table;
};

} // namespace marrowtune::com
