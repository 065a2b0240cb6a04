#include "platform/os/mapping.h"

#include "platform/os/file.h"

#include <cerrno>
#include <sys/mman.h>
#include <utility>

namespace os {

Mapping::~Mapping() { unmap(); }

Mapping::Mapping(Mapping&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)), error_(other.error_) {}

Mapping& Mapping::operator=(Mapping&& other) noexcept {
    if (this != &other) {
        unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        error_ = other.error_;
    }
    return *this;
}

bool Mapping::map(const File& file, std::size_t size, bool writable) {
    unmap();
    if (!file.is_open()) {
        error_ = EBADF;
        return false;
    }
    if (size == 0) {
        error_ = EINVAL;
        return false;
    }
    int prot = PROT_READ | (writable ? PROT_WRITE : 0);
    void* p = ::mmap(nullptr, size, prot, MAP_SHARED, file.fd(), 0);
    if (p == MAP_FAILED) {
        error_ = errno;
        return false;
    }
    data_ = static_cast<char*>(p);
    size_ = size;
    return true;
}

bool Mapping::flush() {
    if (!data_) {
        error_ = EBADF;
        return false;
    }
    if (::msync(data_, size_, MS_SYNC) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

void Mapping::unmap() {
    if (data_) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace os
