#include "com/SafeArray.h"

#include <cstring>
#include <limits>
#include <new>

namespace {

// The largest element count we allocate: far beyond any channel list, well inside memory.
constexpr uint64_t kMaxElements = uint64_t(1) << 28;

} // namespace

uint32_t SafeArray::ElementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
        return 4;
    case VT_R8:
        return 8;
    default:
        return 0;
    }
}

bool SafeArray::IsSupportedElementType(VARTYPE vt)
{
    return vt == VT_BSTR || ElementSize(vt) != 0;
}

SafeArray* SafeArray::CreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count)
{
    return Create(vt, {Bound{lowerBound, count}});
}

SafeArray* SafeArray::Create(VARTYPE vt, std::vector<Bound> bounds)
{
    if (!IsSupportedElementType(vt) || bounds.empty())
        return nullptr;
    uint64_t total = 1;
    for (const Bound& bound : bounds) {
        // The upper bound lowerBound + count - 1 must stay an int32.
        if (bound.count > 0
            && int64_t(bound.lowerBound) + int64_t(bound.count) - 1
                   > std::numeric_limits<int32_t>::max())
            return nullptr;
        total *= bound.count;
        if (total > kMaxElements)
            return nullptr;
    }
    SafeArray* array = new (std::nothrow) SafeArray;
    if (!array)
        return nullptr;
    try {
        array->m_vt = vt;
        array->m_bounds = std::move(bounds);
        array->m_count = static_cast<uint32_t>(total);
        if (vt == VT_BSTR)
            array->m_strings.resize(array->m_count);
        else
            array->m_bytes.assign(size_t(array->m_count) * ElementSize(vt), 0);
    } catch (const std::bad_alloc&) {
        delete array;
        return nullptr;
    }
    return array;
}

HRESULT SafeArray::GetLBound(uint32_t dim, int32_t* out) const
{
    if (!out)
        return E_POINTER;
    if (dim < 1 || dim > m_bounds.size())
        return DISP_E_BADINDEX;
    *out = m_bounds[dim - 1].lowerBound;
    return S_OK;
}

HRESULT SafeArray::GetUBound(uint32_t dim, int32_t* out) const
{
    if (!out)
        return E_POINTER;
    if (dim < 1 || dim > m_bounds.size())
        return DISP_E_BADINDEX;
    const Bound& bound = m_bounds[dim - 1];
    *out = static_cast<int32_t>(int64_t(bound.lowerBound) + int64_t(bound.count) - 1);
    return S_OK;
}

bool SafeArray::Offset(int32_t index, uint32_t* offset) const
{
    if (m_bounds.size() != 1)
        return false;
    const int64_t relative = int64_t(index) - int64_t(m_bounds[0].lowerBound);
    if (relative < 0 || relative >= int64_t(m_bounds[0].count))
        return false;
    *offset = static_cast<uint32_t>(relative);
    return true;
}

HRESULT SafeArray::ElementOffset(VARTYPE vt, int32_t index, uint32_t* offset) const
{
    if (m_vt != vt)
        return DISP_E_TYPEMISMATCH;
    return Offset(index, offset) ? S_OK : DISP_E_BADINDEX;
}

HRESULT SafeArray::GetElement(int32_t index, uint16_t* out) const
{
    if (!out)
        return E_POINTER;
    uint32_t offset = 0;
    if (const HRESULT hr = ElementOffset(VT_UI2, index, &offset); FAILED(hr))
        return hr;
    std::memcpy(out, m_bytes.data() + size_t(offset) * 2, 2);
    return S_OK;
}

HRESULT SafeArray::GetElement(int32_t index, std::string* out) const
{
    if (!out)
        return E_POINTER;
    uint32_t offset = 0;
    if (const HRESULT hr = ElementOffset(VT_BSTR, index, &offset); FAILED(hr))
        return hr;
    try {
        *out = m_strings[offset];
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT SafeArray::PutElement(int32_t index, uint16_t value)
{
    uint32_t offset = 0;
    if (const HRESULT hr = ElementOffset(VT_UI2, index, &offset); FAILED(hr))
        return hr;
    std::memcpy(m_bytes.data() + size_t(offset) * 2, &value, 2);
    return S_OK;
}

HRESULT SafeArray::PutElement(int32_t index, const std::string& value)
{
    uint32_t offset = 0;
    if (const HRESULT hr = ElementOffset(VT_BSTR, index, &offset); FAILED(hr))
        return hr;
    try {
        m_strings[offset] = value;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

SafeArray* SafeArray::Copy() const
{
    SafeArray* copy = new (std::nothrow) SafeArray;
    if (!copy)
        return nullptr;
    try {
        copy->m_vt = m_vt;
        copy->m_bounds = m_bounds;
        copy->m_count = m_count;
        copy->m_bytes = m_bytes;
        copy->m_strings = m_strings;
    } catch (const std::bad_alloc&) {
        delete copy;
        return nullptr;
    }
    return copy;
}

void SafeArrayDestroy(SafeArray* array)
{
    delete array;
}
