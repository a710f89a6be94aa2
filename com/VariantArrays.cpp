#include "com/VariantArrays.h"

#include <new>

HRESULT ArrayOfVariant(const Variant& value, VARTYPE elementType, const SafeArray** out)
{
    if (!out)
        return E_POINTER;
    const Variant* holder = &value;
    if (holder->vt == (VT_BYREF | VT_VARIANT)) {
        holder = holder->pvarVal;
        if (!holder)
            return DISP_E_TYPEMISMATCH;
    }
    const SafeArray* array = nullptr;
    if (holder->vt == (VT_ARRAY | elementType))
        array = holder->parray;
    else if (holder->vt == (VT_BYREF | VT_ARRAY | elementType))
        array = holder->pparray ? *holder->pparray : nullptr;
    if (!array || array->ElementType() != elementType || array->Dimensions() != 1)
        return DISP_E_TYPEMISMATCH;
    *out = array;
    return S_OK;
}

namespace {

template <class T>
HRESULT ReadArray(const Variant& value, VARTYPE elementType, std::vector<T>* out)
{
    if (!out)
        return E_POINTER;
    const SafeArray* array = nullptr;
    HRESULT hr = ArrayOfVariant(value, elementType, &array);
    if (FAILED(hr))
        return hr;
    int32_t lower = 0;
    int32_t upper = 0;
    hr = array->GetLBound(1, &lower);
    if (SUCCEEDED(hr))
        hr = array->GetUBound(1, &upper);
    if (FAILED(hr))
        return hr;
    try {
        std::vector<T> values;
        values.reserve(array->ElementCount());
        for (int64_t index = lower; index <= upper; ++index) {
            T element{};
            hr = array->GetElement(static_cast<int32_t>(index), &element);
            if (FAILED(hr))
                return hr;
            values.push_back(std::move(element));
        }
        *out = std::move(values);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

template <class T>
Variant MakeArray(VARTYPE elementType, const std::vector<T>& values)
{
    if (values.size() > UINT32_MAX)
        return Variant();
    SafeArray* array =
        SafeArray::CreateVector(elementType, 0, static_cast<uint32_t>(values.size()));
    if (!array)
        return Variant();
    for (size_t i = 0; i < values.size(); ++i) {
        if (FAILED(array->PutElement(static_cast<int32_t>(i), values[i]))) {
            SafeArrayDestroy(array);
            return Variant();
        }
    }
    return Variant::Array(array);
}

} // namespace

HRESULT ReadUI2Array(const Variant& value, std::vector<uint16_t>* out)
{
    return ReadArray(value, VT_UI2, out);
}

HRESULT ReadStringArray(const Variant& value, std::vector<std::string>* out)
{
    return ReadArray(value, VT_BSTR, out);
}

Variant MakeUI2Array(const std::vector<uint16_t>& values)
{
    return MakeArray(VT_UI2, values);
}

Variant MakeStringArray(const std::vector<std::string>& values)
{
    return MakeArray(VT_BSTR, values);
}
