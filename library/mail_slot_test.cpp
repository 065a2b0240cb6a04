#include "library/mail_slot.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

std::string slot_name(const char* what) { return std::string("Vargel_") + what + "_" + std::to_string(::getpid()); }

TEST(MailSlot, TextsArriveInOrderAndAnEmptySlotGivesNothing) {
    std::string name = slot_name("order");
    lib::ListeningMailSlot listener("\\\\.\\mailslot\\" + name);
    ASSERT_TRUE(listener.is_valid());
    std::string text = "stale";
    EXPECT_FALSE(listener.read_text(text));
    EXPECT_EQ(text, "");

    lib::VargelMailSlot sender(name);
    sender.send_text("first");
    sender.send_text("");
    sender.send_text(std::string("cut\0here", 8));
    EXPECT_EQ(listener.get_mess_count(), 3);
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "first");
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "");
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "cut");
    EXPECT_EQ(listener.get_mess_count(), 0);

    // Texts travel in Windows-1251, and the byte limit counts those bytes.
    os::MailslotReader raw;
    std::string raw_name = slot_name("raw");
    ASSERT_TRUE(raw.create(raw_name, 64));
    lib::VargelMailSlot raw_sender(raw_name);
    raw_sender.send_text("Бурение");
    std::string bytes;
    ASSERT_TRUE(raw.take(bytes));
    EXPECT_EQ(bytes, std::string("\xC1\xF3\xF0\xE5\xED\xE8\xE5\0", 8));
    sender.send_text("Глубина забоя, м");
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "Глубина забоя, м");
    auto handle = sender.get_remote_local_handle();
    std::string longest;
    for (std::size_t i = 0; i + 1 < lib::ListeningMailSlot::max_message; ++i) longest += "Ж";
    EXPECT_TRUE(lib::VargelMailSlot::send_text(longest, handle)) << "twice as long in UTF-8 as on the wire";
    EXPECT_FALSE(lib::VargelMailSlot::send_text(longest + "Ж", handle));
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, longest);

    // The full name's letter case and slashes do not matter.
    lib::ListeningMailSlot again("//./MAILSLOT/" + name);
    EXPECT_FALSE(again.is_valid()) << "the slot already has a listener";
    EXPECT_EQ(again.get_mess_count(), 0);
    EXPECT_FALSE(again.read_text(text));
}

TEST(MailSlot, MessagesAreBoundedAndNeverJamTheListener) {
    std::string name = slot_name("bounds");
    lib::ListeningMailSlot listener("\\\\.\\mailslot\\" + name);
    ASSERT_TRUE(listener.is_valid());
    lib::VargelMailSlot sender(name);
    auto handle = sender.get_remote_local_handle();
    ASSERT_TRUE(handle.is_open());

    std::string longest(lib::ListeningMailSlot::max_message - 1, 'x');
    EXPECT_TRUE(lib::VargelMailSlot::send_text(longest, handle));
    EXPECT_FALSE(lib::VargelMailSlot::send_text(longest + "y", handle)) << "sender refuses what no listener takes";

    // Foreign writers: a message with no 0 byte at all, and one too long.
    EXPECT_TRUE(handle.write(std::string(lib::ListeningMailSlot::max_message, 'u')));
    EXPECT_TRUE(handle.write(std::string(3 * lib::ListeningMailSlot::max_message, 'o')));
    EXPECT_TRUE(lib::VargelMailSlot::send_text("after", handle));

    std::string text;
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, longest);
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, std::string(lib::ListeningMailSlot::max_message, 'u'));
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "after");
    EXPECT_FALSE(listener.read_text(text));
}

TEST(MailSlot, TheDomainBroadcastIsOptIn) {
    std::string name = slot_name("domain");
    lib::ListeningMailSlot listener("\\\\.\\mailslot\\" + name);
    lib::VargelMailSlot sender(name);
    EXPECT_FALSE(sender.get_remote_net_handle().is_open());
    sender.send_text("once");
    EXPECT_EQ(listener.get_mess_count(), 1);
    std::string text;
    listener.read_text(text);

    // A carrier that also reaches this computer delivers a second copy, as
    // the domain broadcast does on the stations.
    os::set_mailslot_broadcast([](std::string_view slot, std::string_view message) {
        os::MailslotWriter local;
        return local.open(slot) && local.write(message);
    });
    sender.send_text("twice");
    os::set_mailslot_broadcast(nullptr);
    EXPECT_EQ(listener.get_mess_count(), 2);
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "twice");
    ASSERT_TRUE(listener.read_text(text));
    EXPECT_EQ(text, "twice");

    lib::VargelMailSlot nobody(slot_name("nobody"));
    EXPECT_FALSE(nobody.get_remote_local_handle().is_open());
    nobody.send_text("into the void");  // skipped quietly
}

}  // namespace
