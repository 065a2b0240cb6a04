// road_summary: the main job's closing summary. Every output of the road
// is read back by the station's own readers and told in a few lines: the
// file, its size and what it holds. "road_summary --help" tells the
// options and the exit statuses.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/ui/testdata/lsan_options.h"
#include "tools/common/args.h"
#include "tools/road/outputs.h"

// Text is drawn and the office reached: their process-lifetime caches are
// not leaks of the station's code (under the sanitizer build).
LSAN_DEFAULT_OPTIONS(__FILE__, "lsan.supp")

namespace {

void say(const std::string& s) { std::fputs((s + "\n").c_str(), stdout); }

// "STEP: why" as "[STEP] what: why".
std::string step_line(const std::string& text, const std::string& what) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return "[" + text + "] " + what;
    return "[" + text.substr(0, colon) + "] " + what + text.substr(colon);
}

}  // namespace

int main(int argc, char** argv) {
    const tools::ArgParser args(
        "road_summary",
        "road_summary --well DIR --trip N [--host-log FILE] [--console-log FILE]\n"
        "                    [--chart PNG] [--las FILE] [--package FILE] [--seven-zip PROGRAM]\n"
        "                    [--cement-station DIR --cement-well NAME --stage N]\n"
        "                    [--report XLS --profile DIR] [--skipped TEXT]... [--failed TEXT]...",
        "Reads back what the main job made and prints, step by step, each output file,\n"
        "its size and what it holds. An output not named is not read; --skipped and\n"
        "--failed add the steps the job skipped or saw fail (\"STEP: why\").",
        {
            {"well", "DIR", "the well folder of the recorded trip"},
            {"trip", "N", "the recorded trip, 0 to 99999999"},
            {"host-log", "FILE", "the station host's output (its plug-in lines)"},
            {"console-log", "FILE", "the device simulator's output (its closing count)"},
            {"chart", "PNG", "the trip's chart picture"},
            {"las", "FILE", "the trip's LAS file"},
            {"package", "FILE", "the packing program's package"},
            {"seven-zip", "PROGRAM", "the archiver that lists and extracts it (default /usr/bin/7za)"},
            {"cement-station", "DIR", "the station folder of the cementing job"},
            {"cement-well", "NAME", "the well (number and folder) of the cementing job"},
            {"stage", "N", "the cementing job's stage, 1 to 9999"},
            {"report", "XLS", "the stage's spreadsheet report"},
            {"profile", "DIR", "the office profile folder the report is read with"},
            {"skipped", "TEXT", "a step the job skipped and why (repeatable)"},
            {"failed", "TEXT", "a step the job saw fail and why (repeatable)"},
        },
        {
            {0, "every output named read back and no step failed"},
            {1, "an output could not be read back or holds nothing, or a step failed (named)"},
            {2, "a bad argument: an unknown option, a missing or bad value"},
        });
    std::string well, host_log, console_log, chart, las, package, seven_zip = "/usr/bin/7za", station, cement_well,
                                                                  report, profile;
    int trip = -1, stage = 0;
    std::vector<std::string> skipped, failed;
    auto code = args.parse(argc, argv, [&](const std::string& name, const std::string& value) {
        if (name == "well")
            well = value;
        else if (name == "trip")
            trip = int(tools::whole_number(name, value, 0, 99999999));
        else if (name == "host-log")
            host_log = value;
        else if (name == "console-log")
            console_log = value;
        else if (name == "chart")
            chart = value;
        else if (name == "las")
            las = value;
        else if (name == "package")
            package = value;
        else if (name == "seven-zip")
            seven_zip = value;
        else if (name == "cement-station")
            station = value;
        else if (name == "cement-well")
            cement_well = value;
        else if (name == "stage")
            stage = int(tools::whole_number(name, value, 1, 9999));
        else if (name == "report")
            report = value;
        else if (name == "profile")
            profile = value;
        else if (name == "skipped")
            skipped.push_back(value);
        else if (name == "failed")
            failed.push_back(value);
    });
    if (code) return *code;
    if (well.empty() || trip < 0) return args.bad_argument("--well and --trip are needed");
    if (!station.empty() && (cement_well.empty() || stage == 0))
        return args.bad_argument("--cement-station needs --cement-well and --stage");
    if (!report.empty() && profile.empty()) return args.bad_argument("--report needs --profile");

    std::vector<road::Outcome> outcomes;
    outcomes.push_back(road::read_recording(well, trip, host_log, console_log));
    if (!chart.empty()) outcomes.push_back(road::read_chart(chart));
    if (!las.empty()) outcomes.push_back(road::read_las(las));
    if (!package.empty()) outcomes.push_back(road::read_package(package, seven_zip));
    if (!station.empty()) outcomes.push_back(road::read_cementing(station, cement_well, stage));
    if (!report.empty()) outcomes.push_back(road::read_report(report, profile));

    // Step by step, the skipped and failed ones in their places. A step the
    // job saw fail is one failure: what its output lacks then follows from
    // it and is told, not counted again.
    const auto number = [](const std::string& step) { return step.substr(0, step.find(' ')); };
    const auto job_failed = [&](const std::string& step) {
        return std::any_of(failed.begin(), failed.end(),
                           [&](const std::string& f) { return number(f) == number(step); });
    };
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;
    std::vector<std::string> bad = failed;
    for (const auto& o : outcomes) {
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < o.lines.size(); ++i)
            lines.push_back(i == 0 ? "[" + o.step + "] " + o.lines[i] : "  " + o.lines[i]);
        if (o.lines.empty()) lines.push_back("[" + o.step + "]");
        if (!o.failure.empty() && job_failed(o.step)) {
            lines.push_back("  so: " + o.failure);
        } else if (!o.failure.empty()) {
            lines.push_back("  FAILED: " + o.failure);
            bad.push_back(o.step + ": " + o.failure);
        }
        blocks.push_back({o.step, lines});
    }
    for (const auto& s : skipped) blocks.push_back({s, {step_line(s, "skipped")}});
    for (const auto& f : failed) blocks.push_back({f, {step_line(f, "FAILED")}});
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const auto& a, const auto& b) { return a.first.substr(0, 1) < b.first.substr(0, 1); });
    say("== summary");
    for (const auto& b : blocks)
        for (const auto& l : b.second) say(l);
    say("== outputs read back: " + std::to_string(outcomes.size()) +
        ", steps skipped: " + std::to_string(skipped.size()) + ", failed: " + std::to_string(bad.size()));
    if (bad.empty()) return 0;
    for (const auto& b : bad) std::fputs(("road_summary: failed step " + b + "\n").c_str(), stderr);
    return 1;
}
