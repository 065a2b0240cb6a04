#pragma once
// What the station's main window gets from the plug-ins besides the hub's
// calls: message 1033, a plug-in's request to start a new trip (wParam 0),
// to continue the recording (1) or to stop it (2). The host's main window
// is a message window of the main queue; its handle is the application
// handle the libraries and the plug-ins are given. Requests are queued and
// answered by the host's loop between two frames.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace ui {
class MessageWindow;
}

namespace station_host {

inline constexpr int trip_request_message = 1033;
enum TripRequest : int { trip_new = 0, trip_continue = 1, trip_stop = 2 };

class TripRequests {
public:
    // Creates the window and hands its handle to the libraries.
    TripRequests();
    ~TripRequests();
    TripRequests(const TripRequests&) = delete;
    TripRequests& operator=(const TripRequests&) = delete;

    std::intptr_t handle() const;
    // Runs the main queue (the plug-ins' posted work and the requests that
    // came) and returns the requests in arrival order.
    std::vector<int> take();

private:
    std::unique_ptr<ui::MessageWindow> window_;
    std::deque<int> pending_;
};

// "SECONDS:CAPTION[,SECONDS:CAPTION...]": the buttons of plug-in windows the
// host's scripted operator presses, and when (seconds from the start).
// Throws std::invalid_argument naming the bad item.
std::vector<std::pair<double, std::string>> parse_presses(const std::string& text);

}  // namespace station_host
