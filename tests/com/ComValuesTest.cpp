// GUID text, Variant and SafeArray semantics, and the array arguments built on them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/Bstr.h"
#include "com/Guid.h"
#include "com/HResultText.h"
#include "com/SafeArray.h"
#include "com/Variant.h"
#include "com/VariantArrays.h"

namespace {

TEST(ComGuid, TextRoundTripsInUpperCaseAndParsesEitherCase)
{
    GUID guid;
    ASSERT_TRUE(GuidFromString("{d00bade4-db5b-4f6e-b929-135dfd9e8102}", guid));
    EXPECT_EQ(guid.Data1, 0xD00BADE4u);
    EXPECT_EQ(guid.Data2, 0xDB5Bu);
    EXPECT_EQ(guid.Data3, 0x4F6Eu);
    EXPECT_EQ(guid.Data4[0], 0xB9);
    EXPECT_EQ(guid.Data4[7], 0x02);
    EXPECT_EQ(GuidToString(guid), "{D00BADE4-DB5B-4F6E-B929-135DFD9E8102}");
    EXPECT_EQ(GuidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidToString(IID_IConnectionPoint), "{B196B286-BAB4-101A-B69C-00AA00341D07}");
}

TEST(ComGuid, MalformedTextIsRefusedAndLeavesTheGuid)
{
    const char* bad[] = {
        "",
        "D00BADE4-DB5B-4F6E-B929-135DFD9E8102",     // no braces
        "{D00BADE4-DB5B-4F6E-B929-135DFD9E810}",    // one digit short
        "{D00BADE4-DB5B-4F6E-B929-135DFD9E81022}",  // one too many
        "{D00BADE4+DB5B-4F6E-B929-135DFD9E8102}",   // wrong separator
        "{D00BADE4-DB5B-4F6E-B929-135DFD9E810G}",   // not hex
        "{ 00BADE4-DB5B-4F6E-B929-135DFD9E8102}",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        GUID guid = IID_IUnknown;
        EXPECT_FALSE(GuidFromString(text, guid));
        EXPECT_EQ(guid, IID_IUnknown);
    }
}

TEST(ComSafeArray, BoundsOfAVectorWithAnyLowerBound)
{
    SafeArray* array = SafeArray::CreateVector(VT_UI2, -2, 4);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->Dimensions(), 1u);
    EXPECT_EQ(array->ElementType(), VT_UI2);
    int32_t lower = 0;
    int32_t upper = 0;
    EXPECT_EQ(array->GetLBound(1, &lower), S_OK);
    EXPECT_EQ(array->GetUBound(1, &upper), S_OK);
    EXPECT_EQ(lower, -2);
    EXPECT_EQ(upper, 1);
    EXPECT_EQ(array->GetLBound(0, &lower), DISP_E_BADINDEX);
    EXPECT_EQ(array->GetUBound(2, &upper), DISP_E_BADINDEX);

    for (int32_t index = -2; index <= 1; ++index)
        EXPECT_EQ(array->PutElement(index, uint16_t(100 + index)), S_OK);
    uint16_t value = 7;
    EXPECT_EQ(array->GetElement(-2, &value), S_OK);
    EXPECT_EQ(value, 98);
    EXPECT_EQ(array->GetElement(1, &value), S_OK);
    EXPECT_EQ(value, 101);
    SafeArrayDestroy(array);
}

TEST(ComSafeArray, IndexOutsideTheBoundsIsRefusedAndChangesNothing)
{
    SafeArray* array = SafeArray::CreateVector(VT_UI2, 0, 3);
    ASSERT_NE(array, nullptr);
    const int32_t outside[] = {-1, 3, INT32_MIN, INT32_MAX};
    for (int32_t index : outside) {
        SCOPED_TRACE(index);
        uint16_t value = 77;
        EXPECT_EQ(array->GetElement(index, &value), DISP_E_BADINDEX);
        EXPECT_EQ(value, 77);
        EXPECT_EQ(array->PutElement(index, uint16_t(5)), DISP_E_BADINDEX);
    }
    SafeArrayDestroy(array);
}

TEST(ComSafeArray, WrongElementTypeIsATypeMismatch)
{
    SafeArray* strings = SafeArray::CreateVector(VT_BSTR, 0, 2);
    SafeArray* numbers = SafeArray::CreateVector(VT_UI2, 0, 2);
    SafeArray* longs = SafeArray::CreateVector(VT_I4, 0, 2);
    ASSERT_TRUE(strings && numbers && longs);
    uint16_t value = 9;
    std::string text = "kept";
    EXPECT_EQ(strings->GetElement(0, &value), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(strings->PutElement(0, uint16_t(1)), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(numbers->GetElement(0, &text), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(numbers->PutElement(0, std::string("x")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(longs->GetElement(0, &value), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(strings->PutElement(1, std::string("Ch \xB5V")), S_OK);
    EXPECT_EQ(strings->GetElement(1, &text), S_OK);
    EXPECT_EQ(text, "Ch \xB5V");
    SafeArrayDestroy(strings);
    SafeArrayDestroy(numbers);
    SafeArrayDestroy(longs);
}

TEST(ComSafeArray, UnsupportedTypesAndImpossibleBoundsAreNotMade)
{
    EXPECT_EQ(SafeArray::CreateVector(VT_VARIANT, 0, 1), nullptr);
    EXPECT_EQ(SafeArray::CreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArray::CreateVector(VT_UI2, INT32_MAX, 2), nullptr); // upper bound overflows
    EXPECT_EQ(SafeArray::Create(VT_UI2, {}), nullptr);
    EXPECT_EQ(SafeArray::Create(VT_UI2, {{0, 0x10000}, {0, 0x10000}}), nullptr); // too large
    SafeArray* last = SafeArray::CreateVector(VT_UI2, INT32_MAX, 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->PutElement(INT32_MAX, uint16_t(3)), S_OK);
    SafeArrayDestroy(last);
}

TEST(ComSafeArray, ZeroLengthVectorIsValid)
{
    SafeArray* array = SafeArray::CreateVector(VT_UI2, 0, 0);
    ASSERT_NE(array, nullptr);
    int32_t lower = 5;
    int32_t upper = 5;
    EXPECT_EQ(array->GetLBound(1, &lower), S_OK);
    EXPECT_EQ(array->GetUBound(1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, -1);
    uint16_t value = 0;
    EXPECT_EQ(array->GetElement(0, &value), DISP_E_BADINDEX);

    std::vector<uint16_t> ids = {1, 2};
    const Variant holder = Variant::Array(array);
    EXPECT_EQ(ReadUI2Array(holder, &ids), S_OK);
    EXPECT_TRUE(ids.empty());
}

TEST(ComSafeArray, SeveralDimensionsKeepTheirBoundsButRefuseSingleIndexAccess)
{
    SafeArray* array = SafeArray::Create(VT_UI2, {{1, 3}, {-1, 2}});
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->Dimensions(), 2u);
    EXPECT_EQ(array->ElementCount(), 6u);
    int32_t bound = 0;
    EXPECT_EQ(array->GetUBound(1, &bound), S_OK);
    EXPECT_EQ(bound, 3);
    EXPECT_EQ(array->GetLBound(2, &bound), S_OK);
    EXPECT_EQ(bound, -1);
    uint16_t value = 0;
    EXPECT_EQ(array->GetElement(1, &value), DISP_E_BADINDEX);
    EXPECT_EQ(array->PutElement(1, uint16_t(1)), DISP_E_BADINDEX);

    std::vector<uint16_t> ids = {4};
    const Variant holder = Variant::Array(array);
    EXPECT_EQ(ReadUI2Array(holder, &ids), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ids, std::vector<uint16_t>({4}));
}

TEST(ComVariant, CopyIsDeepAndClearFreesTheArray)
{
    Variant original = MakeUI2Array({3, 1, 4});
    ASSERT_EQ(original.vt, VT_ARRAY | VT_UI2);
    Variant copy = original;
    ASSERT_NE(copy.parray, original.parray);
    ASSERT_EQ(copy.parray->PutElement(0, uint16_t(9)), S_OK);
    std::vector<uint16_t> ids;
    ASSERT_EQ(ReadUI2Array(original, &ids), S_OK);
    EXPECT_EQ(ids, std::vector<uint16_t>({3, 1, 4}));
    ASSERT_EQ(ReadUI2Array(copy, &ids), S_OK);
    EXPECT_EQ(ids, std::vector<uint16_t>({9, 1, 4}));

    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(copy.parray, nullptr);
    EXPECT_EQ(VariantClear(&copy), S_OK); // twice is harmless
    EXPECT_EQ(VariantClear(nullptr), E_POINTER);

    // Assigning over an array frees the old one (LeakSanitizer watches), moving hands it over.
    original = Variant::Str("text");
    EXPECT_EQ(original.vt, VT_BSTR);
    Variant moved = MakeStringArray({"a", "b"});
    Variant target = std::move(moved);
    EXPECT_EQ(moved.vt, VT_EMPTY);
    std::vector<std::string> names;
    ASSERT_EQ(ReadStringArray(target, &names), S_OK);
    EXPECT_EQ(names, std::vector<std::string>({"a", "b"}));
    EXPECT_EQ(VariantCopy(&target, &target), S_OK);
    EXPECT_EQ(target.vt, VT_ARRAY | VT_BSTR);
}

TEST(ComVariant, ReferencesPointAndOwnNothing)
{
    Variant inner = MakeUI2Array({7});
    Variant reference = Variant::ByRef(&inner);
    EXPECT_EQ(reference.vt, VT_BYREF | VT_VARIANT);
    {
        Variant copy = reference;
        EXPECT_EQ(copy.pvarVal, &inner);
    }
    VariantClear(&reference);
    std::vector<uint16_t> ids;
    ASSERT_EQ(ReadUI2Array(inner, &ids), S_OK); // the target survived both clears
    EXPECT_EQ(ids, std::vector<uint16_t>({7}));

    int32_t number = 5;
    const Variant byRefNumber = Variant::ByRefI4(&number);
    *byRefNumber.plVal = 6;
    EXPECT_EQ(number, 6);
    EXPECT_EQ(Variant::Bool(true).boolVal, VARIANT_TRUE);
    EXPECT_EQ(Variant::Array(nullptr).vt, VT_EMPTY);
}

TEST(ComVariantArrays, ReadAcceptsTheArrayDirectlyOrByReferenceOnly)
{
    Variant array = MakeUI2Array({10, 20});
    Variant reference = Variant::ByRef(&array);
    SafeArray* raw = array.parray;
    Variant arrayReference;
    arrayReference.vt = VT_BYREF | VT_ARRAY | VT_UI2;
    arrayReference.pparray = &raw;
    for (const Variant* form : {&array, &reference, &arrayReference}) {
        std::vector<uint16_t> ids;
        EXPECT_EQ(ReadUI2Array(*form, &ids), S_OK);
        EXPECT_EQ(ids, std::vector<uint16_t>({10, 20}));
    }

    Variant strings = MakeStringArray({"x"});
    Variant nullReference = Variant::ByRef(nullptr);
    Variant number = Variant::I4(3);
    Variant doubleReference = Variant::ByRef(&reference);
    SafeArray* longs = SafeArray::CreateVector(VT_I4, 0, 1);
    Variant longArray = Variant::Array(longs);
    for (const Variant* wrong : {&strings, &nullReference, &number, &doubleReference, &longArray}) {
        SCOPED_TRACE(wrong->vt);
        std::vector<uint16_t> ids = {1};
        EXPECT_EQ(ReadUI2Array(*wrong, &ids), DISP_E_TYPEMISMATCH);
        EXPECT_EQ(ids, std::vector<uint16_t>({1}));
    }
}

TEST(ComBstr, LengthPrefixedStringsHoldEmbeddedZeros)
{
    BSTR text = SysAllocStringLen("a\0b", 3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(text[3], '\0');
    SysFreeString(text);
    SysFreeString(nullptr);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(Bstr("Keyrow").Text(), "Keyrow");
}

TEST(ComHResultText, NamesKnownCodes)
{
    EXPECT_EQ(HResultText(REGDB_E_CLASSNOTREG), "0x80040154 (REGDB_E_CLASSNOTREG)");
    EXPECT_EQ(HResultText(SELFREG_E_CLASS), "0x80040201 (SELFREG_E_CLASS)");
    EXPECT_EQ(HResultText(MakeHResult(0x80001234u)), "0x80001234");
}

} // namespace
