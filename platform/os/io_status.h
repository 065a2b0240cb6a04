#pragma once
// The outcome of a bounded transfer on a device or a socket.

namespace os {

enum class IoStatus {
    ok,       // every byte asked for moved
    timeout,  // the time ran out first (some bytes may have come)
    failed,   // the device or connection failed or went away
};

}  // namespace os
