#include "platform/os/desktop.h"

#include <mutex>

#include "platform/os/file.h"

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace os {

namespace {

// Lets the child go: a finished one is reaped at once, a running one on a
// thread that waits for it.
void release(Process* p) {
    if (!p->running()) {
        delete p;
        return;
    }
    try {
        std::thread([p] {
            try {
                p->wait(-1);
            } catch (...) {}
            delete p;
        }).detach();
    } catch (...) {
        // No thread to be had: wait here rather than leave a zombie.
        delete p;
    }
}

bool is_executable_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

ChildHandle start_child(const SpawnOptions& options, std::string* error) {
    auto* p = new Process;
    if (!p->start(options, error)) {
        delete p;
        return nullptr;
    }
    return ChildHandle(p, release);
}

namespace {

std::mutex g_opener_mutex;
std::string g_opener;

std::string opener() {
    std::lock_guard<std::mutex> lock(g_opener_mutex);
    return g_opener.empty() ? std::string("xdg-open") : g_opener;
}

}  // namespace

void set_document_opener(std::string program) {
    std::lock_guard<std::mutex> lock(g_opener_mutex);
    g_opener = std::move(program);
}

ChildHandle open_document(const std::string& target, std::string* error) {
    SpawnOptions o;
    o.program = opener();
    o.args = {target};
    o.search_path = o.program.find('/') == std::string::npos;
    o.null_stdio = true;
    return start_child(o, error);
}

ChildHandle shell_open(const std::string& file, const std::string& parameters, std::string* error) {
    const std::string path = native_path(file);
    if (!is_executable_file(path)) return open_document(path, error);
    SpawnOptions o;
    o.program = path;
    o.args = split_command_line(parameters);
    o.null_stdio = true;
    return start_child(o, error);
}

}  // namespace os
