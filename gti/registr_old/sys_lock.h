#pragma once
// The hub's two process-wide locks, each built on first use and never
// destroyed (so static destruction order cannot bite):
//  - sys_lock_obj() guards the root object's state: the recording start and
//    stop, every frame notification, every named-value operation and the
//    host callbacks take it; it is held while "sys.bin" is written. It is
//    recursive, so code already holding it may call in.
//  - file_lock_obj() is taken by the remarks storage while it saves.

namespace lib {
class lock_object;
}

lib::lock_object* sys_lock_obj();
lib::lock_object* file_lock_obj();
