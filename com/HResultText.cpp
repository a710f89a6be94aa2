#include "com/HResultText.h"

#include <cstdio>

namespace {

struct NamedCode
{
    HRESULT code;
    const char* name;
};

// CONNECT_E_* share their values with SELFREG_E_*; registration is what callers report.
const NamedCode kCodes[] = {
    {S_OK, "S_OK"},
    {S_FALSE, "S_FALSE"},
    {E_NOTIMPL, "E_NOTIMPL"},
    {E_NOINTERFACE, "E_NOINTERFACE"},
    {E_POINTER, "E_POINTER"},
    {E_FAIL, "E_FAIL"},
    {E_UNEXPECTED, "E_UNEXPECTED"},
    {E_ACCESSDENIED, "E_ACCESSDENIED"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    {E_INVALIDARG, "E_INVALIDARG"},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
    {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND"},
    {CO_E_ERRORINDLL, "CO_E_ERRORINDLL"},
    {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
    {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE"},
    {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
    {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
    {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME"},
    {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE"},
    {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
    {DISP_E_BADINDEX, "DISP_E_BADINDEX"},
    {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
    {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL"},
    {TYPE_E_LIBNOTREGISTERED, "TYPE_E_LIBNOTREGISTERED"},
    {TYPE_E_ELEMENTNOTFOUND, "TYPE_E_ELEMENTNOTFOUND"},
    {SELFREG_E_TYPELIB, "SELFREG_E_TYPELIB"},
    {SELFREG_E_CLASS, "SELFREG_E_CLASS"},
    {CONNECT_E_CANNOTCONNECT, "CONNECT_E_CANNOTCONNECT"},
};

} // namespace

std::string HResultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(hr)));
    for (const NamedCode& named : kCodes)
        if (named.code == hr)
            return std::string(text) + " (" + named.name + ")";
    return text;
}
