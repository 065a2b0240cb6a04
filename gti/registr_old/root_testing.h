#pragma once
// For tests only. Each test that builds a root (or reaches it through sys())
// runs in a child process of its own, so that sys() and the process-wide
// players and locks start fresh every time. The child's failures are
// collected, written to its standard error (which the parent shows) and make
// it exit with 1.

#include "platform/os/sound.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace root_testing {

inline void in_fresh_process(const std::function<void()>& body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            os::set_sound_player(std::make_shared<os::RecordingSoundPlayer>());
            ::testing::TestPartResultArray results;
            {
                ::testing::ScopedFakeTestPartResultReporter collect(
                    ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
                body();
            }
            bool failed = false;
            for (int i = 0; i < results.size(); ++i) {
                const auto& r = results.GetTestPartResult(i);
                if (!r.failed()) continue;
                failed = true;
                std::fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(), r.message());
            }
            std::exit(failed ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace root_testing
