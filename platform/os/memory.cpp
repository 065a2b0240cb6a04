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

void* allocate_large(std::size_t size) {
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
    ::madvise(reinterpret_cast<void*>(aligned), kept, MADV_HUGEPAGE);  // a hint: refusal changes nothing
#endif
    return reinterpret_cast<void*>(aligned);
}

void free_large(void* p, std::size_t size) {
    if (p) ::munmap(p, page_rounded(size));
}

}  // namespace os
