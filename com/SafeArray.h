#pragma once
// COM's SAFEARRAY: a block of elements of one type with a lower bound and a count per
// dimension. The control's interface uses one-dimensional arrays of VT_UI2 and VT_BSTR; other
// numeric element types and several dimensions can be made so that their refusal can be tested.

#include <cstdint>
#include <string>
#include <vector>

#include "com/ComTypes.h"

struct SafeArrayBound
{
    int32_t lowerBound = 0;
    uint32_t count = 0;
};

class SafeArray
{
public:
    using Bound = SafeArrayBound;

    // A one-dimensional array of `count` zeroed (or empty-string) elements; nullptr for an
    // element type that cannot be stored, or when the upper bound would pass INT32_MAX.
    static SafeArray* CreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count);
    // Any number of dimensions (at least one); bounds[0] is dimension 1. nullptr as above, for no
    // dimension, or when the element count would pass what memory can hold.
    static SafeArray* Create(VARTYPE vt, std::vector<Bound> bounds);

    // The storable element types: VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_R8,
    // VT_BOOL and VT_BSTR.
    static bool IsSupportedElementType(VARTYPE vt);

    VARTYPE ElementType() const { return m_vt; }
    uint32_t Dimensions() const { return static_cast<uint32_t>(m_bounds.size()); }
    // All elements over all dimensions.
    uint32_t ElementCount() const { return m_count; }

    // Bounds of dimension `dim`, counted from 1 as in COM; DISP_E_BADINDEX for another dimension,
    // E_POINTER for a null out. The upper bound of an empty dimension is lowerBound - 1.
    [[nodiscard]] HRESULT GetLBound(uint32_t dim, int32_t* out) const;
    [[nodiscard]] HRESULT GetUBound(uint32_t dim, int32_t* out) const;

    // One element of a one-dimensional array by its index (between the bounds). DISP_E_BADINDEX
    // out of range or when the array has more than one dimension, DISP_E_TYPEMISMATCH when the
    // element type is not VT_UI2 (resp. VT_BSTR), E_POINTER for a null out. Nothing is changed
    // on failure.
    [[nodiscard]] HRESULT GetElement(int32_t index, uint16_t* out) const;
    [[nodiscard]] HRESULT GetElement(int32_t index, std::string* out) const;
    [[nodiscard]] HRESULT PutElement(int32_t index, uint16_t value);
    [[nodiscard]] HRESULT PutElement(int32_t index, const std::string& value);

    // A deep copy; nullptr when memory runs out.
    SafeArray* Copy() const;

    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;

private:
    SafeArray() = default;
    ~SafeArray() = default;
    friend void SafeArrayDestroy(SafeArray* array);

    // Offset of a one-dimensional index, or false.
    bool Offset(int32_t index, uint32_t* offset) const;
    // The offset of an element of type `vt`: DISP_E_TYPEMISMATCH for an array of another type,
    // DISP_E_BADINDEX for an index outside it.
    [[nodiscard]] HRESULT ElementOffset(VARTYPE vt, int32_t index, uint32_t* offset) const;
    static uint32_t ElementSize(VARTYPE vt);

    VARTYPE m_vt = VT_EMPTY;
    std::vector<Bound> m_bounds;
    uint32_t m_count = 0;
    std::vector<uint8_t> m_bytes;        // numeric elements, little-endian as in memory
    std::vector<std::string> m_strings;  // VT_BSTR elements
};

// Frees an array of CreateVector, Create or Copy; null is allowed.
void SafeArrayDestroy(SafeArray* array);
