#pragma once
// The identity and type library of the tiny server library the COM tests create by class id,
// shared by the server and the tests (each gets its own copy of the table).

#include "com/TypeLibrary.h"

// {5B2C9E51-7D3A-4C8E-9F10-2A6B4D8E0C11}
inline constexpr CLSID kTestServerClsid = {
    0x5B2C9E51, 0x7D3A, 0x4C8E, {0x9F, 0x10, 0x2A, 0x6B, 0x4D, 0x8E, 0x0C, 0x11}};
// {5B2C9E52-7D3A-4C8E-9F10-2A6B4D8E0C11}
inline constexpr GUID kTestServerLibid = {
    0x5B2C9E52, 0x7D3A, 0x4C8E, {0x9F, 0x10, 0x2A, 0x6B, 0x4D, 0x8E, 0x0C, 0x11}};
// {5B2C9E53-7D3A-4C8E-9F10-2A6B4D8E0C11}
inline constexpr IID kTestServerDispatchIid = {
    0x5B2C9E53, 0x7D3A, 0x4C8E, {0x9F, 0x10, 0x2A, 0x6B, 0x4D, 0x8E, 0x0C, 0x11}};
// {5B2C9E54-7D3A-4C8E-9F10-2A6B4D8E0C11}
inline constexpr IID kTestServerEventsIid = {
    0x5B2C9E54, 0x7D3A, 0x4C8E, {0x9F, 0x10, 0x2A, 0x6B, 0x4D, 0x8E, 0x0C, 0x11}};

constexpr char kTestServerProgId[] = "COMTEST.TestCtrl.1";

enum TestServerDispid : DISPID {
    kTestAdd = 1,      // Add(long, long) -> long
    kTestLabel = 2,    // property Label (BSTR)
    kTestSetIds = 3,   // SetIds(VARIANT* of a UI2 array)
    kTestFireIds = 4,  // FireIds(BOOL): fires IdsFired with the stored ids
    kTestVersion = 5,  // GetVersion(short*, short*)
};
constexpr DISPID kTestEvtIdsFired = 1; // IdsFired(BOOL selected, VARIANT* ids)

// What the server's CreateControlWindow hands out in place of a real window.
struct TestServerWindow
{
    void* parent;
    int x, y, width, height, childId;
};

inline const TypeLibraryInfo& TestServerLibrary()
{
    static const TypeLibraryInfo library = {
        kTestServerLibid,
        "ComTestServerLib",
        1,
        1,
        "COM layer test server",
        "",
        {
            {kTestServerDispatchIid,
             "_DComTest",
             "Dispatch interface of the test server",
             {
                 {kTestAdd, "Add", DISPATCH_METHOD, {{"a", VT_I4}, {"b", VT_I4}}, VT_I4},
                 {kTestLabel, "Label", DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT,
                  {{"value", VT_BSTR}}, VT_BSTR},
                 {kTestSetIds, "SetIds", DISPATCH_METHOD, {{"ids", VT_BYREF | VT_VARIANT}},
                  VT_EMPTY},
                 {kTestFireIds, "FireIds", DISPATCH_METHOD, {{"selected", VT_BOOL}}, VT_EMPTY},
                 {kTestVersion, "GetVersion", DISPATCH_METHOD,
                  {{"major", VT_BYREF | VT_I2}, {"minor", VT_BYREF | VT_I2}}, VT_EMPTY},
             }},
            {kTestServerEventsIid,
             "_DComTestEvents",
             "Event interface of the test server",
             {
                 {kTestEvtIdsFired, "IdsFired", DISPATCH_METHOD,
                  {{"selected", VT_BOOL}, {"ids", VT_BYREF | VT_VARIANT}}, VT_EMPTY},
             }},
        },
    };
    return library;
}
