#pragma once
// The unload test of a server library: live objects and server locks of this module. Each
// server library links its own copy of the COM layer, so each counts for itself. Every
// CDispatchObject holds a lock while it lives; the class factories count their references.

#include <cstdint>

#include "com/ComTypes.h"

void ComModuleLock();
void ComModuleUnlock();
uint32_t ComModuleLockCount();
// S_OK when no object of the module lives and no lock is held, else S_FALSE: the body of
// DllCanUnloadNow.
[[nodiscard]] HRESULT ComModuleCanUnloadNow();
