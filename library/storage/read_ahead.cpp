#include "library/storage/read_ahead.h"

#include "platform/os/file.h"
#include "platform/os/memory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lib::realtime {

ReadAhead::Buffer::~Buffer() {
    if (!data) return;
    if (from_system)
        os::free_large(data, size);
    else
        delete[] data;
}

void ReadAhead::Buffer::allocate(std::size_t bytes, bool system) {
    size = std::max<std::size_t>(bytes, 1);
    from_system = system;
    if (!system) {
        data = new char[size];
        return;
    }
    data = static_cast<char*>(os::allocate_large(size, false));
    if (!data) throw std::bad_alloc();
    // Backed in one call: a fault per page first touched by read() costs more
    // than the copy does under a hypervisor.
    os::back_now(data, size);
}

ReadAhead::ReadAhead(os::File& file, std::int64_t size, std::size_t chunk, std::size_t carry)
    : file_(file),
      left_(std::max<std::int64_t>(size, 0)),
      chunk_(std::max<std::size_t>(chunk, 1)),
      carry_(carry),
      room_((carry + kLine - 1) / kLine * kLine) {
    if (left_ <= static_cast<std::int64_t>(chunk_)) {
        // One piece: nothing is ever carried, and no thread is worth it.
        chunk_ = static_cast<std::size_t>(left_);
        carry_ = room_ = 0;
        // A small file's one buffer comes from the heap, which has it at hand
        // when the file is read again and again.
        slots_[0].buffer.allocate(chunk_, false);
        return;
    }
    // Ordinary pages: the system's copy into huge pages measured at half the
    // speed.
    for (auto& slot : slots_) slot.buffer.allocate(room_ + chunk_, true);
    thread_ = std::thread([this] { run(); });
}

ReadAhead::~ReadAhead() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadAhead::fill(Slot& slot) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left_, static_cast<std::int64_t>(chunk_)));
    const std::int64_t got = file_.read(slot.buffer.get() + room_, want);
    if (got < 0) {
        slot.error = file_.last_error() != 0 ? file_.last_error() : EIO;
        slot.last = true;
        return;
    }
    slot.got = static_cast<std::size_t>(got);
    left_ -= got;
    slot.last = left_ == 0 || slot.got < want;
}

void ReadAhead::run() {
    try {
        read_pieces();
    } catch (...) {
        // Nothing above throws in practice; should it, the caller gets a
        // failed read instead of a process ended by an escaped exception.
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& slot : slots_) {
            if (!slot.full) {
                slot.error = EIO;
                slot.full = true;
            }
        }
    }
    changed_.notify_all();
}

void ReadAhead::read_pieces() {
    for (int i = 0;; i ^= 1) {
        Slot& slot = slots_[i];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !slot.full; });
            if (stop_) return;
        }
        fill(slot);
        const bool last = slot.last;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.full = true;
        }
        changed_.notify_all();
        if (last) return;
    }
}

bool ReadAhead::next(const char* keep, std::size_t kept, Piece& piece) {
    if (done_) throw std::logic_error("ReadAhead::next after the last piece");
    if (kept > carry_) throw std::logic_error("ReadAhead::next: more bytes kept than there is room for");
    const int n = current_ < 0 ? 0 : current_ ^ 1;
    Slot& slot = slots_[n];
    if (!thread_.joinable()) {
        fill(slot);
    } else {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return slot.full; });
    }
    if (slot.error != 0) {
        error_ = slot.error;
        done_ = true;
        return false;
    }
    char* start = slot.buffer.get() + room_ - kept;
    if (kept > 0) std::memmove(start, keep, kept);
    if (current_ >= 0 && thread_.joinable()) {
        // The bytes kept are copied: the reader may fill the old slot again.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slots_[current_].full = false;
        }
        changed_.notify_all();
    }
    current_ = n;
    done_ = slot.last;
    piece.data = start;
    piece.size = kept + slot.got;
    piece.last = slot.last;
    return true;
}

}  // namespace lib::realtime
