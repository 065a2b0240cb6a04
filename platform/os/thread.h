#pragma once
// Thread identity and scheduling.

namespace os {

// The kernel's id of the calling thread.
int current_thread_id();

// True on the thread the process started with.
bool is_main_thread();

// Sets a thread's niceness (-20 runs soonest, 19 latest). Making a thread
// nicer always works; making it less nice than the process usually needs a
// privilege, and the refusal is returned as false.
bool set_thread_nice(int thread_id, int nice);

// Sets a thread's niceness relative to the process's own (its main
// thread's): a worker asked to run "lower" stays below a process that was
// itself started niced, instead of rising above it. The result is held
// within -20..19.
bool set_thread_nice_relative(int thread_id, int offset);

}  // namespace os
