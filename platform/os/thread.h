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

}  // namespace os
