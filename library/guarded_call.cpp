#include "library/guarded_call.h"

#include <exception>

#include "platform/os/error_log.h"

namespace lib {

void run_guarded(const std::function<void()>& work, const std::string& prefix,
                 const std::function<std::function<void(const std::string&)>()>& current_handler) {
    std::string failure;
    try {
        if (work) work();
        return;
    } catch (const std::exception& e) {
        failure = prefix + ": " + e.what();
    } catch (...) {
        failure = prefix + " with an unknown exception";
    }
    try {
        // Fetched only now, so the owner's lock is never held while the work runs.
        auto handler = current_handler ? current_handler() : nullptr;
        if (handler) {
            handler(failure);
            return;
        }
    } catch (...) {}
    os::log_error(failure);
}

}  // namespace lib
