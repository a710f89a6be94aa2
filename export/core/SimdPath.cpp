#include "export/core/SimdPath.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

SimdPath DetectPath()
{
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
        return SimdPath::kAvx512;
    if (__builtin_cpu_supports("avx2"))
        return SimdPath::kAvx2;
#endif
    return SimdPath::kPlain;
}

} // namespace

SimdPath SimdPathSupported()
{
    static const SimdPath supported = DetectPath();
    return supported;
}

SimdPath SimdPathAllowed()
{
    static const SimdPath allowed = [] {
        SimdPath path = SimdPathSupported();
        SimdPath cap = path;
        if (ParseSimdPath(std::getenv("SONDREL_SIMD"), cap) && cap < path)
            path = cap;
        return path;
    }();
    return allowed;
}

bool SimdPathRuns(SimdPath path)
{
    return path <= SimdPathSupported();
}

const char* SimdPathName(SimdPath path)
{
    switch (path) {
    case SimdPath::kAvx512:
        return "avx512";
    case SimdPath::kAvx2:
        return "avx2";
    case SimdPath::kPlain:
        break;
    }
    return "plain";
}

bool ParseSimdPath(const char* name, SimdPath& path)
{
    if (!name)
        return false;
    for (SimdPath p : {SimdPath::kPlain, SimdPath::kAvx2, SimdPath::kAvx512}) {
        if (std::strcmp(name, SimdPathName(p)) == 0) {
            path = p;
            return true;
        }
    }
    return false;
}
