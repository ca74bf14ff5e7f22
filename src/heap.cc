// SPDX-License-Identifier: BSD-2-Clause
#include "heap.hh"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

bool keep_heap_top_for_scrollback()
{
#if defined(__GLIBC__)
        // Setting it also stops glibc from adjusting the threshold itself
        // after freeing a large mapped block: the value holds for the whole
        // run, whatever happened to be freed first.
        return mallopt(M_TRIM_THRESHOLD, int(heap_trim_threshold)) == 1;
#else
        return false;
#endif
}

void give_back_free_heap()
{
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
}
