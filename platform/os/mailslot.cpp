#include "platform/os/mailslot.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/os/paths.h"

namespace os {
namespace {

std::mutex g_broadcast_mutex;
MailslotBroadcast g_broadcast;

std::string encode_name(std::string_view name) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool make_address(const std::string& path, sockaddr_un& addr) {
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

}  // namespace

std::string mailslot_path(std::string_view name, std::string* why) {
    std::string dir;
    try {
        dir = runtime_dir();
    } catch (const std::exception& e) {
        if (why) *why = e.what();
        return {};
    }
    std::string encoded = encode_name(name);
    std::string path = dir + "/mailslot." + encoded;
    if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
        // FNV-1a over the folded name: both ends compute the same file.
        std::uint64_t h = 1469598103934665603ull;
        for (unsigned char c : encoded) h = (h ^ c) * 1099511628211ull;
        static const char hex[] = "0123456789abcdef";
        std::string digest;
        for (int i = 15; i >= 0; --i) digest += hex[(h >> (i * 4)) & 15];
        path = dir + "/mailslot.#" + digest;
        if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
            if (why) *why = "run-time folder '" + dir + "' too long for a socket path";
            return {};
        }
    }
    return path;
}

MailslotReader::~MailslotReader() { close(); }

bool MailslotReader::create(std::string_view name, std::size_t max_message) {
    close();
    error_.clear();
    max_message_ = max_message;
    std::string why;
    std::string path = mailslot_path(name, &why);
    sockaddr_un addr{};
    if (path.empty() || !make_address(path, addr)) {
        error_ = "mailslot '" + std::string(name) + "': " + (why.empty() ? "bad name" : why);
        return false;
    }
    auto fail = [&](const std::string& cause) {
        error_ = "mailslot '" + path + "': " + cause;
        return false;
    };
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return fail(std::strerror(errno));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int err = errno;
        struct stat st {};
        bool stale = false;
        if (err == EADDRINUSE && ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            // A live reader answers a connect; a dead one's socket refuses.
            int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            stale = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
                    errno == ECONNREFUSED;
            if (probe >= 0) ::close(probe);
        }
        if (!stale) {
            ::close(fd);
            return fail(err == EADDRINUSE ? "already has a reader" : std::strerror(err));
        }
        ::unlink(path.c_str());
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            err = errno;
            ::close(fd);
            return fail(std::strerror(err));
        }
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void MailslotReader::close() {
    if (fd_ < 0) return;
    // Remove the socket file only while it is still the one we bound: a
    // later reader of the same name may have replaced it.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_) ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    queue_.clear();
}

void MailslotReader::pull() {
    if (fd_ < 0) return;
    std::vector<char> buf(max_message_ > 0 ? max_message_ : 1);
    while (queue_.size() < kMaxQueued) {
        iovec iov{buf.data(), buf.size()};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // nothing more waiting (or the socket failed: nothing to take)
        }
        // A message too long for the reader's buffer is dropped whole, so it
        // can neither overrun the buffer nor block the messages behind it.
        if (msg.msg_flags & MSG_TRUNC) continue;
        if (max_message_ == 0 && n > 0) continue;
        queue_.emplace_back(buf.data(), std::size_t(n));
    }
}

int MailslotReader::pending() {
    pull();
    return int(queue_.size());
}

bool MailslotReader::take(std::string& message) {
    if (queue_.empty()) pull();
    if (queue_.empty()) {
        message.clear();
        return false;
    }
    message = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

MailslotWriter::~MailslotWriter() { close(); }

MailslotWriter::MailslotWriter(MailslotWriter&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      broadcast_(std::exchange(other.broadcast_, false)),
      name_(std::move(other.name_)) {}

MailslotWriter& MailslotWriter::operator=(MailslotWriter&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        broadcast_ = std::exchange(other.broadcast_, false);
        name_ = std::move(other.name_);
    }
    return *this;
}

void MailslotWriter::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    broadcast_ = false;
    name_.clear();
}

bool MailslotWriter::open(std::string_view name) {
    close();
    std::string path = mailslot_path(name);
    sockaddr_un addr{};
    if (path.empty() || !make_address(path, addr)) return false;
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    name_ = std::string(name);
    return true;
}

bool MailslotWriter::open_broadcast(std::string_view name) {
    close();
    std::lock_guard<std::mutex> lock(g_broadcast_mutex);
    if (!g_broadcast) return false;
    broadcast_ = true;
    name_ = std::string(name);
    return true;
}

bool MailslotWriter::write(std::string_view message) {
    if (broadcast_) {
        MailslotBroadcast carrier;
        {
            std::lock_guard<std::mutex> lock(g_broadcast_mutex);
            carrier = g_broadcast;
        }
        return carrier && carrier(name_, message);
    }
    if (fd_ < 0) return false;
    for (;;) {
        ssize_t n = ::send(fd_, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        return n == ssize_t(message.size());
    }
}

void set_mailslot_broadcast(MailslotBroadcast broadcast) {
    std::lock_guard<std::mutex> lock(g_broadcast_mutex);
    g_broadcast = std::move(broadcast);
}

}  // namespace os
