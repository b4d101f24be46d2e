#pragma once

// The ways FoldBytes and FoldText can fold on this machine, one for each
// instruction set. Each gives the same result; one is chosen at start, the
// fastest the processor offers, unless a program or a test chooses another.

#include <optional>
#include <string_view>
#include <vector>

enum class FoldPath { Portable, Sse2, Avx2, Avx512, Neon };

// The paths this processor offers, the portable one first and the fastest last.
std::vector<FoldPath> FoldPaths();
// The path in use: FoldPaths().back() until UseFoldPath chooses another.
FoldPath UsedFoldPath();
void UseFoldPath(FoldPath path);

// Each path's name, as --version prints it and KRESOVAR_FOLD_PATH takes it.
const char* FoldPathName(FoldPath path);
std::optional<FoldPath> FoldPathNamed(std::string_view name);
