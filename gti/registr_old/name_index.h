#pragma once
// NameIndex: finds the first position of a name in a list of named items,
// ignoring letter case (Cyrillic folded as rtl::SameText does), in constant
// time and without allocating.
//
// The lists it indexes hand out references to their items, so a name can
// change behind the index's back. The owner calls touch() whenever it hands
// out a writable item or changes the list; the next look-up then compares
// the names it indexed with the current ones (a plain byte comparison) and
// rebuilds only when one differs. A hit is also checked against the item's
// current name, so a rename through a reference kept from before is caught
// when it concerns the name looked up.
//
// Safe to use from several threads at once (one mutex inside).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/rtl/text.h"

class NameIndex {
public:
    NameIndex() = default;
    // A copy starts unbuilt: it indexes another list.
    NameIndex(const NameIndex&) {}
    NameIndex& operator=(const NameIndex&) {
        touch();
        return *this;
    }

    void touch() noexcept {
        dirty_.store(true, std::memory_order_relaxed);
        touches_.fetch_add(1, std::memory_order_relaxed);
    }
    // How often touch() was called: while it stays the same, the list and
    // its names are as they were (short of a rename through a reference
    // kept from before).
    std::uint64_t touches() const noexcept { return touches_.load(std::memory_order_relaxed); }

    // The first position i < count whose name_at(i) equals key ignoring
    // case, or -1.
    template <class NameAtFn>
    int find(std::string_view key, std::size_t count, const NameAtFn& name_at) const {
        std::lock_guard<std::mutex> guard(mutex_);
        if (dirty_.exchange(false, std::memory_order_relaxed) && !matches(count, name_at)) rebuild(count, name_at);
        auto it = map_.find(key);
        if (it == map_.end()) return -1;
        const std::size_t pos = it->second;
        if (pos < count && rtl::SameText(name_at(pos), key)) return static_cast<int>(pos);
        // Renamed through a reference kept from before the last check.
        rebuild(count, name_at);
        it = map_.find(key);
        return it == map_.end() ? -1 : static_cast<int>(it->second);
    }

private:
    template <class NameAtFn>
    bool matches(std::size_t count, const NameAtFn& name_at) const {
        if (names_.size() != count) return false;
        for (std::size_t i = 0; i < count; ++i)
            if (names_[i] != name_at(i)) return false;
        return true;
    }

    template <class NameAtFn>
    void rebuild(std::size_t count, const NameAtFn& name_at) const {
        names_.clear();
        map_.clear();
        names_.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            names_.push_back(name_at(i));
            map_.emplace(names_.back(), i);  // the first position of a name stays
        }
    }

    mutable std::mutex mutex_;
    mutable std::atomic<bool> dirty_{true};
    std::atomic<std::uint64_t> touches_{0};
    mutable std::vector<std::string> names_;
    mutable std::unordered_map<std::string, std::size_t, rtl::FoldHash, rtl::FoldEqual> map_;
};
