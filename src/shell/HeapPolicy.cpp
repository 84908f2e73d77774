// SPDX-License-Identifier: GPL-3.0-or-later
// KeepLargeBlocksReturnable: glibc's mmap threshold, fixed.
#include "shell/HeapPolicy.h"

#include <cstdlib>  // defines __GLIBC__ where that is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void KeepLargeBlocksReturnable() {
#if defined(__GLIBC__)
    // Setting it also stops glibc from adjusting the trim threshold on its own.
    mallopt(M_MMAP_THRESHOLD, LargeBlockBytes);
#endif
}
