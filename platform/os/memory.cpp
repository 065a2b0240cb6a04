#include "platform/os/memory.h"

#include <cerrno>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace os {
namespace {

std::size_t page_rounded(std::size_t size) {
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}

}  // namespace

void* allocate_large(std::size_t size, bool huge) {
    if (size == 0 || size > SIZE_MAX - huge_page_size) {
        errno = EINVAL;
        return nullptr;
    }
    // Map one huge page more than asked and cut the unaligned ends off.
    const std::size_t span = size + huge_page_size;
    void* p = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + huge_page_size - 1) & ~(std::uintptr_t(huge_page_size) - 1);
    const std::size_t head = aligned - start;
    const std::size_t kept = page_rounded(size);
    if (head > 0) ::munmap(p, head);
    if (span - head > kept) ::munmap(reinterpret_cast<char*>(aligned) + kept, span - head - kept);
#ifdef MADV_HUGEPAGE
    if (huge) ::madvise(reinterpret_cast<void*>(aligned), kept, MADV_HUGEPAGE);  // a hint: refusal changes nothing
#endif
    return reinterpret_cast<void*>(aligned);
}

bool back_now(void* p, std::size_t size) {
#ifndef MADV_POPULATE_WRITE
    constexpr int MADV_POPULATE_WRITE = 23;
#endif
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(p) + size) & ~(page - 1);
    if (size == 0 || end <= first) return true;
    return ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0;
}

void free_large(void* p, std::size_t size) {
    if (p) ::munmap(p, page_rounded(size));
}

}  // namespace os
