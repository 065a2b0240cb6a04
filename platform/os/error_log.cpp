#include "platform/os/error_log.h"

#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

namespace os {
namespace {

std::mutex g_sink_mutex;
std::shared_ptr<const ErrorSink> g_sink;

void write_stderr(std::string_view message) {
    std::string line(message);
    line += '\n';
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0) return;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

void set_error_sink(ErrorSink sink) {
    std::shared_ptr<const ErrorSink> next;
    if (sink) next = std::make_shared<const ErrorSink>(std::move(sink));
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    g_sink = std::move(next);
}

void log_error(std::string_view message) noexcept {
    try {
        std::shared_ptr<const ErrorSink> sink;
        {
            std::lock_guard<std::mutex> lock(g_sink_mutex);
            sink = g_sink;
        }
        // The sink runs outside the mutex so that it may log through code
        // that itself reports failures here.
        if (sink)
            (*sink)(message);
        else
            write_stderr(message);
    } catch (...) {}
}

}  // namespace os
