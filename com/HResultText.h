#pragma once
// A result code as text for messages: "0x80040154 (REGDB_E_CLASSNOTREG)".

#include <string>

#include "com/ComTypes.h"

std::string HResultText(HRESULT hr);
