#pragma once
// Owning lists of heap-allocated elements.
//
// heavy_vector<T> keeps elements that are expensive to move (header lines,
// sections) each in its own allocation, so a reference to an element stays
// valid while the list grows. Growing creates default elements, shrinking
// deletes the trailing ones. Every index is checked first: a bad one throws
// std::runtime_error "heavy_vector<T>::check_item_index".
//
// ptr_vector<T> owns elements created by the caller, in the order added; a
// bad index throws std::out_of_range "ptr_vector::operator[]".

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace lib {

template <typename T>
class heavy_vector {
public:
    heavy_vector() = default;
    heavy_vector(const heavy_vector& other) { assign_from(other); }
    heavy_vector& operator=(const heavy_vector& other) {
        if (this != &other) assign_from(other);
        return *this;
    }
    heavy_vector(heavy_vector&&) noexcept = default;
    heavy_vector& operator=(heavy_vector&&) noexcept = default;

    int size() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }

    void resize(int count) {
        if (count < 0) count = 0;
        std::size_t n = static_cast<std::size_t>(count);
        if (n < items_.size()) {
            items_.resize(n);
            return;
        }
        items_.reserve(n);
        while (items_.size() < n) items_.push_back(std::make_unique<T>());
    }
    void clear() { items_.clear(); }

    // Appends a copy and returns the element in the list.
    T& push_back(const T& value) {
        items_.push_back(std::make_unique<T>(value));
        return *items_.back();
    }
    T& push_back(T&& value) {
        items_.push_back(std::make_unique<T>(std::move(value)));
        return *items_.back();
    }

    void check_item_index(long long index) const {
        if (index < 0 || static_cast<unsigned long long>(index) >= items_.size())
            throw std::runtime_error("heavy_vector<T>::check_item_index");
    }
    T& operator[](long long index) {
        check_item_index(index);
        return *items_[static_cast<std::size_t>(index)];
    }
    const T& operator[](long long index) const {
        check_item_index(index);
        return *items_[static_cast<std::size_t>(index)];
    }

private:
    void assign_from(const heavy_vector& other) {
        std::vector<std::unique_ptr<T>> copy;
        copy.reserve(other.items_.size());
        for (const auto& item : other.items_) copy.push_back(std::make_unique<T>(*item));
        items_ = std::move(copy);
    }

    std::vector<std::unique_ptr<T>> items_;
};

template <typename T>
class ptr_vector {
public:
    ptr_vector() = default;
    ptr_vector(const ptr_vector&) = delete;
    ptr_vector& operator=(const ptr_vector&) = delete;
    ptr_vector(ptr_vector&&) noexcept = default;
    ptr_vector& operator=(ptr_vector&&) noexcept = default;

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    void clear() { items_.clear(); }

    // Takes ownership; a null pointer is not stored.
    T* push_back(std::unique_ptr<T> item) {
        if (!item) return nullptr;
        items_.push_back(std::move(item));
        return items_.back().get();
    }

    T& operator[](long long index) { return *items_[checked(index)]; }
    const T& operator[](long long index) const { return *items_[checked(index)]; }

    // Iteration yields the owning pointers; elements are never null.
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::size_t checked(long long index) const {
        if (index < 0 || static_cast<unsigned long long>(index) >= items_.size())
            throw std::out_of_range("ptr_vector::operator[]");
        return static_cast<std::size_t>(index);
    }

    std::vector<std::unique_ptr<T>> items_;
};

}  // namespace lib
