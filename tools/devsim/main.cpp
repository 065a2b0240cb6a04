// device_simulator: plays one of the station's devices on a pseudo-terminal
// or on a TCP port of 127.0.0.1, for trying the station without hardware.
//
//   device_simulator [--device console|mmv0|mmv12|mmv3|uso1|ind|cement]
//                    [--pty | --tcp PORT] [--scenario FILE | --seed N]
//                    [--period MS] [--reports N] [--seconds S]
//                    [--faults LIST] [--resend] [--bmv 48|11] [--speed X]
//
// The cementing-control station ("cement") answers the station's packets
// from a cementing scenario (--scenario, required; --speed scenario seconds
// per real second); its faults count the frames it answers with.
//
// It prints where the station should connect ("line: ..."), then one line
// per report sent and per frame decoded from the station, and stops after
// --reports reports or --seconds seconds (60 by default, at most 86400),
// whichever comes first.

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "platform/rtl/numbers.h"
#include "tools/devsim/cement_station.h"
#include "tools/devsim/simulator.h"

namespace {

devsim::Simulator* running = nullptr;
devsim::CementStation* running_station = nullptr;

void on_signal(int) {
    if (running) running->stop();
    if (running_station) running_station->stop();
}

void say(const std::string& s) {
    std::fputs(s.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int usage(const std::string& why) {
    std::fputs(("device_simulator: " + why + "\n").c_str(), stderr);
    std::fputs("usage: device_simulator [--device console|mmv0|mmv12|mmv3|uso1|ind|cement] [--pty | --tcp PORT]\n"
               "         [--scenario FILE | --seed N] [--period MS] [--reports N] [--seconds S]\n"
               "         [--faults LIST] [--resend] [--bmv 48|11] [--speed X]\n",
               stderr);
    return 2;
}

bool number(const std::string& s, long long lo, long long hi, long long& v) {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size() && v >= lo && v <= hi;
}

}  // namespace

int main(int argc, char** argv) {
    devsim::SimOptions options;
    options.max_ms = 60000;
    bool tcp = false;
    long long port = 0, seed = 1, v = 0;
    std::string scenario_file, faults;
    bool cement = false;
    double speed = 1.0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(a + " needs " + what);
            return argv[++i];
        };
        try {
            if (a == "--device") {
                const std::string name = value("a device");
                cement = name == "cement";
                if (!cement) options.kind = devsim::device_kind(name);
            } else if (a == "--speed") {
                if (!rtl::TryStrToFloat(value("a factor"), speed) || !(speed > 0 && speed <= 1000))
                    return usage("bad speed");
            }
            else if (a == "--pty") tcp = false;
            else if (a == "--tcp") {
                tcp = true;
                if (!number(value("a port"), 0, 65535, port)) return usage("bad port");
            } else if (a == "--scenario") scenario_file = value("a file");
            else if (a == "--seed") {
                if (!number(value("a number"), 0, 0xFFFFFFFFLL, seed)) return usage("bad seed");
            } else if (a == "--period") {
                if (!number(value("milliseconds"), 1, 60000, v)) return usage("bad period");
                options.period_ms = int(v);
            } else if (a == "--reports") {
                if (!number(value("a count"), 1, 100000000, v)) return usage("bad report count");
                options.max_reports = int(v);
            } else if (a == "--seconds") {
                if (!number(value("seconds"), 1, 86400, v)) return usage("bad time limit");
                options.max_ms = int(v * 1000);
            } else if (a == "--faults") faults = value("a list");
            else if (a == "--resend") options.resend_unconfirmed = true;
            else if (a == "--bmv") {
                if (!number(value("48 or 11"), 11, 48, v) || (v != 11 && v != 48)) return usage("bad --bmv");
                options.bmv_length = int(v);
            } else return usage("unknown option '" + a + "'");
        } catch (const std::exception& e) {
            return usage(e.what());
        }
    }

    if (cement) {
        try {
            if (scenario_file.empty()) return usage("the cementing station needs --scenario");
            auto line = tcp ? devsim::Endpoint::listen_tcp(int(port)) : devsim::Endpoint::open_pty();
            devsim::CementStation station(*line, devsim::CementScenario::load(scenario_file), speed);
            station.set_faults(devsim::parse_faults(faults));
            running_station = &station;
            std::signal(SIGINT, on_signal);
            std::signal(SIGTERM, on_signal);
            say("line: " + line->address());
            say("device: cement");
            std::atomic<bool> finished{false};
            std::thread worker([&] {
                station.run(options.max_ms);
                finished = true;
            });
            while (!finished) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                for (const auto& s : station.take_log()) say(s);
            }
            worker.join();
            for (const auto& s : station.take_log()) say(s);
            running_station = nullptr;
            const auto c = station.counters();
            say("done: " + std::to_string(c.packets) + " packets, " + std::to_string(c.answers) + " frames, " +
                std::to_string(c.bad_packets) + " bad packets, " + std::to_string(c.bad_values) + " bad values, " +
                std::to_string(c.lost_flags) + " lost flags, " + std::to_string(c.junk_bytes) + " junk bytes");
            return 0;
        } catch (const std::exception& e) {
            std::fputs(("device_simulator: " + std::string(e.what()) + "\n").c_str(), stderr);
            return 1;
        }
    }

    try {
        std::unique_ptr<devsim::Scenario> scenario;
        if (!scenario_file.empty())
            scenario = std::make_unique<devsim::ScriptedScenario>(devsim::ScriptedScenario::load(scenario_file));
        else
            scenario = std::make_unique<devsim::GeneratedScenario>(std::uint32_t(seed));
        auto line = tcp ? devsim::Endpoint::listen_tcp(int(port)) : devsim::Endpoint::open_pty();
        devsim::Simulator sim(*line, *scenario, options);
        sim.set_faults(devsim::parse_faults(faults));

        running = &sim;
        std::signal(SIGINT, on_signal);
        std::signal(SIGTERM, on_signal);
        say("line: " + line->address());
        say("device: " + devsim::device_name(options.kind));

        // run() ends by itself (report count or time limit); the log is
        // printed from here meanwhile.
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            sim.run();
            finished = true;
        });
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            for (const auto& s : sim.take_log()) say(s);
        }
        worker.join();
        for (const auto& s : sim.take_log()) say(s);
        running = nullptr;
        auto c = sim.counters();
        say("done: " + std::to_string(c.reports) + " reports, " + std::to_string(c.confirmations) +
            " confirmed, " + std::to_string(sim.displays().size()) + " display packets, " +
            std::to_string(sim.blocks().size()) + " blocks, " + std::to_string(c.bad_packets) + " bad packets, " +
            std::to_string(c.junk_bytes) + " junk bytes");
        return 0;
    } catch (const std::exception& e) {
        std::fputs(("device_simulator: " + std::string(e.what()) + "\n").c_str(), stderr);
        return 1;
    }
}
