#include "platform/os/thread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace os {

int current_thread_id() { return static_cast<int>(::gettid()); }

bool is_main_thread() { return ::gettid() == ::getpid(); }

bool set_thread_nice(int thread_id, int nice) {
    if (nice < -20) nice = -20;
    if (nice > 19) nice = 19;
    // On Linux a thread id addresses just that thread.
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread_id), nice) == 0;
}

}  // namespace os
