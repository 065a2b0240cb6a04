#include "gti/registr_old/race_total.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/par_tabl.h"
#include "library/serial/serial_list.h"
#include "platform/rtl/stream.h"

namespace {

// A frame whose table holds the parameters the totals single out, plus the
// hook load, each averaged over one sample.
struct Trip {
    DataStorage frame;
    RaceTotal totals;
    std::uint32_t clock = 1000;

    Trip() {
        for (const char* n : {"вес_на_крюке", "нагрузка", "расход_на_выходе", "давление_на_входе", "расход_на_входе",
                              "ходы_насоса", "время_бурения"}) {
            Param p;
            p.global_name = n;
            frame.get_par_tabl().add(p);
        }
        totals.set_frame(&frame);
        totals.set_clock([this] { return clock; });
    }

    // One acquisition cycle as the host runs it.
    void cycle(OperType op, double bit, bool moving, double hook, double load, double outflow, double pressure,
               double inflow = 0, double strokes = 0) {
        frame.set_operation(op);
        if (bit > frame.get_depth_z()) frame.set_depth_z(bit);
        frame.set_depth_cur(bit);
        frame.lag_moving = moving;
        frame.current_values["вес_на_крюке"] = hook;
        frame.current_values["нагрузка"] = load;
        frame.current_values["расход_на_выходе"] = outflow;
        frame.current_values["давление_на_входе"] = pressure;
        frame.current_values["расход_на_входе"] = inflow;
        frame.current_values["ходы_насоса"] = strokes;
        frame.average_values.calculate_values(false);
        totals.calculate();
        ++clock;
    }

    int registry_number(const char* name) const { return get_all_params().get_param_number(name); }
};

}  // namespace

TEST(RaceTotal, CountsAScriptedTrip) {
    Trip t;
    t.frame.set_depth_z(1500);
    t.cycle(0, 1500, false, 0, 0, 0, 0);  // the bit's last place, before the trip
    t.clock = 1000;
    t.totals.clear_values();
    t.totals.start();
    EXPECT_EQ(t.totals.get_start_time(), 1000u);
    EXPECT_EQ(t.totals.get_race_start(), 1500.0);

    //      op  bit   moving  hook  load   outflow pressure inflow strokes
    t.cycle(1, 1490, false, 50, 0.005, 30, 100, 0, 0);  // tripping up
    t.cycle(1, 1495, false, 52, 0.01, 31, 101, 0, 0);   // tripping down
    t.cycle(1, 1495, true, 54, 0.02, 32, 102, 20, 60);  // standing
    t.cycle(2, 1501, true, 56, 5, 33, 103, 30, 61);     // drilling
    t.cycle(2, 1502, true, 58, 6, 34, 104, 30, 62);
    t.cycle(3, 1502, true, 60, 0, 35, 105, 10, 0);  // reaming
    t.cycle(4, 1502, false, 62, 0, 36, 106, 0, 0);  // flushing
    t.cycle(9, 1502, false, 64, 0, 37, 107, 0, 0);  // anything else
    t.cycle(0, 1502, false, 66, 0, 38, 108, 0, 0);

    EXPECT_EQ(t.totals.get_registr_time(), 9);
    EXPECT_EQ(t.totals.get_spo_time(), 3);
    EXPECT_EQ(t.totals.get_spo_up_time(), 1);
    EXPECT_EQ(t.totals.get_spo_down_time(), 1);
    EXPECT_EQ(t.totals.get_drill_time(), 2);
    EXPECT_EQ(t.totals.get_prorab_time(), 1);
    EXPECT_EQ(t.totals.get_prom_time(), 1);
    EXPECT_EQ(t.totals.get_other_time(), 2);
    EXPECT_EQ(t.totals.get_circ_time(), 4);

    EXPECT_EQ(t.totals.get_aver_value("вес_на_крюке"), (50 + 52 + 54 + 56 + 58 + 60 + 62 + 64 + 66) / 9.0);
    // The load only from 0.01 up; outflow and pressure only while circulating.
    EXPECT_DOUBLE_EQ(t.totals.get_aver_value("нагрузка"), (0.01 + 0.02 + 5 + 6) / 4);
    EXPECT_EQ(t.totals.accumulator(t.registry_number("нагрузка")).count, 4);
    EXPECT_EQ(t.totals.get_aver_value("расход_на_выходе"), (32 + 33 + 34 + 35) / 4.0);
    EXPECT_EQ(t.totals.get_aver_value(" ДАВЛЕНИЕ_НА_ВХОДЕ "), (102 + 103 + 104 + 105) / 4.0);
    EXPECT_EQ(t.totals.get_aver_value("нет_такого"), 0.0);
    EXPECT_EQ(t.totals.get_aver_value("метан_абс"), 0.0);  // registered, not in the frame

    EXPECT_NEAR(t.totals.get_nasos_rastvor_volume(), (20 + 30 + 30 + 10) * 0.001, 1e-15);
    EXPECT_EQ(t.totals.get_strokes_sum(), 183.0);
    EXPECT_EQ(t.frame.current_values["время_бурения"], 2 / 3600.0);

    EXPECT_EQ(t.totals.get_prohodka(), 2.0);
    t.clock = 1000 + 3600;
    t.totals.stop();
    EXPECT_EQ(t.totals.get_race_stop(), 1502.0);
    EXPECT_EQ(t.totals.get_race_rate(), 2.0);
}

TEST(RaceTotal, DrillingHoursAndTheEdgesOfTheRates) {
    Trip t;
    t.frame.set_depth_z(100);
    t.totals.start();
    for (int i = 0; i < 7200; ++i) t.cycle(2, 100, true, 0, 0, 0, 0);
    EXPECT_EQ(t.frame.current_values["время_бурения"], 2.0);

    // Stopped in the second it started.
    t.clock = 5000;
    t.totals.start();
    t.totals.stop();
    EXPECT_EQ(t.totals.get_race_rate(), 0.0);
    // A stop before the start is no duration, not four billion seconds.
    t.clock = 6000;
    t.totals.start();
    t.clock = 5999;
    t.frame.set_depth_z(200);
    t.totals.stop();
    EXPECT_EQ(t.totals.get_race_rate(), 0.0);
    // The bottom above the start of the trip is no drilled length.
    t.frame.set_depth_z(300);
    t.totals.start();
    t.frame.set_depth_z(250);
    t.cycle(0, 250, false, 0, 0, 0, 0);
    EXPECT_EQ(t.totals.get_prohodka(), 0.0);
}

TEST(RaceTotal, ClearAndStart) {
    Trip t;
    t.frame.set_depth_z(10);
    t.totals.start();
    t.cycle(2, 12, true, 5, 1, 1, 1, 40, 7);
    t.clock = 2000;
    t.totals.stop();
    t.totals.clear_values();
    EXPECT_EQ(t.totals.get_registr_time(), 0);
    EXPECT_EQ(t.totals.get_drill_time(), 0);
    EXPECT_EQ(t.totals.get_circ_time(), 0);
    EXPECT_EQ(t.totals.get_start_time(), 0u);
    EXPECT_EQ(t.totals.get_stop_time(), 0u);
    EXPECT_EQ(t.totals.get_race_start(), 0.0);
    EXPECT_EQ(t.totals.get_race_stop(), 0.0);
    EXPECT_EQ(t.totals.get_aver_value("вес_на_крюке"), 0.0);
    // The volumes restart with the trip, not with the clearing.
    EXPECT_NEAR(t.totals.get_nasos_rastvor_volume(), 0.04, 1e-15);
    t.totals.start();
    EXPECT_EQ(t.totals.get_nasos_rastvor_volume(), 0.0);
    EXPECT_EQ(t.totals.get_strokes_sum(), 0.0);
    EXPECT_EQ(t.totals.get_race_start(), 12.0);
}

TEST(RaceTotal, WithoutAFrameItSaysSo) {
    RaceTotal totals;
    EXPECT_THROW(totals.calculate(), std::logic_error);
    EXPECT_THROW(totals.start(), std::logic_error);
    EXPECT_EQ(totals.get_race_rate(), 0.0);
}

TEST(RaceTotal, RegistryRowsPastTheSumsAreNotCounted) {
    // The registry is the process's own: grow it in a child process only.
    EXPECT_EXIT(
        {
            AllParams& registry = get_all_params();
            std::vector<std::string> names;
            while (registry.get_items_count() < RaceTotal::max_params + 10) {
                names.push_back("лишний_" + std::to_string(registry.get_items_count()));
                registry.register_param(names.back(), "", "", names.back(), -1, 1, 0, 0, 0, 0, 100, 0);
            }
            Trip t;
            for (const auto& n : names) {
                Param p;
                p.global_name = n;
                t.frame.get_par_tabl().add(p);
            }
            for (const auto& n : names) t.frame.current_values[n] = 5;
            t.cycle(2, 0, true, 1, 1, 1, 1);
            const int past = RaceTotal::max_params + 3;
            const std::string past_name = "лишний_" + std::to_string(past);
            bool ok = t.totals.get_aver_value(past_name) == 0.0 &&
                      t.totals.get_aver_value("лишний_" + std::to_string(RaceTotal::max_params - 1)) == 5.0 &&
                      t.totals.accumulator(past).count == 0 && t.totals.get_aver_value("вес_на_крюке") == 1.0;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

namespace {

lib::SerialInputBuffer written(RaceTotal& totals, unsigned kind) {
    lib::SerialOutputBuffer out;
    totals.get_serial_list(out, kind);
    lib::SerialInputBuffer in;
    in.copy_from(out);
    return in;
}

}  // namespace

TEST(RaceTotal, ModuleStreamWithAndWithoutTheSums) {
    Trip t;
    std::string name;
    t.totals.get_serial_name(name);
    EXPECT_EQ(name, "RaceTotal");
    t.frame.set_depth_z(700);
    t.totals.start();
    // A hook load whose sum needs the 64-bit significand of the extended
    // real: 2^60 + 1 is not a double.
    t.cycle(2, 701, true, std::ldexp(1.0, 60), 1, 1, 1, 10, 3);
    t.cycle(1, 699, true, 1.0, 1, 1, 1, 10, 3);
    t.cycle(3, 699, false, 0.5, 1, 1, 1, 10, 3);
    t.clock = 99999;
    t.totals.stop();
    const int hook = t.registry_number("вес_на_крюке");
    ASSERT_EQ(t.totals.accumulator(hook).sum, std::ldexp(1.0L, 60) + 1.5L);

    lib::SerialInputBuffer full = written(t.totals, 1);
    constexpr int head = 8 + 8 + 4 + 7 * 4 + 2 * 4 + 3 * 8;
    ASSERT_EQ(full.size(), head + 512 * 14);
    // The extended sum of the hook load, in the x87 form.
    const unsigned char* sum = reinterpret_cast<const unsigned char*>(full.bytes().data()) + head + hook * 14;
    const unsigned char expected_sum[10] = {0x0C, 0, 0, 0, 0, 0, 0, 0x80, 0x3B, 0x40};  // 2^60 + 1.5
    EXPECT_EQ(std::memcmp(sum, expected_sum, 10), 0);

    RaceTotal back;
    back.get_serial_list(full, 1);
    EXPECT_EQ(back.get_registr_time(), 3);
    EXPECT_EQ(back.get_drill_time(), 1);
    EXPECT_EQ(back.get_spo_time(), 1);
    EXPECT_EQ(back.get_prorab_time(), 1);
    EXPECT_EQ(back.get_circ_time(), 2);
    EXPECT_EQ(back.get_spo_down_time(), 0);  // the directions are not kept
    EXPECT_EQ(back.get_start_time(), 1000u);
    EXPECT_EQ(back.get_stop_time(), 99999u);
    EXPECT_EQ(back.get_race_start(), 700.0);
    EXPECT_EQ(back.get_race_stop(), 701.0);
    EXPECT_EQ(back.get_prohodka(), 1.0);
    EXPECT_NEAR(back.get_nasos_rastvor_volume(), 0.03, 1e-15);
    EXPECT_EQ(back.get_strokes_sum(), 9.0);
    for (int i = 0; i < RaceTotal::max_params; ++i) {
        ASSERT_EQ(back.accumulator(i).sum, t.totals.accumulator(i).sum) << i;
        ASSERT_EQ(back.accumulator(i).count, t.totals.accumulator(i).count) << i;
    }

    // Without the full form the sums are neither written nor read.
    lib::SerialInputBuffer brief = written(t.totals, 0);
    EXPECT_EQ(brief.size(), head);
    Trip keep;
    keep.cycle(2, 0, true, 8, 0, 0, 0);
    keep.totals.get_serial_list(brief, 0);
    EXPECT_EQ(keep.totals.get_registr_time(), 3);
    EXPECT_EQ(keep.totals.get_aver_value("вес_на_крюке"), 8.0);

    // Sums cut short change nothing at all.
    std::vector<char> cut(full.bytes().begin(), full.bytes().end() - 14);
    lib::SerialOutputBuffer out;
    out.process_binary(cut.data(), static_cast<int>(cut.size()));
    lib::SerialInputBuffer short_in;
    short_in.copy_from(out);
    EXPECT_THROW(keep.totals.get_serial_list(short_in, 1), std::runtime_error);
    EXPECT_EQ(keep.totals.get_registr_time(), 3);
    EXPECT_EQ(keep.totals.get_aver_value("вес_на_крюке"), 8.0);
}

TEST(RaceTotal, TheFrameQueueAndTotalsRoundTripThroughOneModuleStream) {
    Trip t;
    t.frame.set_depth_z(900);
    t.totals.start();
    DelayedDepth& lag = t.frame.get_delayed_depth();
    lag.add_record({900.5f, 0});
    lag.add_record({901.5f, 12});
    lag.add_record({902.5f, 16});
    for (int k = 0; k < 3; ++k) t.cycle(2, 901 + k, true, 40 + k, 2, 3, 4, 25, 1);
    lag.calc(1, 2);
    t.frame.host_counter = 77;

    DataStorage& f = t.frame;
    const lib::Serializator::Modules modules = {&t.totals, &f, &f.average_values, &f.get_delayed_depth()};
    rtl::MemoryStream stream;
    lib::Serializator(1030).serialize(modules, &stream, 1);

    Trip back;
    DataStorage& g = back.frame;
    const lib::Serializator::Modules into = {&g.get_delayed_depth(), &g.average_values, &g, &back.totals};
    stream.SetPosition(0);
    std::vector<std::string> errors;
    lib::Serializator(1030).deserialize(into, &stream, 1, [&](const std::string& e) { errors.push_back(e); });
    EXPECT_TRUE(errors.empty());

    EXPECT_EQ(g.get_depth_z(), 903.0);
    EXPECT_EQ(g.get_depth_cur(), 903.0);
    EXPECT_EQ(g.get_operation(), 2);
    EXPECT_EQ(g.host_counter, 77);
    EXPECT_TRUE(g.lag_moving);
    // The stream holds averages: "время_бурения", written after the last
    // averaging, comes back as it was averaged.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(g[i], f[i]) << i;
    EXPECT_EQ(g["время_бурения"], 2 / 3600.0);
    EXPECT_EQ(g.get_delayed_depth().get_value(), 900.5);
    EXPECT_EQ(g.get_delayed_depth().get_time_to_depth_out(), 8);
    EXPECT_EQ(g.get_delayed_depth().records().size(), 2u);
    EXPECT_EQ(back.totals.get_drill_time(), 3);
    EXPECT_EQ(back.totals.get_aver_value("вес_на_крюке"), 41.0);
    EXPECT_EQ(back.totals.get_prohodka(), 3.0);
}
