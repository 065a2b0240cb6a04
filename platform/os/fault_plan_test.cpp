#include "platform/os/fault_plan.h"

#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/os/testing.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>

namespace {

using os::DiskFault;
using os::DiskOp;

std::string content(const std::string& path) {
    std::string bytes;
    return os::read_file(path, bytes) == 0 ? bytes : "<missing>";
}

// Each kind of call fails where the plan says, with the plan's errno, and a
// replacement that meets the fault leaves the old file whole and no
// temporary file behind.
TEST(FaultPlan, EachDoorCallFailsOnItsTurnWithThePlannedError) {
    struct Case {
        DiskOp op;
        int error;
    };
    for (Case c : {Case{DiskOp::write, ENOSPC}, Case{DiskOp::sync, EIO}, Case{DiskOp::rename, EROFS}}) {
        os::testing::TempDir dir;
        const std::string path = dir / "state.ini";
        ASSERT_EQ(os::replace_file(path, "old"), 0);
        os::FaultPlan plan;
        os::ScopedFaultPlan installed(plan);
        plan.add(DiskFault{c.op, c.error, 2, false, path});
        EXPECT_EQ(os::replace_file(path, "first"), 0) << int(c.op);
        EXPECT_EQ(os::replace_file(path, "second"), c.error) << int(c.op);
        EXPECT_EQ(content(path), "first") << int(c.op);
        EXPECT_EQ(os::find_entries(dir / "*", os::fa_any).size(), 1u) << int(c.op);
        EXPECT_EQ(os::replace_file(path, "third"), 0) << int(c.op);  // only the 2nd failed
        EXPECT_EQ(content(path), "third");
        EXPECT_EQ(plan.failed(), 1);
    }

    os::testing::TempDir dir;
    os::FaultPlan plan;
    os::ScopedFaultPlan installed(plan);
    plan.add(DiskFault{DiskOp::make_folder, EROFS, 1, true, ""});
    errno = 0;
    EXPECT_FALSE(os::make_directory(dir / "a"));
    EXPECT_EQ(errno, EROFS);
    EXPECT_FALSE(os::is_directory(dir / "a"));
}

// A lasting fault is a disk that stays full until the test makes room;
// `under` keeps it to one folder; the scope's end takes the plan away.
TEST(FaultPlan, ALastingFaultHoldsUnderItsFolderUntilClearedOrOutOfScope) {
    os::testing::TempDir dir;
    ASSERT_TRUE(os::make_directory(dir / "full"));
    const std::string full = dir / "full/log.txt";
    const std::string other = dir / "log.txt";
    os::FaultPlan plan;
    {
        os::ScopedFaultPlan installed(plan);
        plan.add(DiskFault{DiskOp::write, ENOSPC, 1, true, dir / "full/"});
        for (int i = 0; i < 3; ++i) EXPECT_EQ(os::append_file(full, "x"), ENOSPC);
        EXPECT_EQ(os::append_file(other, "y"), 0);
        os::File f;
        ASSERT_EQ(f.open(dir / "full/data.bin", os::File::Mode::read_write, false), os::File::Status::ok);
        EXPECT_FALSE(f.reserve(4096));
        EXPECT_EQ(f.last_error(), ENOSPC);
        EXPECT_FALSE(f.write_at(0, "z", 1));
        f.close();
        plan.clear();
        EXPECT_EQ(os::append_file(full, "x"), 0);
        EXPECT_EQ(plan.calls(DiskOp::write), 7);
    }
    plan.add(DiskFault{DiskOp::write, ENOSPC, 1, true, ""});
    EXPECT_EQ(os::append_file(full, "x"), 0);  // no longer installed
    EXPECT_EQ(content(full), "xx");
    EXPECT_EQ(content(other), "y");
}

}  // namespace
