// device_simulator: plays one of the station's devices on a pseudo-terminal
// or on a TCP port of 127.0.0.1, for trying the station without hardware.
// "device_simulator --help" tells the options and the exit statuses. The
// cementing-control station ("--device cement") answers the station's
// packets from a cementing scenario (--scenario, required; --speed scenario
// seconds per real second); its faults count the frames it answers with.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/numbers.h"
#include "tools/common/args.h"
#include "tools/devsim/cement_station.h"
#include "tools/devsim/faults.h"
#include "tools/devsim/simulator.h"

namespace {

devsim::Simulator* running = nullptr;
devsim::CementStation* running_station = nullptr;

void on_signal(int) {
    if (running) running->stop();
    if (running_station) running_station->stop();
}

void on_release(int) {
    if (running) running->release();
}

void say(const std::string& s) {
    std::fputs(s.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const tools::ArgParser args("device_simulator",
                            "device_simulator [--device KIND] [--pty | --tcp PORT] [--scenario FILE | --seed N]\n"
                            "                        [--period MS] [--reports N] [--seconds S] [--faults LIST]\n"
                            "                        [--resend] [--hold] [--bmv 48|11] [--speed X] [--supply V] [--rail5 V]\n"
                            "                        [--rail12 V] [--temperature C]",
                            "Plays one of the station's devices on a pseudo-terminal or on a TCP port of\n"
                            "127.0.0.1. It prints where the station should connect (\"line: ...\"), then a\n"
                            "line per report sent and per frame decoded from the station, and stops after\n"
                            "--reports reports or --seconds seconds, whichever comes first.",
                            {
                                {"device", "KIND",
                                 "console (default), mmv0, mmv12, mmv3, uso1, ind, or cement (the\n"
                                 "cementing-control station; needs --scenario)"},
                                {"pty", "", "play on a new pseudo-terminal (default)"},
                                {"tcp", "PORT", "listen on 127.0.0.1:PORT instead, 0 to 65535 (0: any free port)"},
                                {"scenario", "FILE", "the rig's channels from a scenario script"},
                                {"seed", "N", "a generated rig from this seed, 0 to 4294967295 (default 1)"},
                                {"period", "MS", "milliseconds between reports, 1 to 60000"},
                                {"reports", "N", "stop after N reports, 1 to 100000000"},
                                {"seconds", "S", "stop after S seconds, 1 to 86400 (default 60)"},
                                {"faults", "LIST",
                                 "faults on the line, KIND@REPORT[xARG] separated by commas; KIND is\n"
                                 "flip, stray, repeat, skip, truncate, silence or split"},
                                {"resend", "", "send a report again while the station has not confirmed it"},
                                {"hold", "",
                                 "repeat the scenario's first moment, without faults, until SIGUSR1; its\n"
                                 "time and the faults' report numbers count from there"},
                                {"bmv", "48|11", "the older indicator unit's frame length"},
                                {"supply", "V", "the console's controller supply it reports, 0 to 10 V (default 3.3)"},
                                {"rail5", "V", "the console's +5 V rail it reports, 0 to 10 V (default 5)"},
                                {"rail12", "V", "the console's +12 V rail it reports, 0 to 17 V (default 12)"},
                                {"temperature", "C",
                                 "the console's board temperature it reports, -100 to 150 (default 25)"},
                                {"speed", "X",
                                 "the cementing scenario's seconds per real second, above 0 up to 1000\n"
                                 "(default 1)"},
                            },
                            {
                                {0, "the device played to its end (or was stopped by SIGINT or SIGTERM)"},
                                {1, "it could not start: the scenario could not be read, the line could not be opened"},
                                {2, "a bad argument: an unknown option, a missing or bad value"},
                            });

}  // namespace

int main(int argc, char** argv) {
    devsim::SimOptions options;
    options.max_ms = 60000;
    bool tcp = false;
    long long port = 0, seed = 1;
    std::string scenario_file;
    std::vector<devsim::Fault> faults;
    bool cement = false;
    double speed = 1.0;
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        try {
            if (name == "device") {
                cement = value == "cement";
                // The cementing station is played by a simulator of its own,
                // so the device list of the others leaves it out.
                if (!cement) try {
                        options.kind = devsim::device_kind(value);
                    } catch (const std::invalid_argument&) {
                        throw tools::ArgError("unknown device '" + value +
                                              "' (console, mmv0, mmv12, mmv3, uso1, ind or cement)");
                    }
            } else if (name == "faults")
                faults = devsim::parse_faults(value);
        } catch (const std::invalid_argument& e) {
            throw tools::ArgError(e.what());
        }
        if (name == "pty")
            tcp = false;
        else if (name == "tcp") {
            tcp = true;
            port = tools::whole_number(name, value, 0, 65535);
        } else if (name == "scenario")
            scenario_file = value;
        else if (name == "seed")
            seed = tools::whole_number(name, value, 0, 0xFFFFFFFFLL);
        else if (name == "period")
            options.period_ms = int(tools::whole_number(name, value, 1, 60000));
        else if (name == "reports")
            options.max_reports = int(tools::whole_number(name, value, 1, 100000000));
        else if (name == "seconds")
            options.max_ms = int(tools::whole_number(name, value, 1, 86400) * 1000);
        else if (name == "speed") {
            if (!rtl::TryStrToFloat(value, speed) || !(speed > 0 && speed <= 1000))
                throw tools::ArgError("bad value '" + value + "' for --speed: above 0 up to 1000 is needed");
        } else if (name == "supply" || name == "rail5" || name == "rail12" || name == "temperature") {
            // What the console's converter can report through its dividers.
            const double lo = name == "temperature" ? -100 : 0;
            const double hi = name == "temperature" ? 150 : name == "rail12" ? 17 : 10;
            double v = 0;
            if (!rtl::TryStrToFloat(value, v) || !(v >= lo && v <= hi))
                throw tools::ArgError("bad value '" + value + "' for --" + name + ": " + rtl::FloatToStr(lo) + " to " +
                                      rtl::FloatToStr(hi) + " is needed");
            (name == "supply" ? options.supply
             : name == "rail5" ? options.rail5
             : name == "rail12" ? options.rail12
                                : options.temperature) = v;
        } else if (name == "resend")
            options.resend_unconfirmed = true;
        else if (name == "hold")
            options.hold = true;
        else if (name == "bmv") {
            const long long v = tools::whole_number(name, value, 11, 48);
            if (v != 11 && v != 48) throw tools::ArgError("bad value '" + value + "' for --bmv: 48 or 11 is needed");
            options.bmv_length = int(v);
        }
    });
    if (code) return *code;
    if (cement && scenario_file.empty()) return args.bad_argument("the cementing station needs --scenario");

    if (cement) {
        try {
            auto line = tcp ? devsim::Endpoint::listen_tcp(int(port)) : devsim::Endpoint::open_pty();
            devsim::CementStation station(*line, devsim::CementScenario::load(scenario_file), speed);
            station.set_faults(faults);
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
        sim.set_faults(faults);

        running = &sim;
        std::signal(SIGINT, on_signal);
        std::signal(SIGTERM, on_signal);
        std::signal(SIGUSR1, on_release);
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
        if (options.kind == devsim::DeviceKind::console) {
            const devsim::ConsoleSettings cs = sim.console_settings();
            std::string line = "console: " + std::to_string(cs.blocks) + " settings blocks, light " +
                               std::to_string(cs.light) + ", degasser " +
                               (cs.degaz_set ? std::string(cs.degaz_on ? "on" : "off") + (cs.degaz_manual ? " manual" : " auto")
                                             : std::string("unset")) +
                               ", tables " + std::to_string(cs.tables.size());
            say(line);
        }
        auto c = sim.counters();
        say("done: " + std::to_string(c.reports) + " reports, " + std::to_string(c.confirmations) + " confirmed, " +
            std::to_string(sim.displays().size()) + " display packets, " + std::to_string(sim.blocks().size()) +
            " blocks, " + std::to_string(c.bad_packets) + " bad packets, " + std::to_string(c.junk_bytes) +
            " junk bytes, " + std::to_string(c.bad_blocks + c.bad_settings) + " bad blocks");
        return 0;
    } catch (const std::exception& e) {
        std::fputs(("device_simulator: " + std::string(e.what()) + "\n").c_str(), stderr);
        return 1;
    }
}
