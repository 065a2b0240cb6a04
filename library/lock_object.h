#pragma once
// One lock type for the whole library: without a name a recursive lock
// inside the process; with a name a lock shared by every process of the user
// that uses the same name (released by the system when its holder dies).
// Lock objects of long-lived owners are never destroyed at exit, so static
// destruction order cannot bite.

#include "platform/os/named_lock.h"

#include <memory>
#include <mutex>

namespace lib {

class lock_object {
public:
    enum kinds { named_mutex = 0, critical_section = 1 };

    // A null or empty name makes an unnamed lock. A named lock whose lock
    // file can't be had throws std::runtime_error naming the lock.
    explicit lock_object(const char* name = nullptr);
    ~lock_object();
    lock_object(const lock_object&) = delete;
    lock_object& operator=(const lock_object&) = delete;

    void lock();
    void unlock();
    int kind() const { return kind_; }

private:
    int kind_;
    std::unique_ptr<os::NamedLock> named_;
    std::recursive_mutex section_;
};

// Holds a lock for its own lifetime.
class Locker {
public:
    // Throws std::invalid_argument for a null lock.
    explicit Locker(lock_object* obj);
    ~Locker();
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

private:
    lock_object* obj_;
};

}  // namespace lib
