#pragma once
// A station under test: a temporary root with the well's folder, the
// station's set-up folder and a plug-ins folder; the device simulator on a
// pseudo-terminal (or loopback TCP); and the station host on the
// simulator's line, either in this process or as the program of the build.
// The simulator ends before the root is removed.

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/os/testing.h"
#include "tools/station_host/child_testing.h"
#include "tools/station_host/host.h"

namespace station_host::testing {

class StationRig {
public:
    enum class Line { pty, tcp };

    StationRig() { std::filesystem::create_directories(plugins()); }
    StationRig(const StationRig&) = delete;
    StationRig& operator=(const StationRig&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path well() const { return root_ / "well"; }
    std::filesystem::path station() const { return root_ / "station"; }
    std::filesystem::path plugins() const { return root_ / "plugins"; }
    std::filesystem::path script() const { return root_ / "script.txt"; }

    // A plug-in of the build in the plug-ins folder under `name`: a copy,
    // or a link to the build's own file.
    void add_plugin(const std::string& built, const std::string& name, bool link = false) const {
        if (link) {
            std::filesystem::create_symlink(std::filesystem::absolute(built), plugins() / name);
        } else {
            std::filesystem::copy_file(built, plugins() / name);
        }
    }
    // The simulator's script (its columns and their values over time).
    void write_script(const std::string& text) const { os::testing::write_bytes(script().string(), text); }

    // The device simulator on its line, with the script when one was
    // written; ready once it has named its line.
    ::testing::AssertionResult start_simulator(std::vector<std::string> args, Line line = Line::pty) {
        if (line == Line::tcp) {
            args.insert(args.end(), {"--tcp", "0"});
        } else {
            args.push_back("--pty");
        }
        if (std::filesystem::exists(script())) args.insert(args.end(), {"--scenario", script().string()});
        sim_ = std::make_unique<ChildProgram>(bin() + "device_simulator", args, true);
        if (sim_->first_line().rfind("line: ", 0) != 0)
            return ::testing::AssertionFailure() << "the simulator named no line: \"" << sim_->first_line() << "\"\n"
                                                 << sim_->output();
        return ::testing::AssertionSuccess();
    }
    ChildProgram& simulator() { return *sim_; }
    // The simulator's line, as the host's port takes it.
    std::string port() const { return sim_ ? sim_->first_line().substr(6) : std::string(); }

    // The host's options on the simulator's line with the rig's folders (the
    // station's set-up folder when one was made).
    HostOptions host_options() const {
        HostOptions o;
        o.port = port();
        o.well_folder = well().string();
        o.plugin_folder = plugins().string();
        if (std::filesystem::exists(station())) o.station_folder = station().string();
        return o;
    }
    // What a host in this process says, its errors marked so.
    Host::Out progress() {
        return [this](const std::string& l) { add_line(l); };
    }
    Host::Out errors() {
        return [this](const std::string& l) { add_line("error: " + l); };
    }
    std::vector<std::string> host_lines() {
        std::lock_guard<std::mutex> hold(mutex_);
        return lines_;
    }
    std::string host_output() { return ::testing::PrintToString(host_lines()); }

    // The station host program on the simulator's line with the rig's
    // folders, then `args`.
    ChildProgram host_program(const std::vector<std::string>& args) const {
        std::vector<std::string> all = {"--port", port(), "--well", well().string(), "--plugins", plugins().string()};
        if (std::filesystem::exists(station())) all.insert(all.end(), {"--station", station().string()});
        all.insert(all.end(), args.begin(), args.end());
        return ChildProgram(bin() + "station_host", all);
    }

    static std::string bin() { return std::string(STATION_BINARY_DIR) + "/bin/"; }

private:
    void add_line(const std::string& l) {
        std::lock_guard<std::mutex> hold(mutex_);
        lines_.push_back(l);
    }

    os::testing::TempDir dir_;
    std::filesystem::path root_ = dir_.path();
    std::unique_ptr<ChildProgram> sim_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace station_host::testing
