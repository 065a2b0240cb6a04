#include "platform/os/thread.h"

#include <cerrno>
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

bool set_thread_nice_relative(int thread_id, int offset) {
    // getpriority may return -1 as a value; errno tells it from a failure.
    errno = 0;
    const int process = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    if (process == -1 && errno != 0) return false;
    return set_thread_nice(thread_id, process + offset);
}

}  // namespace os
