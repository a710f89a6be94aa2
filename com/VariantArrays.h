#pragma once
// The array arguments of automation calls: one-dimensional SafeArrays of VT_UI2 or VT_BSTR,
// passed as a Variant holding the array, or by reference to such a Variant.

#include <cstdint>
#include <string>
#include <vector>

#include "com/SafeArray.h"
#include "com/Variant.h"

// The array a variant carries: VT_ARRAY|elementType, VT_BYREF|VT_ARRAY|elementType, or
// VT_BYREF|VT_VARIANT pointing at one of those. DISP_E_TYPEMISMATCH for any other variant, for
// another element type, a null array or more than one dimension; E_POINTER for a null out.
[[nodiscard]] HRESULT ArrayOfVariant(const Variant& value, VARTYPE elementType, const SafeArray** out);

// Every element from the lower to the upper bound; the error of ArrayOfVariant otherwise, `out`
// then unchanged. A zero-length array gives an empty list.
[[nodiscard]] HRESULT ReadUI2Array(const Variant& value, std::vector<uint16_t>* out);
[[nodiscard]] HRESULT ReadStringArray(const Variant& value, std::vector<std::string>* out);

// A one-dimensional array with lower bound 0 in a variant (vt VT_ARRAY|VT_UI2, VT_ARRAY|VT_BSTR);
// VT_EMPTY when memory runs out.
Variant MakeUI2Array(const std::vector<uint16_t>& values);
Variant MakeStringArray(const std::vector<std::string>& values);
