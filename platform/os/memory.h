#pragma once
// Large blocks of memory straight from the system, for buffers of many
// megabytes that a program fills soon after taking them.
//
// Fresh memory costs a page fault for every page first touched; in pages of
// the usual 4 KiB that costs several times more than filling the memory.
// These blocks are aligned to 2 MiB and the system is asked to back them with
// huge pages where it can (Linux transparent huge pages, "madvise" mode or
// "always"), which takes the faults down by a factor of 512. Where it cannot,
// they are ordinary pages and nothing else changes.

#include <cstddef>

namespace os {

// `size` (> 0) bytes of zeroed memory, aligned to huge_page_size; null (errno
// set) when the system refuses. Give it back with free_large(p, size).
// Without `huge` the block is left in ordinary pages (a buffer that read()
// fills again and again copies faster into those).
void* allocate_large(std::size_t size, bool huge = true);
void free_large(void* p, std::size_t size);

// Backs the whole pages of [p, p + size) with memory now, in one call to the
// system, instead of one fault at each first touch: under a hypervisor a
// fault taken by the program costs many times what the kernel's own walk over
// the same pages does. The contents stay as they are, so it may run while
// other threads write the memory. False where the system cannot (Linux before
// 5.14, or no memory): the pages are then backed as they are touched.
bool back_now(void* p, std::size_t size);

inline constexpr std::size_t huge_page_size = std::size_t(2) << 20;

}  // namespace os
