// SPDX-License-Identifier: MIT
#include "platform/com/system_objects.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>

namespace marrowtune::com::detail {
namespace {

thread_local std::vector<bool> systemInitializations; // true: owes a CoUninitialize

std::u16string fromBstr(BSTR text)
{
    if (text == nullptr) {
        return {};
    }
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

std::string asciiName(BSTR text)
{
    std::string name;
    for (const char16_t unit : fromBstr(text)) {
        name += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return name;
}

Status statusOf(HRESULT hr)
{
    switch (hr) {
    case S_OK:
        return Status::Ok;
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND:
        return Status::UnknownName;
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
        return Status::BadParamCount;
    case DISP_E_TYPEMISMATCH:
        return Status::TypeMismatch;
    case DISP_E_OVERFLOW:
        return Status::Overflow;
    case DISP_E_EXCEPTION:
        return Status::Exception;
    case CO_E_NOTINITIALIZED:
        return Status::NotInitialized;
    default:
        return Status::InvalidArgument;
    }
}

class SystemObject;

Status toVariant(const Variant& value, VARIANT& out);
Status fromVariant(const VARIANT& value, Variant& out);

// A system object reached through IDispatch. Its members are declared from the type
// information the object gives, so lookups, argument counts and the default member follow the
// object's own description; each call goes to IDispatch::Invoke by member id.
class SystemObject final : public DispatchObject {
public:
    explicit SystemObject(IDispatch* dispatch) : m_dispatch(dispatch)
    {
        m_dispatch->AddRef();
        declareMembers();
    }
    ~SystemObject() override { m_dispatch->Release(); }

    IDispatch* dispatch() const { return m_dispatch; }

protected:
    // Some objects give no type information (Wine's match collections among them): their
    // members are looked up by name when first called and take any arguments.
    bool declareOnDemand(std::string_view name, InvokeKind kind) override
    {
        std::wstring wide(name.begin(), name.end());
        LPOLESTR names[] = {wide.data()};
        Call call;
        if (FAILED(m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &call.id))) {
            return false;
        }
        call.flags = kind == InvokeKind::PropertyGet   ? DISPATCH_PROPERTYGET
                     : kind == InvokeKind::PropertyPut ? DISPATCH_PROPERTYPUT
                                                       : DISPATCH_METHOD;
        MemberInfo info;
        info.name = std::string(name);
        info.kind = kind;
        info.varArgs = true;
        info.result = kind == InvokeKind::PropertyPut ? VariantType::Empty : VariantType::Any;
        info.isDefault = call.id == DISPID_VALUE;
        addMember(std::move(info),
                  [this, call](Invocation& invocation) { return callMember(call, invocation); });
        return true;
    }

private:
    struct Call {
        DISPID id = DISPID_UNKNOWN;
        WORD flags = DISPATCH_METHOD;
        // The member takes a variable list: arguments after the declared ones travel as one
        // array of VARIANTs passed by reference (Wine accepts nothing else).
        bool packsRest = false;
        std::size_t declared = 0;
    };

    void declare(std::string name, InvokeKind kind, const Call& call, std::size_t optional,
                 bool hasResult)
    {
        MemberInfo info;
        info.name = std::move(name);
        info.kind = kind;
        info.params.assign(call.declared, VariantType::Any);
        info.optionalParams = static_cast<int>(std::min(optional, call.declared));
        info.varArgs = call.packsRest;
        info.result = hasResult ? VariantType::Any : VariantType::Empty;
        info.isDefault = call.id == DISPID_VALUE;
        addMember(std::move(info),
                  [this, call](Invocation& invocation) { return callMember(call, invocation); });
    }

    void declareMembers()
    {
        UINT count = 0;
        ITypeInfo* info = nullptr;
        if (FAILED(m_dispatch->GetTypeInfoCount(&count)) || count == 0 ||
            FAILED(m_dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) || info == nullptr) {
            return;
        }
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            for (UINT i = 0; i < attr->cFuncs; ++i) {
                declareFunction(info, i);
            }
            for (UINT i = 0; i < attr->cVars; ++i) {
                declareVariable(info, i);
            }
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
    }

    // The name the type information gives a member, or nothing; the name's string is freed
    // here, on every path.
    static std::optional<std::string> memberName(ITypeInfo* info, MEMBERID id)
    {
        BSTR name = nullptr;
        UINT names = 0;
        std::optional<std::string> result;
        if (SUCCEEDED(info->GetNames(id, &name, 1, &names)) && names == 1) {
            result = asciiName(name);
        }
        SysFreeString(name);
        return result;
    }

    void declareFunction(ITypeInfo* info, UINT index)
    {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(index, &desc))) {
            return;
        }
        std::optional<std::string> name;
        if ((desc->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0) {
            name = memberName(info, desc->memid);
        }
        if (name) {
            Call call;
            call.id = desc->memid;
            InvokeKind kind = InvokeKind::Method;
            switch (desc->invkind) {
            case INVOKE_PROPERTYGET:
                kind = InvokeKind::PropertyGet;
                call.flags = DISPATCH_PROPERTYGET;
                break;
            case INVOKE_PROPERTYPUT:
                kind = InvokeKind::PropertyPut;
                call.flags = DISPATCH_PROPERTYPUT;
                break;
            case INVOKE_PROPERTYPUTREF:
                kind = InvokeKind::PropertyPut;
                call.flags = DISPATCH_PROPERTYPUTREF;
                break;
            default:
                break;
            }
            // The result and locale parameters are not the caller's to pass.
            // A dual interface's own description returns HRESULT and hands the result back
            // through a parameter marked as the return value.
            std::size_t params = 0;
            std::size_t optional = 0;
            bool returnsThroughParam = false;
            for (SHORT p = 0; p < desc->cParams; ++p) {
                const USHORT flags = desc->lprgelemdescParam[p].paramdesc.wParamFlags;
                returnsThroughParam = returnsThroughParam || (flags & PARAMFLAG_FRETVAL) != 0;
                if ((flags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) != 0) {
                    continue;
                }
                ++params;
                if ((flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) != 0) {
                    ++optional;
                }
            }
            call.packsRest = desc->cParamsOpt == -1 && params > 0;
            call.declared = call.packsRest ? params - 1 : params;
            if (desc->cParamsOpt > 0) {
                optional = std::max<std::size_t>(optional, desc->cParamsOpt);
            }
            const VARTYPE resultType = desc->elemdescFunc.tdesc.vt;
            const bool hasResult =
                returnsThroughParam || (resultType != VT_VOID && resultType != VT_HRESULT);
            declare(*name, kind, call, optional, hasResult || kind == InvokeKind::PropertyGet);
        }
        info->ReleaseFuncDesc(desc);
    }

    void declareVariable(ITypeInfo* info, UINT index)
    {
        VARDESC* desc = nullptr;
        if (FAILED(info->GetVarDesc(index, &desc))) {
            return;
        }
        if (const std::optional<std::string> name = memberName(info, desc->memid)) {
            Call get;
            get.id = desc->memid;
            get.flags = DISPATCH_PROPERTYGET;
            declare(*name, InvokeKind::PropertyGet, get, 0, true);
            if ((desc->wVarFlags & VARFLAG_FREADONLY) == 0) {
                Call put = get;
                put.flags = DISPATCH_PROPERTYPUT;
                put.declared = 1;
                declare(*name, InvokeKind::PropertyPut, put, 0, false);
            }
        }
        info->ReleaseVarDesc(desc);
    }

    Status callMember(const Call& call, Invocation& invocation)
    {
        std::vector<Variant>& args = invocation.args;
        const std::size_t fixed =
            call.packsRest ? std::min(args.size(), call.declared) : args.size();
        const std::size_t total = fixed + (call.packsRest ? 1 : 0);
        // IDispatch takes its arguments last first.
        std::vector<VARIANT> list(total);
        for (VARIANT& v : list) {
            VariantInit(&v);
        }
        Status status = Status::Ok;
        for (std::size_t i = 0; i < fixed && status == Status::Ok; ++i) {
            status = toVariant(args[i], list[total - 1 - i]);
        }
        SAFEARRAY* rest = nullptr;
        if (call.packsRest && status == Status::Ok) {
            const std::size_t more = args.size() - fixed;
            rest = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(more));
            for (std::size_t i = 0; rest != nullptr && i < more && status == Status::Ok; ++i) {
                VARIANT element;
                VariantInit(&element);
                status = toVariant(args[fixed + i], element);
                LONG at = static_cast<LONG>(i);
                SafeArrayPutElement(rest, &at, &element); // copies the element
                VariantClear(&element);
            }
            if (rest == nullptr) {
                status = Status::InvalidArgument;
            }
            list[0].vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
            list[0].pparray = &rest;
        }

        if (status == Status::Ok) {
            DISPID named = DISPID_PROPERTYPUT;
            DISPPARAMS params{list.data(), nullptr, static_cast<UINT>(total), 0};
            const bool put = (call.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
            if (put) {
                params.rgdispidNamedArgs = &named;
                params.cNamedArgs = 1;
            }
            VARIANT result;
            VariantInit(&result);
            EXCEPINFO error{};
            UINT badArgument = 0;
            const HRESULT hr =
                m_dispatch->Invoke(call.id, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &params,
                                   put ? nullptr : &result, &error, &badArgument);
            status = statusOf(hr);
            if (hr == DISP_E_EXCEPTION) {
                if (error.pfnDeferredFillIn != nullptr) {
                    error.pfnDeferredFillIn(&error);
                }
                // Script engines report errors as 0x800A0000 + their number.
                invocation.exception.code =
                    error.wCode != 0 ? error.wCode : HRESULT_CODE(error.scode);
                invocation.exception.source = fromBstr(error.bstrSource);
                invocation.exception.description = fromBstr(error.bstrDescription);
            }
            SysFreeString(error.bstrSource);
            SysFreeString(error.bstrDescription);
            SysFreeString(error.bstrHelpFile);
            if (status == Status::Ok) {
                status = fromVariant(result, invocation.result);
            }
            VariantClear(&result);
        }
        for (std::size_t i = call.packsRest ? 1 : 0; i < total; ++i) {
            VariantClear(&list[i]);
        }
        if (rest != nullptr) {
            SafeArrayDestroy(rest);
        }
        return status;
    }

    IDispatch* m_dispatch;
};

ObjectPtr wrap(IDispatch* dispatch)
{
    if (dispatch == nullptr) {
        return {};
    }
    return std::make_shared<SystemObject>(dispatch);
}

Status toVariant(const Variant& value, VARIANT& out)
{
    VariantInit(&out);
    switch (value.type()) {
    case VariantType::Empty:
    case VariantType::Any:
        return Status::Ok;
    case VariantType::Null:
        out.vt = VT_NULL;
        return Status::Ok;
    case VariantType::Bool:
        out.vt = VT_BOOL;
        out.boolVal = value.boolValue() ? VARIANT_TRUE : VARIANT_FALSE;
        return Status::Ok;
    case VariantType::Int32:
        out.vt = VT_I4;
        out.lVal = value.intValue();
        return Status::Ok;
    case VariantType::Double:
        out.vt = VT_R8;
        out.dblVal = value.doubleValue();
        return Status::Ok;
    case VariantType::String: {
        const std::u16string& text = value.stringValue();
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                        static_cast<UINT>(text.size()));
        return out.bstrVal != nullptr ? Status::Ok : Status::InvalidArgument;
    }
    case VariantType::Object: {
        // Only system objects can cross into the system; the program's own have no IDispatch.
        const ObjectPtr& object = value.objectValue();
        out.vt = VT_DISPATCH;
        out.pdispVal = nullptr;
        if (!object) {
            return Status::Ok;
        }
        const auto* system = dynamic_cast<const SystemObject*>(object.get());
        if (system == nullptr) {
            out.vt = VT_EMPTY;
            return Status::TypeMismatch;
        }
        out.pdispVal = system->dispatch();
        out.pdispVal->AddRef();
        return Status::Ok;
    }
    case VariantType::Bytes: {
        const Bytes& bytes = value.bytesValue();
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (array == nullptr) {
            return Status::InvalidArgument;
        }
        void* data = nullptr;
        if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
            if (!bytes.empty()) {
                std::memcpy(data, bytes.data(), bytes.size());
            }
            SafeArrayUnaccessData(array);
        }
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = array;
        return Status::Ok;
    }
    }
    return Status::TypeMismatch;
}

// The plain kinds: nothing, null, booleans, integers, floating point and text; nothing for a
// value of another kind.
std::optional<Variant> fromPlain(const VARIANT& value)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_ERROR: // a left-out optional argument
        return Variant();
    case VT_NULL:
        return Variant::null();
    case VT_BOOL:
        return Variant(value.boolVal != VARIANT_FALSE);
    case VT_I1:
        return Variant(static_cast<std::int32_t>(value.cVal));
    case VT_UI1:
        return Variant(static_cast<std::int32_t>(value.bVal));
    case VT_I2:
        return Variant(static_cast<std::int32_t>(value.iVal));
    case VT_UI2:
        return Variant(static_cast<std::int32_t>(value.uiVal));
    case VT_I4:
    case VT_INT:
        return Variant(static_cast<std::int32_t>(value.lVal));
    case VT_R4:
        return Variant(static_cast<double>(value.fltVal));
    case VT_R8:
        return Variant(value.dblVal);
    case VT_BSTR:
        return Variant(fromBstr(value.bstrVal));
    default:
        return std::nullopt;
    }
}

// An object given as IUnknown: the object behind its IDispatch, or a null object without one.
Variant fromUnknown(IUnknown* unknown)
{
    IDispatch* dispatch = nullptr;
    if (unknown == nullptr ||
        FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        return Variant(ObjectPtr{});
    }
    Variant object(wrap(dispatch));
    dispatch->Release();
    return object;
}

// A one-dimensional array of bytes; empty when it cannot be read.
Variant fromByteArray(SAFEARRAY* array)
{
    Bytes bytes;
    LONG low = 0;
    LONG high = -1;
    void* data = nullptr;
    if (array != nullptr && SUCCEEDED(SafeArrayGetLBound(array, 1, &low)) &&
        SUCCEEDED(SafeArrayGetUBound(array, 1, &high)) && high >= low &&
        SUCCEEDED(SafeArrayAccessData(array, &data))) {
        const auto* first = static_cast<const std::uint8_t*>(data);
        bytes.assign(first, first + (high - low + 1));
        SafeArrayUnaccessData(array);
    }
    return Variant(std::move(bytes));
}

// Other numbers (unsigned, 64-bit, currency, decimal, dates) as doubles, anything else as its
// text.
Status fromConverted(const VARIANT& value, Variant& out)
{
    VARIANT changed;
    VariantInit(&changed);
    if (SUCCEEDED(VariantChangeType(&changed, const_cast<VARIANT*>(&value), 0, VT_R8))) {
        out = Variant(changed.dblVal);
        return Status::Ok;
    }
    if (SUCCEEDED(VariantChangeType(&changed, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        out = Variant(fromBstr(changed.bstrVal));
        VariantClear(&changed);
        return Status::Ok;
    }
    return Status::TypeMismatch;
}

// A value held by reference, read through the reference.
Status fromReference(const VARIANT& value, Variant& out)
{
    VARIANT plain;
    VariantInit(&plain);
    if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(&value)))) {
        return Status::TypeMismatch;
    }
    const Status status = fromVariant(plain, out);
    VariantClear(&plain);
    return status;
}

Status fromVariant(const VARIANT& value, Variant& out)
{
    out.clear();
    if ((value.vt & VT_BYREF) != 0) {
        return fromReference(value, out);
    }
    if (std::optional<Variant> plain = fromPlain(value)) {
        out = std::move(*plain);
        return Status::Ok;
    }
    switch (value.vt) {
    case VT_DISPATCH:
        out = Variant(wrap(value.pdispVal));
        return Status::Ok;
    case VT_UNKNOWN:
        out = fromUnknown(value.punkVal);
        return Status::Ok;
    case VT_ARRAY | VT_UI1:
        out = fromByteArray(value.parray);
        return Status::Ok;
    default:
        return fromConverted(value, out);
    }
}

} // namespace

Status initializeSystem()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == RPC_E_CHANGED_MODE) {
        // The thread already joined another apartment: usable, and not ours to undo.
        systemInitializations.push_back(false);
        return Status::Ok;
    }
    if (FAILED(hr)) {
        return Status::NotInitialized;
    }
    systemInitializations.push_back(true);
    return Status::Ok;
}

void uninitializeSystem()
{
    if (systemInitializations.empty()) {
        return;
    }
    const bool owed = systemInitializations.back();
    systemInitializations.pop_back();
    if (owed) {
        CoUninitialize();
    }
}

Status createSystemObject(std::string_view name, ObjectPtr& object)
{
    std::wstring wide(name.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    if (name.empty() || length <= 0) {
        return Status::ClassNotRegistered;
    }
    wide.resize(static_cast<std::size_t>(length));
    CLSID classId;
    const HRESULT found = wide.front() == L'{' ? CLSIDFromString(wide.c_str(), &classId)
                                               : CLSIDFromProgID(wide.c_str(), &classId);
    if (FAILED(found)) {
        return Status::ClassNotRegistered;
    }
    IDispatch* dispatch = nullptr;
    const HRESULT created =
        CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                         IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (created == CO_E_NOTINITIALIZED) {
        return Status::NotInitialized;
    }
    if (FAILED(created) || dispatch == nullptr) {
        return Status::ClassNotRegistered;
    }
    object = wrap(dispatch);
    dispatch->Release();
    return Status::Ok;
}

} // namespace marrowtune::com::detail
