#include "com/Variant.h"

#include <cstring>
#include <new>
#include <utility>

#include "com/SafeArray.h"

namespace {

bool OwnsArray(const Variant& v)
{
    return (v.vt & VT_ARRAY) != 0 && (v.vt & VT_BYREF) == 0;
}

// The union's bits, whichever member is in use: every member fits in a pointer.
void CopyValueBits(Variant& dst, const Variant& src)
{
    static_assert(sizeof(Variant::byref) == sizeof(void*), "the pointer is the widest member");
    std::memcpy(&dst.byref, &src.byref, sizeof(void*));
}

} // namespace

Variant::Variant(const Variant& other) : Variant()
{
    // Only memory can run out here: a copy that failed must not pass for an empty value.
    if (FAILED(VariantCopy(this, &other)))
        throw std::bad_alloc();
}

Variant::Variant(Variant&& other) noexcept : Variant()
{
    vt = other.vt;
    CopyValueBits(*this, other);
    bstrVal = std::move(other.bstrVal);
    other.vt = VT_EMPTY;
    other.byref = nullptr;
    other.bstrVal.clear();
}

Variant& Variant::operator=(const Variant& other)
{
    if (this != &other && FAILED(VariantCopy(this, &other)))
        throw std::bad_alloc();
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept
{
    if (this != &other) {
        VariantClear(this);
        vt = other.vt;
        CopyValueBits(*this, other);
        bstrVal = std::move(other.bstrVal);
        other.vt = VT_EMPTY;
        other.byref = nullptr;
        other.bstrVal.clear();
    }
    return *this;
}

Variant::~Variant()
{
    VariantClear(this);
}

Variant Variant::I2(int16_t value)
{
    Variant v;
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

Variant Variant::I4(int32_t value)
{
    Variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

Variant Variant::Bool(bool value)
{
    Variant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::UI2(uint16_t value)
{
    Variant v;
    v.vt = VT_UI2;
    v.uiVal = value;
    return v;
}

Variant Variant::Str(std::string value)
{
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = std::move(value);
    return v;
}

Variant Variant::Array(SafeArray* owned)
{
    Variant v;
    if (owned) {
        v.vt = static_cast<VARTYPE>(VT_ARRAY | owned->ElementType());
        v.parray = owned;
    }
    return v;
}

namespace {

Variant Reference(VARTYPE type, void* target)
{
    Variant v;
    v.vt = static_cast<VARTYPE>(VT_BYREF | type);
    v.byref = target;
    return v;
}

} // namespace

Variant Variant::ByRef(Variant* target) { return Reference(VT_VARIANT, target); }
Variant Variant::ByRefI4(int32_t* target) { return Reference(VT_I4, target); }
Variant Variant::ByRefI2(int16_t* target) { return Reference(VT_I2, target); }

void VariantInit(Variant* variant)
{
    if (!variant)
        return;
    variant->vt = VT_EMPTY;
    variant->byref = nullptr;
    variant->bstrVal.clear();
}

HRESULT VariantClear(Variant* variant)
{
    if (!variant)
        return E_POINTER;
    if (OwnsArray(*variant))
        SafeArrayDestroy(variant->parray);
    VariantInit(variant);
    return S_OK;
}

HRESULT VariantCopy(Variant* dst, const Variant* src)
{
    if (!dst || !src)
        return E_POINTER;
    if (dst == src)
        return S_OK;
    VariantClear(dst);
    if (OwnsArray(*src)) {
        SafeArray* copy = nullptr;
        if (src->parray) {
            copy = src->parray->Copy();
            if (!copy)
                return E_OUTOFMEMORY;
        }
        dst->vt = src->vt;
        dst->parray = copy;
        return S_OK;
    }
    try {
        dst->bstrVal = src->bstrVal;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    dst->vt = src->vt;
    CopyValueBits(*dst, *src);
    return S_OK;
}
