#pragma once
// Named locks shared by the station's processes.
//
// A name stands for one lock across every process of the user: the lock is a
// file in the private run-time folder (os::runtime_dir()) held with flock, so
// the system releases it when the holding process dies, however it dies.
// Within a process the lock is owned by a thread and is recursive, whichever
// NamedLock object of the same name the thread goes through: a thread that
// holds it may take it again, and another thread waits.
//
// Any text is a valid name; it is turned into a file name that keeps letters,
// digits, '.', '_' and '-' and escapes every other byte, so no name reaches
// outside the run-time folder. Lock files are left in place: removing one
// while another process waits on it would split the lock in two.

#include <memory>
#include <string>

namespace os {

namespace detail {
struct NamedLockState;
}

class NamedLock {
public:
    // Opens (creating when needed) the lock file of the name. Throws
    // std::runtime_error naming the lock and the cause when it can't.
    explicit NamedLock(const std::string& name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    void lock();      // waits as long as it takes
    bool try_lock();  // never waits
    // Releases one level of the calling thread's hold; a thread that does
    // not hold the lock releases nothing.
    void unlock();

    const std::string& name() const { return name_; }
    // The lock file's name inside the run-time folder.
    static std::string file_name_for(const std::string& name);

private:
    void rebind_after_fork();

    std::string name_;
    std::shared_ptr<detail::NamedLockState> state_;
};

}  // namespace os
