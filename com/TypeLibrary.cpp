#include "com/TypeLibrary.h"

#include <limits>
#include <new>

#include "platform/AsciiCase.h"

namespace {

bool IsIntegral(VARTYPE vt)
{
    return vt == VT_I2 || vt == VT_I4 || vt == VT_UI2 || vt == VT_BOOL;
}

// Whether an integral value can be held by the integral type `vt`. Any value makes a BOOL
// (non-zero is true, as COM converts).
bool FitsIn(VARTYPE vt, int64_t value)
{
    switch (vt) {
    case VT_I2:
        return value >= std::numeric_limits<int16_t>::min()
               && value <= std::numeric_limits<int16_t>::max();
    case VT_UI2:
        return value >= 0 && value <= std::numeric_limits<uint16_t>::max();
    case VT_I4:
        return value >= std::numeric_limits<int32_t>::min()
               && value <= std::numeric_limits<int32_t>::max();
    case VT_BOOL:
        return true;
    default:
        return false;
    }
}

bool ArgumentFits(VARTYPE declared, const Variant& value)
{
    if (declared == VT_VARIANT)
        return true;
    if (IsIntegral(declared) && IsIntegral(value.vt)) {
        int64_t number = 0;
        return IntegralValue(value, &number) && FitsIn(declared, number);
    }
    if (value.vt != declared)
        return false;
    // The member's code follows these pointers: a null one cannot be what the caller meant.
    if ((declared & VT_BYREF) != 0)
        return value.byref != nullptr;
    if ((declared & VT_ARRAY) != 0)
        return value.parray != nullptr;
    return true;
}

// Which kind of call `flags` makes of the member: one DISPATCH_* value, or 0 when none allowed.
uint16_t CallKind(const MemberInfo& member, uint16_t flags)
{
    const uint16_t allowed = static_cast<uint16_t>(flags & member.flags);
    if (allowed & DISPATCH_PROPERTYPUT)
        return DISPATCH_PROPERTYPUT;
    if (allowed & DISPATCH_METHOD)
        return DISPATCH_METHOD;
    if (allowed & DISPATCH_PROPERTYGET)
        return DISPATCH_PROPERTYGET;
    return 0;
}

Variant ConvertIntegral(VARTYPE vt, int64_t value)
{
    switch (vt) {
    case VT_I2:
        return Variant::I2(static_cast<int16_t>(value));
    case VT_UI2:
        return Variant::UI2(static_cast<uint16_t>(value));
    case VT_I4:
        return Variant::I4(static_cast<int32_t>(value));
    default:
        return Variant::Bool(value != 0);
    }
}

class CTypeLib : public CRefCounted<ITypeLib>
{
public:
    explicit CTypeLib(const TypeLibraryInfo& library) : m_library(library) {}

    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_ITypeLib)
            return ReturnInterface(static_cast<ITypeLib*>(this), out);
        return E_NOINTERFACE;
    }

    HRESULT GetLibAttr(TLibAttr* out) override
    {
        if (!out)
            return E_POINTER;
        out->guid = m_library.libid;
        out->wMajorVerNum = m_library.major;
        out->wMinorVerNum = m_library.minor;
        return S_OK;
    }
    uint32_t GetTypeInfoCount() override
    {
        return static_cast<uint32_t>(m_library.interfaces.size());
    }
    HRESULT GetTypeInfo(uint32_t index, ITypeInfo** out) override;
    HRESULT GetTypeInfoOfGuid(const IID& iid, ITypeInfo** out) override;
    HRESULT GetDocumentation(int32_t index, std::string* name, std::string* help,
                             std::string* helpFile) override
    {
        const char* nameText = m_library.name;
        const char* helpText = m_library.help;
        const char* helpFileText = m_library.helpFile;
        if (index != -1) {
            if (index < 0 || size_t(index) >= m_library.interfaces.size())
                return TYPE_E_ELEMENTNOTFOUND;
            nameText = m_library.interfaces[size_t(index)].name;
            helpText = m_library.interfaces[size_t(index)].help;
            helpFileText = nullptr;
        }
        if (name)
            *name = nameText ? nameText : "";
        if (help)
            *help = helpText ? helpText : "";
        if (helpFile)
            *helpFile = helpFileText ? helpFileText : "";
        return S_OK;
    }

    const TypeLibraryInfo& Library() const { return m_library; }

private:
    ~CTypeLib() override = default;

    const TypeLibraryInfo& m_library;
};

class CTypeInfo : public CRefCounted<ITypeInfo>
{
public:
    CTypeInfo(CTypeLib* library, uint32_t index) : m_library(library), m_index(index) {}

    HRESULT QueryInterface(const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_ITypeInfo)
            return ReturnInterface(static_cast<ITypeInfo*>(this), out);
        return E_NOINTERFACE;
    }

    HRESULT GetContainingTypeLib(ITypeLib** out, uint32_t* index) override
    {
        if (!out)
            return E_POINTER;
        *out = m_library.Get();
        m_library->AddRef();
        if (index)
            *index = m_index;
        return S_OK;
    }
    HRESULT GetGuid(IID* out) override
    {
        if (!out)
            return E_POINTER;
        *out = Info().iid;
        return S_OK;
    }
    HRESULT GetDocumentation(DISPID id, std::string* name, std::string* help) override
    {
        const char* nameText = Info().name;
        const char* helpText = Info().help;
        if (id != DISPID_UNKNOWN) {
            const MemberInfo* member = Info().Find(id);
            if (!member)
                return TYPE_E_ELEMENTNOTFOUND;
            nameText = member->name;
            helpText = nullptr;
        }
        if (name)
            *name = nameText ? nameText : "";
        if (help)
            *help = helpText ? helpText : "";
        return S_OK;
    }
    HRESULT GetIDsOfNames(const std::string& name, DISPID* out) override
    {
        if (!out)
            return E_POINTER;
        const MemberInfo* member = Info().FindName(name);
        if (!member)
            return DISP_E_UNKNOWNNAME;
        *out = member->id;
        return S_OK;
    }
    HRESULT GetInterfaceInfo(const InterfaceInfo** out) override
    {
        if (!out)
            return E_POINTER;
        *out = &Info();
        return S_OK;
    }

private:
    ~CTypeInfo() override = default;
    const InterfaceInfo& Info() const { return m_library->Library().interfaces[m_index]; }

    ComPtr<CTypeLib> m_library;
    uint32_t m_index;
};

HRESULT CTypeLib::GetTypeInfo(uint32_t index, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index >= m_library.interfaces.size())
        return TYPE_E_ELEMENTNOTFOUND;
    CTypeInfo* info = new (std::nothrow) CTypeInfo(this, index);
    if (!info)
        return E_OUTOFMEMORY;
    *out = info;
    return S_OK;
}

HRESULT CTypeLib::GetTypeInfoOfGuid(const IID& iid, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < m_library.interfaces.size(); ++i)
        if (m_library.interfaces[i].iid == iid)
            return GetTypeInfo(static_cast<uint32_t>(i), out);
    return TYPE_E_ELEMENTNOTFOUND;
}

} // namespace

const MemberInfo* InterfaceInfo::Find(DISPID id) const
{
    for (const MemberInfo& member : members)
        if (member.id == id)
            return &member;
    return nullptr;
}

const MemberInfo* InterfaceInfo::FindName(const std::string& name) const
{
    for (const MemberInfo& member : members)
        if (member.name && AsciiEqualsNoCase(name, member.name))
            return &member;
    return nullptr;
}

const InterfaceInfo* TypeLibraryInfo::FindInterface(const IID& iid) const
{
    for (const InterfaceInfo& info : interfaces)
        if (info.iid == iid)
            return &info;
    return nullptr;
}

bool IntegralValue(const Variant& value, int64_t* out)
{
    switch (value.vt) {
    case VT_I2:
        *out = value.iVal;
        return true;
    case VT_I4:
        *out = value.lVal;
        return true;
    case VT_UI2:
        *out = value.uiVal;
        return true;
    case VT_BOOL:
        *out = value.boolVal;
        return true;
    default:
        return false;
    }
}

size_t ExpectedArgumentCount(const MemberInfo& member, uint16_t flags)
{
    const uint16_t kind = CallKind(member, flags);
    if (kind == DISPATCH_PROPERTYGET && (member.flags & DISPATCH_PROPERTYPUT) != 0
        && !member.args.empty())
        return member.args.size() - 1;
    return member.args.size();
}

HRESULT CheckArguments(const MemberInfo& member, uint16_t flags, const DispParams& params)
{
    if (CallKind(member, flags) == 0)
        return DISP_E_MEMBERNOTFOUND;
    const size_t count = ExpectedArgumentCount(member, flags);
    if (params.args.size() != count)
        return DISP_E_BADPARAMCOUNT;
    for (size_t i = 0; i < count; ++i)
        if (!ArgumentFits(member.args[i].type, params.args[i]))
            return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT CoerceArguments(const MemberInfo& member, uint16_t flags, DispParams& params)
{
    const HRESULT hr = CheckArguments(member, flags, params);
    if (FAILED(hr))
        return hr;
    for (size_t i = 0; i < params.args.size(); ++i) {
        const VARTYPE declared = member.args[i].type;
        Variant& arg = params.args[i];
        int64_t value = 0;
        if (declared != arg.vt && IsIntegral(declared) && IntegralValue(arg, &value))
            arg = ConvertIntegral(declared, value);
    }
    return S_OK;
}

HRESULT CreateTypeLib(const TypeLibraryInfo& library, ITypeLib** out)
{
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) CTypeLib(library);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateTypeInfo(const TypeLibraryInfo& library, const IID& iid, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<ITypeLib> typeLib;
    const HRESULT hr = CreateTypeLib(library, typeLib.Address());
    if (FAILED(hr))
        return hr;
    return typeLib->GetTypeInfoOfGuid(iid, out);
}
