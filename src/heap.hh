// SPDX-License-Identifier: BSD-2-Clause
// The C library's heap, tuned for a terminal under a flood of output.
#pragma once

#include <cstddef>

// Freed memory that glibc keeps at the top of the heap instead of giving it
// back to the kernel at once. VTE compresses every block of scrollback it
// moves out of memory with zlib, whose deflate state (about 260 KiB in
// 64 KiB pieces) is allocated and freed again for each block: with glibc's
// default of 128 KiB, each block grows the heap and shrinks it again, and
// the fresh pages fault in every time (under a 20 MB flood, 18 000 page
// faults and a quarter of the terminal's CPU time).
inline constexpr std::size_t heap_trim_threshold = 1024 * 1024;

// Raises the trim threshold to heap_trim_threshold. Returns false where the
// C library has no such setting (it is glibc's; other allocators keep their
// own policy).
bool keep_heap_top_for_scrollback();

// Returns the heap's free pages to the system, below the trim threshold
// too: for after a one-off burst of allocations that will not come again.
// Does nothing where the C library cannot.
void give_back_free_heap();
