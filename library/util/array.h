#pragma once
// lib::array<T>: a fixed-length array whose every index is checked.
//
// Callers across the station rely on a bad index failing loudly rather than
// reading a neighbour's memory: an index outside 0..size()-1 throws
// std::out_of_range with the text "array::operator[]". The length changes
// only through resize(), which drops the old elements.

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <utility>

namespace lib {

template <typename T>
class array {
public:
    array() = default;
    explicit array(std::size_t count) { resize(count); }

    array(const array& other) { assign_from(other); }
    array& operator=(const array& other) {
        if (this != &other) assign_from(other);
        return *this;
    }
    array(array&& other) noexcept : items_(std::move(other.items_)), size_(std::exchange(other.size_, 0)) {}
    array& operator=(array&& other) noexcept {
        items_ = std::move(other.items_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    // Frees the old elements and allocates count value-initialised ones.
    void resize(std::size_t count) {
        items_ = count ? std::make_unique<T[]>(count) : nullptr;
        size_ = count;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Signed, so that a negative index computed by a caller is caught as
    // well instead of wrapping round to a huge unsigned one.
    T& operator[](long long index) { return items_[checked(index)]; }
    const T& operator[](long long index) const { return items_[checked(index)]; }

    T* data() { return items_.get(); }
    const T* data() const { return items_.get(); }
    T* begin() { return items_.get(); }
    T* end() { return items_.get() + size_; }
    const T* begin() const { return items_.get(); }
    const T* end() const { return items_.get() + size_; }

private:
    std::size_t checked(long long index) const {
        if (index < 0 || static_cast<unsigned long long>(index) >= size_) throw std::out_of_range("array::operator[]");
        return static_cast<std::size_t>(index);
    }

    void assign_from(const array& other) {
        resize(other.size_);
        for (std::size_t i = 0; i < size_; ++i) items_[i] = other.items_[i];
    }

    std::unique_ptr<T[]> items_;
    std::size_t size_ = 0;
};

}  // namespace lib
