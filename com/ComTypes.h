#pragma once
// The basic numbers of our COM layer: result codes, dispatch flags and variant types, with COM's
// own values so the interfaces and their callers agree bit for bit.

#include <cstdint>

using HRESULT = int32_t;
using DISPID = int32_t;
using VARTYPE = uint16_t;

constexpr HRESULT MakeHResult(uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHResult(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154u);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHResult(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = MakeHResult(0x800401F9u);
constexpr HRESULT CO_E_CLASSSTRING = MakeHResult(0x800401F3u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHResult(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHResult(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHResult(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHResult(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHResult(0x80020006u);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHResult(0x80020008u);
constexpr HRESULT DISP_E_EXCEPTION = MakeHResult(0x80020009u);
constexpr HRESULT DISP_E_OVERFLOW = MakeHResult(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000Bu);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHResult(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHResult(0x8002000Fu);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeHResult(0x8002801Du);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHResult(0x8002802Bu);
constexpr HRESULT SELFREG_E_TYPELIB = MakeHResult(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = MakeHResult(0x80040201u);
// The connection-point codes share their range with the self-registration codes, as in COM.
constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHResult(0x80040200u);
constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHResult(0x80040201u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHResult(0x80040202u);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;
constexpr DISPID DISPID_ABOUTBOX = -552;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_VARIANT = 12;
constexpr VARTYPE VT_UNKNOWN = 13;
constexpr VARTYPE VT_I1 = 16;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_UI2 = 18;
constexpr VARTYPE VT_UI4 = 19;
constexpr VARTYPE VT_ARRAY = 0x2000;
constexpr VARTYPE VT_BYREF = 0x4000;
constexpr VARTYPE VT_TYPEMASK = 0x0FFF;

constexpr int16_t VARIANT_TRUE = -1;
constexpr int16_t VARIANT_FALSE = 0;
