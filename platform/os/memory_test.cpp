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

}  // namespace
