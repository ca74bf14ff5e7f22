#include "heap.hh"

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

TEST(Heap, FreedScrollbackBlockStaysWithTheProcess)
{
        if (own_allocator)
                GTEST_SKIP() << "the sanitizer's allocator does not use glibc's heap";
#if defined(__GLIBC__)
        // glibc's default first: the same burst must be given back, or this
        // test could not tell the difference.
        ASSERT_EQ(mallopt(M_TRIM_THRESHOLD, 128 * 1024), 1);
        malloc_trim(0); // whatever an earlier setting kept at the top
        auto before = allocate_and_free(6);
        ASSERT_GT(before.grown, 0u); // the burst reached the heap's end
        ASSERT_GT(before.trimmed, 0u);

        ASSERT_TRUE(keep_heap_top_for_scrollback());
        for (std::size_t pieces : {2, 6, 12}) {
                auto burst = allocate_and_free(pieces);
                EXPECT_EQ(burst.trimmed, 0u) << pieces << " pieces of 64 KiB";
        }
        // Far beyond the threshold the heap still shrinks: the setting keeps
        // a working set, not every peak.
        auto peak = allocate_and_free(3 * heap_trim_threshold / (64 * 1024));
        EXPECT_GT(peak.trimmed, 0u);
#else
        EXPECT_FALSE(keep_heap_top_for_scrollback());
#endif
}

} // namespace
