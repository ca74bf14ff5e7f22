// SPDX-License-Identifier: BSD-2-Clause
#include "heap.hh"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <gtest/gtest.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool own_allocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool own_allocator = true;
#else
constexpr bool own_allocator = false;
#endif
#else
constexpr bool own_allocator = false;
#endif

// Called through a volatile pointer so that the compiler cannot drop an
// allocation that is freed without being read.
void* (*volatile allocate)(std::size_t) = std::malloc;

struct Burst {
        std::size_t grown;   // how far the heap's end moved for the burst
        std::size_t trimmed; // how far it moved back when the burst was freed
};

// What scrollback compression does per block: pieces of 64 KiB allocated,
// written and freed again, newest first.
Burst allocate_and_free(std::size_t pieces)
{
        std::vector<void*> held;
        held.reserve(pieces);
        auto start = static_cast<char*>(sbrk(0));
        for (std::size_t i = 0; i < pieces; ++i) {
                held.push_back(allocate(64 * 1024));
                std::memset(held.back(), 1, 64 * 1024);
        }
        auto top = static_cast<char*>(sbrk(0));
        for (auto piece = held.rbegin(); piece != held.rend(); ++piece)
                std::free(*piece);
        auto end = static_cast<char*>(sbrk(0));
        return {std::size_t(top - start), std::size_t(top - end)};
}

#if defined(__GLIBC__)
// Measures in a heap where only these bursts moved the end: run after other
// tests, freed holes lower down could take a burst, or an earlier setting
// keep the top. Reports what went wrong on stderr and in its exit status;
// the findings are kept in fixed places until the end, so that reporting
// allocates nothing between the bursts.
[[noreturn]] void measure_bursts()
{
        // glibc's default first: the same burst must be given back, or this
        // test could not tell the difference.
        bool default_set = mallopt(M_TRIM_THRESHOLD, 128 * 1024) == 1;
        malloc_trim(0); // whatever an earlier setting kept at the top
        auto before = allocate_and_free(6);

        bool kept = keep_heap_top_for_scrollback();
        constexpr std::array<std::size_t, 3> sizes{2, 6, 12};
        std::array<Burst, sizes.size()> bursts{};
        for (std::size_t i = 0; i < sizes.size(); ++i)
                bursts[i] = allocate_and_free(sizes[i]);
        // Far beyond the threshold the heap still shrinks: the setting keeps
        // a working set, not every peak.
        auto peak = allocate_and_free(3 * heap_trim_threshold / (64 * 1024));

        int failures = 0;
        auto fail = [&](const char* what, std::size_t pieces, Burst burst) {
                std::fprintf(stderr, "%s: %zu pieces of 64 KiB grew the heap by %zu, trimmed %zu\n",
                             what, pieces, burst.grown, burst.trimmed);
                ++failures;
        };
        if (!default_set) {
                std::fputs("glibc's default threshold could not be set\n", stderr);
                ++failures;
        }
        // The burst must reach the heap's end and be given back.
        if (before.grown == 0 || before.trimmed == 0)
                fail("with glibc's default", 6, before);
        if (!kept) {
                std::fputs("keep_heap_top_for_scrollback() failed\n", stderr);
                ++failures;
        }
        for (std::size_t i = 0; i < sizes.size(); ++i)
                if (bursts[i].trimmed != 0)
                        fail("given back although kept", sizes[i], bursts[i]);
        if (peak.trimmed == 0)
                fail("a peak far beyond the threshold kept", 3 * heap_trim_threshold / (64 * 1024),
                     peak);
        std::fflush(stderr);
        std::_Exit(failures == 0 ? 0 : 1);
}
#endif

TEST(Heap, FreedScrollbackBlockStaysWithTheProcess)
{
        if (own_allocator)
                GTEST_SKIP() << "the sanitizer's allocator does not use glibc's heap";
#if defined(__GLIBC__)
        // A fresh run of this program, started for this test alone: what
        // ran before in this process, or in what order, cannot matter.
        auto style = GTEST_FLAG_GET(death_test_style);
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(measure_bursts(), testing::ExitedWithCode(0), "");
        GTEST_FLAG_SET(death_test_style, style);
#else
        EXPECT_FALSE(keep_heap_top_for_scrollback());
#endif
}

} // namespace
