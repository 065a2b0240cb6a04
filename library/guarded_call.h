#pragma once
// Runs one piece of queued work so that its failure never escapes the thread
// that runs it: the failure is described ("<prefix>: <what>") and handed to
// the owner's error handler, or to the process error log when there is none
// or the handler itself fails.

#include <functional>
#include <string>

namespace lib {

void run_guarded(const std::function<void()>& work, const std::string& prefix,
                 const std::function<std::function<void(const std::string&)>()>& current_handler);

}  // namespace lib
