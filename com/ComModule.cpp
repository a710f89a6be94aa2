#include "com/ComModule.h"

#include <atomic>

namespace {

std::atomic<uint32_t> g_locks{0};

} // namespace

void ComModuleLock()
{
    ++g_locks;
}

void ComModuleUnlock()
{
    // Never below zero: an unbalanced unlock must not make the module look busy forever.
    uint32_t current = g_locks.load();
    while (current > 0 && !g_locks.compare_exchange_weak(current, current - 1)) {
    }
}

uint32_t ComModuleLockCount()
{
    return g_locks.load();
}

HRESULT ComModuleCanUnloadNow()
{
    return ComModuleLockCount() == 0 ? S_OK : S_FALSE;
}
