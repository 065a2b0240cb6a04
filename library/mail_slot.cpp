#include "library/mail_slot.h"

#include <cstring>
#include <string_view>

#include "platform/rtl/codepage.h"

namespace lib {
namespace {

// "\\.\mailslot\name" (either slash, any letter case) gives "name"; a name
// without the prefix is already bare.
std::string bare_name(std::string_view full) {
    constexpr std::string_view prefix = "\\\\.\\mailslot\\";
    if (full.size() >= prefix.size()) {
        bool match = true;
        for (std::size_t i = 0; i < prefix.size() && match; ++i) {
            char a = full[i], b = prefix[i];
            if (a == '/') a = '\\';
            if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
            match = a == b;
        }
        if (match) full.remove_prefix(prefix.size());
    }
    return std::string(full);
}

}  // namespace

ListeningMailSlot::ListeningMailSlot(const std::string& full_name) {
    reader_.create(bare_name(full_name), max_message);
}

ListeningMailSlot::~ListeningMailSlot() = default;

int ListeningMailSlot::get_mess_count() { return reader_.is_open() ? reader_.pending() : 0; }

bool ListeningMailSlot::read_text(AnsiString& text) {
    text.clear();
    std::string message;
    if (!reader_.is_open() || !reader_.take(message)) return false;
    std::size_t end = message.find('\0');
    text = rtl::cp1251_to_utf8(std::string_view(message).substr(0, end));
    return true;
}

VargelMailSlot::VargelMailSlot(const std::string& name) : name_(name) {}

MailSlotHandle VargelMailSlot::get_remote_local_handle() const {
    MailSlotHandle handle;
    handle.open(name_);
    return handle;
}

MailSlotHandle VargelMailSlot::get_remote_net_handle() const {
    MailSlotHandle handle;
    handle.open_broadcast(name_);
    return handle;
}

void VargelMailSlot::send_text(const AnsiString& text) const {
    if (MailSlotHandle local = get_remote_local_handle(); local.is_open()) send_text(text, local);
    if (MailSlotHandle net = get_remote_net_handle(); net.is_open()) send_text(text, net);
}

bool VargelMailSlot::send_text(const AnsiString& text, MailSlotHandle& handle) {
    if (!handle.is_open()) return false;
    std::string message = rtl::utf8_to_cp1251(text);
    message += '\0';
    if (message.size() > ListeningMailSlot::max_message) return false;
    return handle.write(message);
}

}  // namespace lib
