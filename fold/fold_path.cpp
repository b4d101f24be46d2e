#include "fold_path.h"

#include <iterator>

namespace {

constexpr const char* kNames[] = {"portable", "sse2", "avx2", "avx512", "neon"};

FoldPath& Chosen()
{
    static FoldPath path = FoldPaths().back();
    return path;
}

} // namespace

std::vector<FoldPath> FoldPaths()
{
    std::vector<FoldPath> paths = {FoldPath::Portable};
#if defined(__x86_64__) || defined(_M_X64)
    paths.push_back(FoldPath::Sse2);
    // The processor's word, which also says whether the system saves the
    // wider registers; asked for again, since a static constructor may ask first.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt"))
        paths.push_back(FoldPath::Avx2);
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")
        && __builtin_cpu_supports("avx512vbmi2"))
        paths.push_back(FoldPath::Avx512);
#elif defined(__aarch64__)
    paths.push_back(FoldPath::Neon);  // every ARM64 processor has it
#endif
    return paths;
}

FoldPath UsedFoldPath()
{
    return Chosen();
}

void UseFoldPath(FoldPath path)
{
    Chosen() = path;
}

const char* FoldPathName(FoldPath path)
{
    return kNames[static_cast<int>(path)];
}

std::optional<FoldPath> FoldPathNamed(std::string_view name)
{
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        if (name == kNames[i])
            return static_cast<FoldPath>(i);
    }
    return std::nullopt;
}
