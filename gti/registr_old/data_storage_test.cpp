#include "gti/registr_old/data_storage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>
#include <limits>

namespace {

TEST(DataStorage, OutOfRangeAndUnknownNamesReachAZeroedSpare) {
    DataStorage ds;
    Param p;
    p.global_name = "вес_на_крюке";
    ds.get_par_tabl().add(p);
    ds.get_cur_values()[0] = 5;
    EXPECT_EQ(ds["вес_на_крюке"], 5);
    EXPECT_EQ(ds.get_cur_values()["ВЕС_НА_КРЮКЕ"], 5);
    for (int i : {-1, 512}) {
        ds[i] = 77;
        EXPECT_EQ(ds[i], 0);
        ds.get_cur_values()[i] = 77;
        EXPECT_EQ(ds.get_cur_values()[i], 0);
        ds.get_crush_flags()[i] = 1;
        EXPECT_EQ(ds.get_crush_flags()[i], 0);
    }
    ds.get_cur_values()["нет"] = 3;
    EXPECT_EQ(ds["нет"], 0);
    EXPECT_EQ(ds.get_aver_values()["нет"], 0);
    ds.get_crush_flags()["вес_на_крюке"] = 1;
    EXPECT_EQ(ds.get_crush_flags()[0], 1);
}

TEST(DataStorage, DepthRules) {
    DataStorage ds;
    ds.set_depth_z(100);
    EXPECT_EQ(ds.get_depth_cur(), 100);  // the bit was on bottom at 0
    ds.set_depth_z(101);
    EXPECT_EQ(ds.get_depth_cur(), 101);
    ds.set_depth_cur(90);
    ds.set_depth_z(105);
    EXPECT_EQ(ds.get_depth_cur(), 90);
    ds.set_depth_z(80);
    EXPECT_EQ(ds.get_depth_cur(), 80);
    ds.set_depth_cur(120);
    EXPECT_EQ(ds.get_depth_cur(), 80);
    ds.set_depth_z(15000);  // the bit was on bottom and follows
    EXPECT_EQ(ds.get_depth_cur(), 15000);
    ds.set_depth_cur(14000);
    for (double bad : {15000.001, -0.1, std::numeric_limits<double>::quiet_NaN(),
                       std::numeric_limits<double>::infinity()}) {
        try {
            ds.set_depth_z(bad);
            FAIL() << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(),
                         "Некорректное значение глубины забоя!\nРазрешённые значения - от 0 до 15000 метров.");
        }
        EXPECT_THROW(ds.set_depth_cur(bad), std::runtime_error);
    }
    EXPECT_EQ(ds.get_depth_z(), 15000);
    EXPECT_EQ(ds.get_depth_uz(), 1000);
    ds.restore_depths(10, 20);
    EXPECT_EQ(ds.get_depth_uz(), 0);

    // The pulse lasts three ticks.
    ds.set_depth_cur(5);
    EXPECT_TRUE(ds.is_depth_changed());
    ds.tick();
    ds.tick();
    EXPECT_TRUE(ds.is_depth_changed());
    ds.tick();
    EXPECT_FALSE(ds.is_depth_changed());
}

TEST(DataStorage, StreamForms) {
    DataStorage ds;
    ds.set_depth_z(1234.5);
    ds.set_depth_cur(1200.25);
    ds.set_operation(OperType(2));
    ds.lag_moving = false;
    ds.host_counter = 17;
    lib::SerialOutputBuffer out;
    ds.get_serial_list(out, 0);
    EXPECT_EQ(out.size(), 1 + 1 + 8 + 8 + 4 + 4);

    DataStorage back;
    lib::SerialInputBuffer in;
    in.copy_from(out);
    back.get_serial_list(in, 0);
    EXPECT_EQ(back.get_depth_z(), 1234.5);
    EXPECT_EQ(back.get_depth_cur(), 1200.25);
    EXPECT_EQ(back.get_operation(), 2);
    EXPECT_FALSE(back.lag_moving);
    EXPECT_EQ(back.host_counter, 17);

    // Averages: one block of 4096 bytes; a restored average becomes the
    // current value while no samples are queued.
    lib::SerialOutputBuffer aout;
    ds.get_aver_values().get_serial_list(aout, 1);
    ASSERT_EQ(aout.size(), 4096);
    std::vector<char> block(4096, 0);
    double v = 6.5;
    std::memcpy(block.data() + 3 * 8, &v, 8);
    lib::SerialOutputBuffer made;
    made.process_binary(block.data(), 4096);
    lib::SerialInputBuffer ain;
    ain.copy_from(made);
    ds.get_aver_values().get_serial_list(ain, 1);
    EXPECT_EQ(ds.get_cur_values()[3], 6.5);
    EXPECT_EQ(ds[3], 6.5);

    // A short block changes nothing.
    lib::SerialOutputBuffer shorter;
    shorter.process_binary(block.data(), 100);
    lib::SerialInputBuffer sin;
    sin.copy_from(shorter);
    ds.get_cur_values()[3] = 1;
    ds.get_aver_values().get_serial_list(sin, 1);
    EXPECT_EQ(ds.get_cur_values()[3], 1);
}

}  // namespace
