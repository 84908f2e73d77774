// SPDX-License-Identifier: GPL-3.0-or-later
// The allocator policy: a large block freed goes back to the system, also after a larger one.
#include "shell/HeapPolicy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define CGV_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CGV_OWN_ALLOCATOR 1
#endif
#endif

TEST(HeapPolicyTest, ABufferMadeAnewAfterALargerOneGetsItsOwnMappingAgain) {
#if !defined(__GLIBC__) || defined(CGV_OWN_ALLOCATOR)
    GTEST_SKIP() << "glibc's allocator is not the one in use";
#else
    KeepLargeBlocksReturnable();
    // What a view's document does when the cap drops lines: a text buffer of a few MB is
    // freed and the next, a little smaller, is made. Left to itself glibc would now serve the
    // 3 MB from its heap and keep the pages when it is freed.
    constexpr std::size_t mb = 1024 * 1024;
    // Called through volatile pointers, or the compiler drops blocks that nothing reads.
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void (*volatile release)(void*) = std::free;
    void* first = allocate(4 * mb);
    ASSERT_NE(first, nullptr);
    std::memset(first, 1, 4 * mb);
    release(first);
    const std::size_t mappedBefore = mallinfo2().hblkhd;
    void* next = allocate(3 * mb);
    ASSERT_NE(next, nullptr);
    std::memset(next, 1, 3 * mb);
    EXPECT_GE(mallinfo2().hblkhd, mappedBefore + 3 * mb) << "the block came from the heap";
    release(next);
    EXPECT_LT(mallinfo2().hblkhd, mappedBefore + 3 * mb) << "the block was not given back";
#endif
}
