#pragma once
// COM's VARIANT: a type tag and a value. A Variant owns its SafeArray when the type has VT_ARRAY
// without VT_BYREF; copying copies the array (VariantCopy), destruction clears (VariantClear).
// By-reference variants only point; they own nothing.

#include <cstdint>
#include <string>

#include "com/ComTypes.h"

class SafeArray;

struct Variant
{
    VARTYPE vt = VT_EMPTY;
    union {
        int16_t iVal;
        int32_t lVal;
        int16_t boolVal;
        uint16_t uiVal;
        SafeArray* parray;
        Variant* pvarVal;
        int32_t* plVal;
        int16_t* piVal;
        uint16_t* puiVal;
        int16_t* pboolVal;
        SafeArray** pparray;
        std::string* pbstrVal;
        void* byref;
    };
    std::string bstrVal; // the value of VT_BSTR (ANSI bytes)

    Variant() : byref(nullptr) {}
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant();

    static Variant I2(int16_t value);
    static Variant I4(int32_t value);
    static Variant Bool(bool value);
    static Variant UI2(uint16_t value);
    static Variant Str(std::string value);
    // Takes the array; vt = VT_ARRAY | its element type. A null array gives VT_EMPTY.
    static Variant Array(SafeArray* owned);
    // VT_BYREF | VT_VARIANT: the target stays the caller's.
    static Variant ByRef(Variant* target);
    static Variant ByRefI4(int32_t* target);
    static Variant ByRefI2(int16_t* target);
};

void VariantInit(Variant* variant);
// Frees what the variant owns (its array) and makes it VT_EMPTY. E_POINTER for null.
HRESULT VariantClear(Variant* variant);
// Clears dst, then copies src into it (arrays deeply, references as pointers). E_POINTER for a
// null argument, E_OUTOFMEMORY when the array cannot be copied (dst is then VT_EMPTY).
[[nodiscard]] HRESULT VariantCopy(Variant* dst, const Variant* src);
