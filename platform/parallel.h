// The start-up tables are filled by loops whose iterations are independent:
// crv runs them as OpenMP parallel loops, crv_serial and crv_x86 one after
// the other. Put PARALLEL_FOR in front of such a loop.
#pragma once

#if defined(_OPENMP)
#define PARALLEL_FOR _Pragma("omp parallel for schedule(static)")
#else
#define PARALLEL_FOR
#endif
