#pragma once

#include <cstddef>

// The size of the pieces kresovar-fold reads a stream in, and of the pipe it
// asks for on standard input or output.
//
// Measured with scripts/bench_fold_pipeline.py, 200 MB in the page cache piped
// into cat, on a 2-core AMD EPYC with AVX-512 VBMI2 at a load below 1, on
// 2026-12-08 (the pipeline table of docs/performance.md): with pieces of
// 256 KiB and a pipe grown to hold one, kresovar-fold outran `cat FILE | cat`,
// which copies through a pipe of 64 KiB. With pieces of 128 KiB and the pipe
// as it was (and a compressing fold that waited on the block before, changed
// in the same step) it ran at 0.69 of cat | cat on Polish prose and 0.92 on
// ASCII, in the same nine paired rounds. Mapping the file instead of reading
// it ran at 0.27-0.39: the fold then reads memory not yet in the caches, a
// page of 4 KiB at a time.
inline constexpr std::size_t kReadSize = 256 * 1024;
