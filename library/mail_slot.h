#pragma once
// Mailslots: one-way text messages between the station's programs.
//
// A message on the wire is the text in Windows-1251 and one 0 byte; a reader
// takes the text up to the first 0 byte. Texts here are UTF-8. Slots live as datagram sockets in the
// per-user run-time folder (platform/os/mailslot.h); the Windows forms of a
// slot's name ("\\.\mailslot\" + name) are understood. Nothing here reports
// failures: a missing slot or a failed write is skipped.

#include <string>

#include "platform/os/mailslot.h"
#include "platform/rtl/text.h"

namespace lib {

using AnsiString = rtl::AnsiString;

// An open slot to write to; invalid when the slot could not be opened.
using MailSlotHandle = os::MailslotWriter;

class ListeningMailSlot {
public:
    // The longest message, terminating 0 byte included; longer ones are
    // dropped unread so they can neither overrun the reader nor block the
    // messages behind them.
    static constexpr std::size_t max_message = 4096;

    // Creates the slot under its full name ("\\.\mailslot\" + name; a bare
    // name is taken as it is). When that fails the listener stays without a
    // slot and reports no messages.
    explicit ListeningMailSlot(const std::string& full_name);
    ~ListeningMailSlot();
    ListeningMailSlot(const ListeningMailSlot&) = delete;
    ListeningMailSlot& operator=(const ListeningMailSlot&) = delete;

    bool is_valid() const { return reader_.is_open(); }
    // The number of messages waiting; 0 without a slot.
    int get_mess_count();
    // The next message's text up to its first 0 byte (all of it when it has
    // none); empty, and false, when no message is waiting.
    bool read_text(AnsiString& text);

private:
    os::MailslotReader reader_;
};

class VargelMailSlot {
public:
    // The slot's bare name, without "\\.\mailslot\".
    explicit VargelMailSlot(const std::string& name);

    // The slot of that name on this computer.
    MailSlotHandle get_remote_local_handle() const;
    // The slot of that name on every computer of the domain: open only when
    // a broadcast is configured (os::set_mailslot_broadcast).
    MailSlotHandle get_remote_net_handle() const;

    // Sends the text to the local slot and then to the domain broadcast,
    // each when it opens.
    void send_text(const AnsiString& text) const;
    // Writes the text (in Windows-1251) and its 0 byte in one message; false
    // when the handle is not open, the message is longer than a listener
    // takes, or the write failed.
    static bool send_text(const AnsiString& text, MailSlotHandle& handle);

    const std::string& name() const { return name_; }

private:
    std::string name_;
};

}  // namespace lib
