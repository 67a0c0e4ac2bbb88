#pragma once

// For a plain loop over three-byte pixels, which vectorises only where the bytes can be
// shuffled apart (AVX2): the loader picks that copy of the function where the processor has
// it. ThreadSanitizer cannot run the loader's chooser before it starts, so its builds take
// the plain copy. The files using it are built with -O3, whose cost model takes such loops.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
#define PANDRY_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PANDRY_AVX2_CLONES
#endif
