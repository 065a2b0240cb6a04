#pragma once
// Disk faults on demand, for tests.
//
// A full disk, a failing disk or a read-only mount is hard to come by in a
// test: a small tmpfs needs mount rights, a file-size limit fails only
// writes, and a folder made read-only by its mode still lets a privileged
// user write. A fault plan makes the file door itself fail the Nth write,
// sync, rename or folder creation with the errno a real disk gives (ENOSPC,
// EIO, EROFS), so the code above it meets exactly what it would meet on such
// a disk, for any user.
//
// A plan is installed for a scope with ScopedFaultPlan; with none installed
// the door asks one atomic pointer and goes on. Production code never
// installs one.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace os {

// What the door was about to do.
enum class DiskOp {
    write,        // File::write / write_at / reserve, append_file, ReplacementFile::write
    sync,         // File::sync, sync_folder_of, the sync of a replacement's commit
    rename,       // a replacement's commit, rename_directory
    make_folder,  // make_directory, make_directories
};

// One fault: the `nth` call of `op` (counted from 1, among the calls whose
// path lies under `under` when that is given) fails with `error`, and so
// does every later one while `lasting` (a disk that stays full).
struct DiskFault {
    DiskOp op = DiskOp::write;
    int error = 28;  // ENOSPC
    int nth = 1;
    bool lasting = true;
    std::string under;  // a path prefix; empty for every path
};

class FaultPlan {
public:
    void add(DiskFault fault);
    // Room again: every fault is dropped (the counts stay).
    void clear();
    // How many calls of `op` the door made while the plan was installed,
    // and how many of them it failed.
    int calls(DiskOp op) const;
    int failed() const;

    // The errno the call should fail with, or 0 to go on.
    int check(DiskOp op, std::string_view path);

private:
    struct Entry {
        DiskFault fault;
        int seen = 0;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> faults_;
    int calls_[4] = {0, 0, 0, 0};
    int failed_ = 0;
};

// Installs a plan for the life of a scope, restoring the previous one. The
// plan is asked from every thread, and survives fork(), so a forked child
// meets it too.
class ScopedFaultPlan {
public:
    explicit ScopedFaultPlan(FaultPlan& plan);
    ~ScopedFaultPlan();
    ScopedFaultPlan(const ScopedFaultPlan&) = delete;
    ScopedFaultPlan& operator=(const ScopedFaultPlan&) = delete;

private:
    FaultPlan* previous_;
};

// The door's question before each such call: 0 to go on, else the errno to
// fail with (also left in errno).
int planned_fault(DiskOp op, std::string_view path);

}  // namespace os
