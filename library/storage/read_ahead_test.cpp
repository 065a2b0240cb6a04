#include "library/storage/read_ahead.h"

#include "platform/os/file.h"
#include "platform/os/testing.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using lib::realtime::ReadAhead;

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
    return s;
}

struct Opened {
    explicit Opened(const std::string& bytes) {
        os::testing::write_bytes(path, bytes);
        EXPECT_EQ(file.open(path, os::File::Mode::read, false), os::File::Status::ok);
    }
    os::testing::TempDir dir;
    std::string path = dir / "data.bin";
    os::File file;
};

// Reads everything, handing back a different number of unused bytes each
// time as a decoder would; the bytes used, in order (the kept bytes are
// counted where they come again, at the start of the next piece), and the
// pieces taken.
std::string read_all(ReadAhead& reader, std::size_t carry, int* pieces) {
    std::string used;
    ReadAhead::Piece piece;
    const char* keep = nullptr;
    std::size_t kept = 0;
    for (*pieces = 1;; ++*pieces) {
        EXPECT_TRUE(reader.next(keep, kept, piece));
        if (piece.last) {
            used.append(piece.data, piece.size);
            return used;
        }
        kept = std::min<std::size_t>(piece.size, (static_cast<std::size_t>(*pieces) * 37) % carry);
        used.append(piece.data, piece.size - kept);
        keep = piece.data + piece.size - kept;
    }
}

TEST(ReadAhead, PiecesWithTheKeptBytesBeforeThemMakeUpTheFile) {
    const std::string bytes = pattern(10000);
    struct Case {
        const char* what;
        std::int64_t size;  // as the reader was told
        std::size_t chunk;
        int pieces;
    };
    for (const Case& c : {Case{"in pieces", 10000, 1000, 0}, Case{"cut short under the reader", 25000, 1000, 0},
                          Case{"one piece", 10000, 10000, 1}, Case{"less than one piece", 10000, 1 << 20, 1}}) {
        SCOPED_TRACE(c.what);
        Opened f(bytes);
        ReadAhead reader(f.file, c.size, c.chunk, 300);
        int pieces = 0;
        EXPECT_EQ(read_all(reader, 300, &pieces), bytes);
        if (c.pieces) {
            EXPECT_EQ(pieces, c.pieces);
        }
    }
}

TEST(ReadAhead, KeepingMoreThanTheRoomIsRefusedAndStoppingEarlyDoesNotWait) {
    Opened f(pattern(200000));
    ReadAhead reader(f.file, 200000, 1000, 100);
    ReadAhead::Piece piece;
    ASSERT_TRUE(reader.next(nullptr, 0, piece));
    EXPECT_FALSE(piece.last);
    EXPECT_THROW(reader.next(piece.data, 101, piece), std::logic_error);
    // The reader is destroyed with most of the file unread.
}

}  // namespace
