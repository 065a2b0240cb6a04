#pragma once
// A memory view of an open file (mmap). An empty file is never mapped: there
// is nothing to see and mmap(2) refuses a zero length.
//
// A view of a file that another program cuts short kills the reader with
// SIGBUS when it touches the lost pages. The station's programs never do
// that to one another: a mapped reader holds the file under the share rule
// of os::File, which keeps every writer out while the view exists.

#include <cstddef>

namespace os {

class File;

class Mapping {
public:
    Mapping() = default;
    ~Mapping();
    Mapping(Mapping&& other) noexcept;
    Mapping& operator=(Mapping&& other) noexcept;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    // Maps the first `size` bytes of the open file, shared, read-only or
    // read-write. False (errno in last_error()) when size is 0, the file is
    // not open or the system refuses; the previous view is dropped first.
    bool map(const File& file, std::size_t size, bool writable);
    void unmap();
    // Writes the view's changed pages to the file and waits for them; false
    // (errno in last_error()) on a failure or when nothing is mapped.
    bool flush();

    bool is_mapped() const { return data_ != nullptr; }
    char* data() const { return data_; }
    std::size_t size() const { return size_; }
    int last_error() const { return error_; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    int error_ = 0;
};

}  // namespace os
