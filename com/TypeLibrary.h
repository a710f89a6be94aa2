#pragma once
// The type library of a COM server as a static table: its interfaces, their members with dispatch
// ids, argument types and result, and the library's id and version. Invoke checks every call
// against it; GetTypeInfo hands it out through ITypeInfo / ITypeLib.

#include <cstdint>
#include <string>
#include <vector>

#include "com/Unknown.h"

struct MemberArg
{
    const char* name;
    VARTYPE type; // VT_VARIANT accepts any value
};

// A method lists its arguments. A property lists its value as the last argument: a put passes
// all of them, a get all but that one, and `result` is the value's type.
struct MemberInfo
{
    DISPID id;
    const char* name;
    uint16_t flags; // the DISPATCH_* kinds of call allowed
    std::vector<MemberArg> args;
    VARTYPE result; // VT_EMPTY = none
};

struct InterfaceInfo
{
    IID iid;
    const char* name;
    const char* help;
    std::vector<MemberInfo> members;

    const MemberInfo* Find(DISPID id) const;
    // By name, without regard to ASCII case.
    const MemberInfo* FindName(const std::string& name) const;
};

struct TypeLibraryInfo
{
    GUID libid;
    const char* name;
    uint16_t major;
    uint16_t minor;
    const char* help;
    const char* helpFile;
    std::vector<InterfaceInfo> interfaces;

    const InterfaceInfo* FindInterface(const IID& iid) const;
};

// Checks a call against its member: DISP_E_MEMBERNOTFOUND when the kind of call is not allowed,
// DISP_E_BADPARAMCOUNT for the wrong number of arguments, DISP_E_TYPEMISMATCH when an argument
// does not fit (VT_I2, VT_I4, VT_UI2 and VT_BOOL convert among themselves when the value fits;
// VT_BSTR, by-reference and array types must match exactly, and their pointers must not be null);
// S_OK when it may go ahead.
[[nodiscard]] HRESULT CheckArguments(const MemberInfo& member, uint16_t flags, const DispParams& params);

// The number of arguments a call of this kind passes to the member.
size_t ExpectedArgumentCount(const MemberInfo& member, uint16_t flags);

// Converts the arguments of a checked call to the declared types in place, so the member's code
// reads exactly the field of its declared type (lVal for VT_I4, and so on).
[[nodiscard]] HRESULT CoerceArguments(const MemberInfo& member, uint16_t flags, DispParams& params);

// The integral value of a VT_I2, VT_I4, VT_UI2 or VT_BOOL variant (by value); false otherwise.
bool IntegralValue(const Variant& value, int64_t* out);

// ITypeInfo of one interface of the table, and ITypeLib of the whole table. The table must
// outlive the objects (tables are static). E_POINTER for a null out, TYPE_E_ELEMENTNOTFOUND for
// an interface the table does not hold.
[[nodiscard]] HRESULT CreateTypeLib(const TypeLibraryInfo& library, ITypeLib** out);
[[nodiscard]] HRESULT CreateTypeInfo(const TypeLibraryInfo& library, const IID& iid, ITypeInfo** out);
