#pragma once
// Mailslots: one-way datagrams between the station's programs on one machine.
//
// A slot is an AF_UNIX datagram socket in the per-user run-time folder
// (runtime_dir()), named after the slot's bare name: ASCII letters are folded
// to lower case, as mailslot names ignore case, and every byte other than a
// letter, digit, '.', '_' or '-' is written as %XX; a name too long for a
// socket path is replaced by a hash of it. One reader owns a slot; any number
// of writers send to it.
//
// Sending "to every computer of the domain" has no counterpart here. It is a
// no-op unless a broadcast is configured (set_mailslot_broadcast), for a host
// that carries messages to other machines its own way.

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace os {

// The socket path of a slot name; empty (with the cause in why) when the
// run-time folder cannot be used.
std::string mailslot_path(std::string_view name, std::string* why = nullptr);

class MailslotReader {
public:
    MailslotReader() = default;
    ~MailslotReader();
    MailslotReader(const MailslotReader&) = delete;
    MailslotReader& operator=(const MailslotReader&) = delete;

    // Creates the slot. Messages longer than max_message bytes are dropped
    // as they are taken from the socket. False (see error()) when the name
    // cannot be used or another reader owns the slot; a socket left behind
    // by a reader that died is replaced.
    bool create(std::string_view name, std::size_t max_message);
    void close();
    bool is_open() const { return fd_ >= 0; }

    // How many messages are waiting (as many as the reader holds; up to
    // kMaxQueued are taken in from the socket at a time).
    int pending();
    // Takes the next waiting message; false when none is waiting.
    bool take(std::string& message);

    const std::string& error() const { return error_; }

    static constexpr std::size_t kMaxQueued = 1024;

private:
    void pull();

    int fd_ = -1;
    std::string path_;
    std::size_t max_message_ = 0;
    unsigned long long dev_ = 0, ino_ = 0;  // the socket file we bound
    std::deque<std::string> queue_;
    std::string error_;
};

class MailslotWriter {
public:
    MailslotWriter() = default;
    ~MailslotWriter();
    MailslotWriter(MailslotWriter&& other) noexcept;
    MailslotWriter& operator=(MailslotWriter&& other) noexcept;
    MailslotWriter(const MailslotWriter&) = delete;
    MailslotWriter& operator=(const MailslotWriter&) = delete;

    // Opens the local slot of that name; false when nobody reads it.
    bool open(std::string_view name);
    // Opens the domain broadcast of that name; false when no broadcast is
    // configured.
    bool open_broadcast(std::string_view name);
    void close();
    bool is_open() const { return fd_ >= 0 || broadcast_; }

    // Sends one message as one datagram without waiting: when the reader's
    // queue is full the message is not sent (false).
    bool write(std::string_view message);

private:
    int fd_ = -1;
    bool broadcast_ = false;
    std::string name_;
};

// The broadcast carrier: given the slot's bare name and the message, it
// returns whether it took the message. An empty function turns it off.
using MailslotBroadcast = std::function<bool(std::string_view name, std::string_view message)>;
void set_mailslot_broadcast(MailslotBroadcast broadcast);

}  // namespace os
