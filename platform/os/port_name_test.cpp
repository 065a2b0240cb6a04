#include "platform/os/port_name.h"

#include <gtest/gtest.h>

namespace {

TEST(PortName, SortsNamesIntoDevicesAndTcpAddresses) {
    struct Case {
        const char* name;
        bool tcp;
        const char* device;
        const char* host;
        int port;
    } cases[] = {
        {"/dev/ttyUSB0", false, "/dev/ttyUSB0", "", 0},
        {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", false,
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "", 0},
        {"192.168.0.7:4001", true, "", "192.168.0.7", 4001},
        {"console.rig:23", true, "", "console.rig", 23},
        {"10.0.0.1:", true, "", "10.0.0.1", 22002},
        {"10.0.0.1:port", true, "", "10.0.0.1", 22002},
        {"10.0.0.1:80x", true, "", "10.0.0.1", 22002},
        {"10.0.0.1:70000", true, "", "10.0.0.1", 22002},
        {"10.0.0.1:0", true, "", "10.0.0.1", 22002},
        {"10.0.0.1: 4001", true, "", "10.0.0.1", 4001},
        {"a:1:2", true, "", "a", 22002},
        {"COM1", false, "/dev/ttyS0", "", 0},
        {"com2", false, "/dev/ttyS1", "", 0},
        {"COM10", false, "/dev/ttyS9", "", 0},
        {"COM0", false, "/dev/COM0", "", 0},
        {"COM256", false, "/dev/COM256", "", 0},
        {"ttyACM0", false, "/dev/ttyACM0", "", 0},
        {"", false, "", "", 0},
    };
    for (const auto& c : cases) {
        os::PortAddress a = os::parse_port_name(c.name);
        EXPECT_EQ(a.tcp, c.tcp) << c.name;
        EXPECT_EQ(a.device, c.device) << c.name;
        EXPECT_EQ(a.host, c.host) << c.name;
        EXPECT_EQ(a.port, c.port) << c.name;
    }
}

TEST(PortName, ComTableOverridesTheDefault) {
    ASSERT_TRUE(os::set_com_port_path("COM3", "/dev/ttyUSB0"));
    EXPECT_EQ(os::parse_port_name("com3").device, "/dev/ttyUSB0");
    EXPECT_EQ(os::parse_port_name("COM4").device, "/dev/ttyS3");
    EXPECT_FALSE(os::set_com_port_path("LPT1", "/dev/lp0"));
    ASSERT_TRUE(os::set_com_port_path("COM3", ""));
    EXPECT_EQ(os::parse_port_name("COM3").device, "/dev/ttyS2");
    EXPECT_EQ(os::com_port_path(0), "");
}

}  // namespace
