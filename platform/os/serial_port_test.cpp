#include "platform/os/serial_port.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "platform/os/modem_lines.h"
#include "platform/os/test_peers.h"

namespace {

using os::IoStatus;
using os::testing::PtyPair;

std::int64_t elapsed_ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

TEST(SerialSettings, BuildRawTermiosWithEveryParity) {
    struct Case {
        os::Parity parity;
        tcflag_t set;
    } cases[] = {
        {os::Parity::none, 0},
        {os::Parity::odd, PARENB | PARODD},
        {os::Parity::even, PARENB},
        {os::Parity::mark, PARENB | PARODD | CMSPAR},
        {os::Parity::space, PARENB | CMSPAR},
    };
    const tcflag_t parity_bits = PARENB | PARODD | CMSPAR;
    for (const auto& c : cases) {
        termios t{};
        t.c_iflag = ICRNL | IXON | IXOFF;  // cooked leftovers that must go
        t.c_oflag = OPOST | ONLCR;
        t.c_lflag = ICANON | ECHO | ISIG;
        std::string why;
        ASSERT_TRUE(os::make_termios({57600, c.parity, 8, 1, false}, t, why)) << why;
        EXPECT_EQ(t.c_cflag & parity_bits, c.set);
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != os::Parity::none);
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_FALSE(t.c_cflag & (CSTOPB | CRTSCTS));
        EXPECT_TRUE(t.c_cflag & CLOCAL);
        EXPECT_FALSE(t.c_iflag & (ICRNL | IXON | IXOFF));
        EXPECT_FALSE(t.c_oflag & OPOST);
        EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
        EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));
    }
    termios t{};
    std::string why;
    ASSERT_TRUE(os::make_termios({9600, os::Parity::none, 7, 2, true}, t, why));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS7));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(os::make_termios({12345, os::Parity::none, 8, 1, false}, t, why));
    EXPECT_NE(why.find("12345"), std::string::npos);
    EXPECT_FALSE(os::make_termios({9600, os::Parity::none, 9, 1, false}, t, why));
}

TEST(SerialPort, OpensExclusivelyAndConfigures) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path())) << port.error();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
    EXPECT_TRUE(t.c_cflag & CLOCAL);

    os::SerialPort second;
    EXPECT_FALSE(second.open(pty.path()));
    EXPECT_NE(second.error().find("in use"), std::string::npos) << second.error();
    EXPECT_FALSE(port.open(pty.path()));

    ASSERT_TRUE(port.configure({115200, os::Parity::none, 8, 1, false})) << port.error();
    ASSERT_EQ(::tcgetattr(pty.slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
    EXPECT_FALSE(port.configure({31337, os::Parity::none, 8, 1, false}));

    port.close();
    EXPECT_TRUE(second.open(pty.path())) << second.error();
}

TEST(SerialPort, RefusesWhatIsNotATerminal) {
    os::SerialPort port;
    EXPECT_FALSE(port.open("/nonexistent/tty"));
    EXPECT_NE(port.error().find("/nonexistent/tty"), std::string::npos);
    EXPECT_FALSE(port.open("/dev/null"));
    EXPECT_NE(port.error().find("not a terminal"), std::string::npos) << port.error();
    EXPECT_FALSE(port.is_open());
}

TEST(SerialPort, BinaryBytesPassUntranslated) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    ASSERT_TRUE(port.configure({57600, os::Parity::none, 8, 1, false}));
    port.set_timeouts({500, 0, 500});
    std::string all;
    for (int i = 0; i < 256; ++i) all += char(i);
    ASSERT_TRUE(pty.send(all));
    std::string got(256, '\0');
    std::size_t n = 0;
    EXPECT_EQ(port.read(got.data(), got.size(), n), IoStatus::ok);
    EXPECT_EQ(n, 256u);
    EXPECT_EQ(got, all);
    ASSERT_TRUE(port.write(all.data(), all.size()));
    EXPECT_EQ(pty.receive(256), all);
}

TEST(SerialPort, TotalTimeOutEndsAReadWithWhatCame) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    port.set_timeouts({0, 10, 100});  // 10 ms a byte + 100 ms
    char buf[8];
    std::size_t n = 99;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.read(buf, 4, n), IoStatus::timeout);
    EXPECT_EQ(n, 0u);
    EXPECT_GE(elapsed_ms(start), 135);

    ASSERT_TRUE(pty.send("abc"));
    EXPECT_EQ(port.read(buf, 8, n), IoStatus::timeout);
    EXPECT_EQ(std::string(buf, n), "abc");
}

TEST(SerialPort, IntervalTimeOutCountsFromTheLastByte) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    // No total: only the gap after a byte ends the read. The interval is
    // far longer than the device's pause, so a loaded machine that runs the
    // device thread late still sends within it.
    port.set_timeouts({600, 0, 0});
    // The clock starts before the device can send: "cd" comes 60 ms after
    // it at the earliest.
    auto start = std::chrono::steady_clock::now();
    std::thread device([&] {
        pty.send("ab");
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        pty.send("cd");  // within the interval: the read goes on
    });
    char buf[8];
    std::size_t n = 0;
    EXPECT_EQ(port.read(buf, 8, n), IoStatus::timeout);
    device.join();
    EXPECT_EQ(std::string(buf, n), "abcd");
    EXPECT_GE(elapsed_ms(start), 660);

    // The interval clock starts with the first byte, not with the call.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        pty.send("e");
    });
    EXPECT_EQ(port.read(buf, 1, n), IoStatus::ok);
    late.join();
    EXPECT_EQ(buf[0], 'e');
}

TEST(SerialPort, HangUpIsAFailureNotATimeOut) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    // Time-outs far longer than any load delays a read: one that waited
    // for them shows.
    port.set_timeouts({40000, 0, 40000});
    pty.close();
    char buf[4];
    std::size_t n = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.read(buf, 4, n), IoStatus::failed);
    EXPECT_LT(elapsed_ms(start), 20000) << "the hang-up was taken for a time-out";
    EXPECT_FALSE(port.write("x", 1));
    EXPECT_FALSE(port.error().empty());
}

// A device that never reads: the line's queue fills and a write would wait
// for good. It ends at its time-out, or at once on a stop request, and says
// how far it got; a read still ends at the wake descriptor too.
TEST(SerialPort, AWriteTheLineNeverTakesEndsAtItsTimeOutOrAStop) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    port.set_timeouts({100, 0, 100, 0, 100});
    // The master side is never read. Should the write hang after all, the
    // hang-up of a closed master ends it, and the test fails instead of
    // hanging.
    std::string big(1 << 20, 'x');
    auto written = std::async(std::launch::async, [&] { return port.send(big.data(), big.size()); });
    if (written.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "the write did not end at its time-out";
        pty.close();
    }
    EXPECT_EQ(written.get(), IoStatus::timeout);
    EXPECT_TRUE(port.timed_out());
    EXPECT_FALSE(port.woken());
    EXPECT_NE(port.error().find("write timed out"), std::string::npos) << port.error();

    int wake[2];
    ASSERT_EQ(::pipe(wake), 0);
    ASSERT_EQ(::write(wake[1], "s", 1), 1);
    port.set_wake_fd(wake[0]);
    // Without its own bound, only the stop request can end it.
    port.set_timeouts({0, 0, 0, 0, 0});
    EXPECT_EQ(port.send(big.data(), big.size()), IoStatus::timeout);
    EXPECT_TRUE(port.woken());
    EXPECT_FALSE(port.timed_out());
    char c = 0;
    std::size_t n = 0;
    EXPECT_EQ(port.read(&c, 1, n), IoStatus::timeout);
    EXPECT_TRUE(port.woken());
    // What has come is still taken while a stop is pending.
    ASSERT_TRUE(pty.send("k"));
    ASSERT_TRUE(pty.wait_delivered(1));
    EXPECT_EQ(port.read(&c, 1, n), IoStatus::ok);
    EXPECT_EQ(c, 'k');
    ::close(wake[0]);
    ::close(wake[1]);
}

// A read given a limit ends there, and at a limit of 0 still takes what
// has come.
TEST(SerialPort, AReadLimitBoundsTheWaitButTakesWhatCame) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    port.set_timeouts({40000, 0, 40000});
    char buf[4];
    std::size_t n = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.read(buf, 4, n, 50), IoStatus::timeout);
    EXPECT_LT(elapsed_ms(start), 20000) << "the limit was not kept";
    ASSERT_TRUE(pty.send("ab"));
    ASSERT_TRUE(pty.wait_delivered(2));
    EXPECT_EQ(port.read(buf, 4, n, 0), IoStatus::timeout);
    EXPECT_EQ(std::string(buf, n), "ab");
}

// A silent line is waited on together with another descriptor: a byte or
// the other descriptor ends the wait, and the byte stays for the read.
TEST(SerialPort, WaitForInputOrAnotherDescriptor) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    EXPECT_EQ(port.wait_input(0, -1), os::SerialPort::Wait::failed);  // not open
    ASSERT_TRUE(port.open(pty.path()));
    ASSERT_TRUE(port.configure({57600, os::Parity::none, 8, 1, false}));
    port.set_timeouts({500, 0, 500});
    int wake[2];
    ASSERT_EQ(::pipe(wake), 0);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.wait_input(60, wake[0]), os::SerialPort::Wait::timeout);
    EXPECT_GE(elapsed_ms(start), 60);
    EXPECT_EQ(port.wait_input(0, -1), os::SerialPort::Wait::timeout);

    std::thread late_byte([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        (void)pty.send("z");
    });
    EXPECT_EQ(port.wait_input(-1, wake[0]), os::SerialPort::Wait::input);
    late_byte.join();
    char c = 0;
    std::size_t n = 0;
    EXPECT_EQ(port.read(&c, 1, n), IoStatus::ok);
    EXPECT_EQ(c, 'z');

    ASSERT_EQ(::write(wake[1], "s", 1), 1);
    EXPECT_EQ(port.wait_input(-1, wake[0]), os::SerialPort::Wait::woken);
    ASSERT_TRUE(pty.send("y"));
    EXPECT_EQ(port.wait_input(-1, -1), os::SerialPort::Wait::input);       // once it has come,
    EXPECT_EQ(port.wait_input(-1, wake[0]), os::SerialPort::Wait::input);  // the line comes first

    pty.close();  // a hang-up ends the wait for the read to report it
    EXPECT_EQ(port.wait_input(-1, -1), os::SerialPort::Wait::input);
    ::close(wake[0]);
    ::close(wake[1]);
}

TEST(SerialPort, PurgeDropsWaitingInputAndDrainReturns) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    port.set_timeouts({50, 0, 50});
    ASSERT_TRUE(pty.send("stale"));
    ASSERT_TRUE(pty.wait_delivered(5));  // in the input before it is dropped
    EXPECT_TRUE(port.purge_input());
    ASSERT_TRUE(pty.send("new"));
    char buf[8];
    std::size_t n = 0;
    port.read(buf, 8, n);
    EXPECT_EQ(std::string(buf, n), "new");
    ASSERT_TRUE(port.write("out", 3));
    EXPECT_TRUE(port.drain());
    EXPECT_EQ(pty.receive(3), "out");
}

// The kernel's lines: a pseudo-terminal has none, and the port says so,
// naming the device, the line and the kernel's cause.
TEST(SerialPort, ModemLinesTheDeviceLacksAreFailuresNamingTheCause) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::SerialPort port;
    ASSERT_TRUE(port.open(pty.path()));
    const std::string cause = std::strerror(ENOTTY);
    EXPECT_FALSE(port.set_rts(true));
    EXPECT_EQ(port.error(), "serial port '" + pty.path() + "': RTS: " + cause);
    EXPECT_FALSE(port.set_dtr(false));
    EXPECT_EQ(port.error(), "serial port '" + pty.path() + "': DTR: " + cause);
    bool cts = true;
    EXPECT_FALSE(port.get_cts(cts));
    EXPECT_FALSE(cts);
    EXPECT_EQ(port.error(), "serial port '" + pty.path() + "': modem status: " + cause);
}

TEST(SerialPort, ModemLinesGoThroughTheProcesssControl) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    os::RecordingModemControl lines;
    os::ScopedModemControl use(lines);
    os::SerialPort port;
    bool cts = true;
    // Closed: the lines are not touched.
    EXPECT_FALSE(port.set_rts(true));
    EXPECT_FALSE(port.get_cts(cts));
    EXPECT_TRUE(lines.changes().empty());

    ASSERT_TRUE(port.open(pty.path()));
    EXPECT_TRUE(port.set_rts(true));
    EXPECT_TRUE(port.set_dtr(true));
    EXPECT_TRUE(port.set_rts(false));
    using C = os::RecordingModemControl::Change;
    const std::vector<C> want = {{os::ModemLine::rts, true}, {os::ModemLine::dtr, true}, {os::ModemLine::rts, false}};
    EXPECT_EQ(lines.changes(), want);
    EXPECT_FALSE(lines.state(os::ModemLine::rts));
    EXPECT_TRUE(lines.state(os::ModemLine::dtr));

    for (bool on : {true, false}) {
        lines.set_input(os::ModemLine::cts, on);
        EXPECT_TRUE(port.get_cts(cts));
        EXPECT_EQ(cts, on);
    }
    lines.fail_with("line unplugged");
    EXPECT_FALSE(port.set_dtr(false));
    EXPECT_EQ(port.error(), "serial port '" + pty.path() + "': DTR: line unplugged");
    EXPECT_FALSE(port.get_cts(cts));
    EXPECT_EQ(port.error(), "serial port '" + pty.path() + "': modem status: line unplugged");
}

}  // namespace
