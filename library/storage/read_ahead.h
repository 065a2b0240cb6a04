#pragma once
// Reading a large file ahead of its decoder: the next piece of the file is
// read on a thread of its own while the caller decodes the current one, so
// copying the bytes out of the system's cache and decoding them take the
// time of the slower of the two instead of their sum. A file of one piece is
// read without a thread.
//
// A decoder that looks at several bytes at once (a block that straddles two
// pieces) hands back the bytes it has not used yet; they are put before the
// next piece, in room kept for them, so each piece is whole and contiguous.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace os {
class File;
}

namespace lib::realtime {

class ReadAhead {
public:
    struct Piece {
        const char* data = nullptr;
        std::size_t size = 0;
        // The data end here: the file's size was reached, or the file ended
        // early (cut short by a program outside the share rule).
        bool last = false;
    };

    // The next `size` bytes of the open file (from its current position),
    // in pieces of `chunk` bytes, each with room for `carry` bytes before
    // it. The file is used by the reading thread only until the last piece
    // is taken or the object is destroyed.
    ReadAhead(os::File& file, std::int64_t size, std::size_t chunk, std::size_t carry);
    // Stops the reading thread (it finishes the read under way) and waits
    // for it.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece, preceded by the `kept` bytes at `keep` (fewer than
    // `carry`, from the piece taken before; nothing for the first). False
    // when the file could not be read: error() holds the errno. A piece
    // stays valid until the next call.
    bool next(const char* keep, std::size_t kept, Piece& piece);
    int error() const { return error_; }

private:
    // The two buffers of a large file come straight from the system and go
    // back to it when the reading ends: left to the heap they would stay
    // resident beside the table read.
    struct Buffer {
        char* data = nullptr;
        std::size_t size = 0;
        bool from_system = false;
        Buffer() = default;
        Buffer(const Buffer&) = delete;
        Buffer& operator=(const Buffer&) = delete;
        ~Buffer();
        void allocate(std::size_t bytes, bool system);
        char* get() const { return data; }
    };
    struct Slot {
        Buffer buffer;  // room_ bytes, then the piece
        std::size_t got = 0;
        bool full = false;
        bool last = false;
        int error = 0;
    };

    // Reads the next piece into the slot (no lock held; the slot is the
    // reader's own until it is full).
    void fill(Slot& slot);
    void run();
    void read_pieces();

    os::File& file_;
    std::int64_t left_;
    std::size_t chunk_;
    std::size_t carry_;
    // The room kept for carried bytes, rounded up to whole cache lines: the
    // system's copy into a buffer that starts a few bytes past a line's
    // start was measured at 40% of its speed into one that starts on it.
    static constexpr std::size_t kLine = 64;
    std::size_t room_;
    Slot slots_[2];
    int current_ = -1;  // the slot the caller holds
    int error_ = 0;
    bool done_ = false;  // the last piece or an error was handed out

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace lib::realtime
