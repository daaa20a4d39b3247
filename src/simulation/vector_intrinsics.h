// The x86 intrinsics and SLEEF's vector maths, for the per-instruction-set kernel files, which
// include nothing else with inline functions (see vector_kernels.h).
#pragma once

// GCC 12 warns inside its own avx512fintrin.h about the self-initialised "undefined" vectors of
// some intrinsics (a false positive fixed in GCC 13): they concern the header, not the kernels.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#include <sleef.h>
