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
    // Given out of order, pressed as their seconds come.
    const auto q = parse_presses("9:Б,3:А,9:В");
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0].second, "А");
    EXPECT_EQ(q[1].second, "Б");
    EXPECT_EQ(q[2].second, "В");
    // A second that never comes would hold every later press back for ever.
    for (const char* bad : {"Отчет", "x:Отчет", "-1:Отчет", "3:", "nan:Отчет", "inf:Отчет"}) {
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
