#include "library/lock_object.h"

#include <stdexcept>

namespace lib {

lock_object::lock_object(const char* name) : kind_(name && *name ? named_mutex : critical_section) {
    if (kind_ == named_mutex) named_ = std::make_unique<os::NamedLock>(name);
}

lock_object::~lock_object() = default;

void lock_object::lock() {
    if (named_)
        named_->lock();
    else
        section_.lock();
}

void lock_object::unlock() {
    if (named_)
        named_->unlock();
    else
        section_.unlock();
}

Locker::Locker(lock_object* obj) : obj_(obj) {
    if (!obj_) throw std::invalid_argument("lib::Locker: the lock object is null");
    obj_->lock();
}

Locker::~Locker() { obj_->unlock(); }

}  // namespace lib
