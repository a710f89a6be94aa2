#pragma once
// The control's type library "KeyrowOcxLib" 1.1 as com/'s static table: the dispatch interface
// "_DKeyrow" (19 methods and 2 properties) and the event interface "_DKeyrowEvents" (4 events).
//
// The raw-pointer arguments (declared long*) work in-process only: for arrHWID and arrQuadStates
// they carry the address of a std::vector<uint16_t>, for InitializeButtons' names the address of
// a KeyrowNameBlock (keyrow/core/KeyrowIds.h), in a VT_BYREF | VT_I4 variant.

#include "com/TypeLibrary.h"

const TypeLibraryInfo& KeyrowTypeLibrary();
