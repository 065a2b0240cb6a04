#pragma once
// For the plug-in's window tests: a station of its own (a fresh process, a
// program folder in a temporary folder), the hub's table with the job's
// parameters, a well with a construction and a drill string on bottom, and
// a plug-in whose clocks the test moves (os::clock(), a manual one) while
// the test plays the cementing station's part: a good frame each second.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/root_testing.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "platform/os/clock.h"
#include "platform/os/paths.h"
#include "platform/os/testing.h"
#include "plugins/cement/cement_plugin.h"

namespace cement::testing {

inline void in_station(const std::function<void(const std::string&)>& body) {
    root_testing::in_fresh_process([&] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        body(dir.path() + "/");
    });
}

// The folder the tests' pictures go to.
inline std::string png_folder() {
    const std::filesystem::path out = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "cement";
    std::filesystem::create_directories(out);
    return out.string() + "/";
}

// A 2500 m well: conductor to 600 m, casing to 1800 m, open hole below; a
// bit, collars and drill pipe on bottom.
inline void make_well(double depth = 2500) {
    lib::Locker hold(sys_lock_obj());
    pore::PoreOpt& pore = sys()->get_pore();
    pore::Construction& c = *pore.get_construction();
    auto use = [&](int i, float top, float bottom, float inner, float outer) {
        pore::ConstrElement& e = c.at(i);
        e.enabled = true;
        e.top = top;
        e.bottom = bottom;
        e.inner_diameter = inner;
        e.outer_diameter = outer;
    };
    use(1, 0, 600, 304.8f, 323.9f);
    use(7, 0, 1800, 220.5f, 244.5f);
    use(8, 1800, 2500, 215.9f, 215.9f);
    instr::Items& s = *pore.get_instr();
    auto add = [&](int type, int count, std::vector<float> lengths, float diameter, float wall) {
        instr::Elem& e = s.get(s.add_new());
        e.type = type;
        e.count = count;
        e.lengths = std::move(lengths);
        e.diameter = diameter;
        e.wall = wall;
    };
    add(instr::elem_type::bit, 1, {0.3f}, 215.9f, 0);
    add(instr::elem_type::collar, 8, {12}, 178, 54);
    add(instr::elem_type::stand, 96, {12.5f, 12.5f}, 127, 9);
    sys()->get_data_storage().set_depth_z(depth);
}

// What the plug-in logged through the host (a plain function there, so
// kept for the process).
inline std::vector<std::string>& logged() {
    static std::vector<std::string> lines;
    return lines;
}

// The hub with the plug-in's parameters in its table and the plug-in on it,
// its clocks moved by the test and its log in logged().
struct Job {
    os::ManualClock clock;
    os::ScopedClock use_clock{clock};
    CementPlugin plugin;

    Job() {
        clock.advance(3600 * 1000);
        plugin.set_root(sys());
        plugin.host_add_error = [](reg::RegPlugin*, const AnsiString& text) { logged().push_back(text); };
        const std::int64_t start = clock.now_ms();
        plugin.set_date_time_source([this, start] { return 46000.0 + double(clock.now_ms() - start) / 86400000.0; });
        // The station has answered before the job starts.
        plugin.link().frame_received(clock.now_ms());
        lib::Locker hold(sys_lock_obj());
        ParTabl& table = sys()->get_data_storage().get_par_tabl();
        for (const char* name : {"cem_davl", "cem_plotn", "cem_plan_plotn", "cem_temp", "cem_rasx", "cem_plan_rasx",
                                 "cem_V", "cem_plan_V", "cem_Vsumm"}) {
            Param p;
            p.global_name = name;
            table.add(p);
        }
    }
    void set(const char* name, double v) {
        lib::Locker hold(sys_lock_obj());
        sys()->get_data_storage().current_values[name] = v;
    }
    double hub(const char* name) {
        lib::Locker hold(sys_lock_obj());
        return sys()->get_data_storage().current_values[name];
    }
    // The clock moves on `seconds` (back when negative) with a good frame
    // from the station each second of it, or none when `silent`.
    void pass(double seconds, bool silent = false) {
        const std::int64_t total = std::int64_t(seconds * 1000);
        const std::int64_t piece = total >= 0 ? 1000 : total;
        for (std::int64_t done = 0; total >= 0 ? done < total : done > total;) {
            const std::int64_t ms = total >= 0 ? std::min(piece, total - done) : piece;
            clock.advance(int(ms));
            done += ms;
            if (!silent) plugin.link().frame_received(clock.now_ms());
        }
    }
    // One data cycle after `seconds`, stored, with the window following.
    void step(double seconds, bool silent = false) {
        pass(seconds, silent);
        plugin.data_cycle(true);
        plugin.refresh_window();
    }
    // The programme: one element of each kind given, named as the kind.
    void elements(const std::vector<int>& kinds) {
        CementData& d = plugin.job();
        d.program.clear();
        for (int k : kinds) {
            CementProgramElement e;
            e.name = cement::stage_kind_name(k);
            e.kind = k;
            d.program.push_back(e);
        }
    }
    // The elements with plans small enough that a few cycles fill them.
    void programme(const std::vector<int>& kinds) {
        elements(kinds);
        CementData& d = plugin.job();
        d.plan[CementData::plan_volume][CementData::col_buffer] = 0.4f;
        d.plan[CementData::plan_volume][CementData::col_cement] = 0.5f;
        d.plan[CementData::plan_volume][CementData::col_displacement] = 0.6f;
    }
};

}  // namespace cement::testing
