#include "platform/rtl/version.h"

#include <gtest/gtest.h>

TEST(PlatformVersion, IsSet) { EXPECT_STRNE(rtl::platform_version(), ""); }
