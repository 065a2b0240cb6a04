#pragma once
// What a device port name given by the operator stands for.
//
// - A name beginning with "/" is a device path, whatever else it holds
//   (a colon included).
// - Otherwise a name with ":" is a TCP address: the text before the first
//   colon is the host, the text after it the port number; when that is not
//   a number from 1 to 65535 the station's default port 22002 is used.
// - "COMn" (any letter case, n from 1 to 255) is a serial port looked up in
//   a small table; without an entry it is /dev/ttyS<n-1>, the first UART
//   being COM1 as on the stations' PCs. USB adapters and other devices are
//   given their own entries (set_com_port_path).
// - Any other name is a device under /dev ("ttyUSB0" is /dev/ttyUSB0).

#include <string>
#include <string_view>

namespace os {

constexpr int kDefaultTcpPort = 22002;

struct PortAddress {
    bool tcp = false;
    std::string device;  // serial: the device path
    std::string host;    // TCP: host name or address
    int port = 0;        // TCP: port number
};

PortAddress parse_port_name(std::string_view name);

// The COMn table, process-wide. An empty path removes the entry.
// Returns false for a name that is not COM1 to COM255.
bool set_com_port_path(std::string_view com_name, const std::string& path);
// The device path of COMn (n from 1 to 255), empty for any other n.
std::string com_port_path(int n);

}  // namespace os
