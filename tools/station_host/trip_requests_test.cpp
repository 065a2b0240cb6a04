#include "tools/station_host/trip_requests.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace station_host {
namespace {

TEST(HostOperatorScript, PressesInOrderAndBadItemsNamed) {
    const auto p = parse_presses("2:Начать программу,6.5:Отчет,");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].first, 2.0);
    EXPECT_EQ(p[0].second, "Начать программу");
    EXPECT_EQ(p[1].first, 6.5);
    EXPECT_TRUE(parse_presses("").empty());
    for (const char* bad : {"Отчет", "x:Отчет", "-1:Отчет", "3:"}) {
        try {
            parse_presses(bad);
            ADD_FAILURE() << bad;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace station_host
