#include "platform/os/memory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// msync answers ENOMEM for addresses that are not mapped.
bool mapped(const void* p, std::size_t bytes) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    auto start = reinterpret_cast<std::uintptr_t>(p) & ~(page - 1);
    return ::msync(reinterpret_cast<void*>(start), bytes, MS_ASYNC) == 0;
}

TEST(LargeMemory, AlignedZeroedWritableAndWhollyGivenBack) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t size : {std::size_t(1), os::huge_page_size, 3 * os::huge_page_size + 5}) {
        SCOPED_TRACE(size);
        auto* p = static_cast<unsigned char*>(os::allocate_large(size));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % os::huge_page_size, 0u);
        EXPECT_EQ(p[0], 0);
        EXPECT_EQ(p[size - 1], 0);
        std::memset(p, 0xA5, size);
        const std::size_t kept = (size + page - 1) / page * page;
        EXPECT_TRUE(mapped(p, kept));
        // The over-allocation made for the alignment is gone on both sides.
        EXPECT_FALSE(mapped(p + kept, page));
        os::free_large(p, size);
        EXPECT_FALSE(mapped(p, page));
    }
    errno = 0;
    EXPECT_EQ(os::allocate_large(0), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

TEST(LargeMemory, BackingNowKeepsTheContents) {
    const std::size_t size = 3 * os::huge_page_size + 100;
    for (bool huge : {true, false}) {
        SCOPED_TRACE(huge);
        auto* p = static_cast<unsigned char*>(os::allocate_large(size, huge));
        ASSERT_NE(p, nullptr);
        std::memset(p, 0x5A, 5000);  // part of the block already written
        p[size - 1] = 7;
        // Older kernels cannot: the pages are then backed as they are touched.
        const bool backed = os::back_now(p + 1, size - 1);
        if (!backed) {
            EXPECT_EQ(errno, EINVAL);
        }
        EXPECT_TRUE(os::back_now(p, 0));
        for (std::size_t i = 0; i < 5000; ++i) ASSERT_EQ(p[i], 0x5A) << i;
        EXPECT_EQ(p[5000], 0);
        EXPECT_EQ(p[size - 2], 0);
        EXPECT_EQ(p[size - 1], 7);
        std::memset(p, 1, size);
        os::free_large(p, size);
    }
}

}  // namespace
