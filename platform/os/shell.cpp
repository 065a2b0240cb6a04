#include "platform/os/shell.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/os/directory.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/os/process.h"

namespace os {

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

bool open_document(const std::string& path, std::string* error) {
    auto child = std::make_unique<Process>();
    SpawnOptions o;
    o.program = opener();
    o.args = {path};
    o.search_path = o.program.find('/') == std::string::npos;
    o.null_stdio = true;
    if (!child->start(o, error)) return false;
    // The handler may stay until the user closes the viewer; only its end
    // is waited for, away from the caller.
    std::thread([c = std::move(child)]() mutable {
        try {
            c->wait();
        } catch (...) {
            log_error("open_document: waiting for the document handler failed");
        }
    }).detach();
    return true;
}

bool copy_file(std::string_view from, std::string_view to, bool fail_if_exists) {
    if (fail_if_exists && path_exists(to)) return false;
    File in;
    if (in.open(from, File::Mode::read, false) != File::Status::ok) return false;
    ReplacementFile out;
    if (!out.create(to)) return false;
    std::vector<char> buffer(1 << 16);
    while (true) {
        const std::int64_t n = in.read(buffer.data(), buffer.size());
        if (n < 0) return false;  // the temporary file goes with `out`
        if (n == 0) break;
        if (!out.write(buffer.data(), static_cast<std::size_t>(n))) return false;
    }
    // A copy made meanwhile by another program stays: the first one wins.
    if (fail_if_exists && path_exists(to)) return false;
    return out.commit();
}

}  // namespace os
