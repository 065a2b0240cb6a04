#pragma once
// Where the platform layer and the libraries above it put failures that they
// must swallow: a destructor that cannot flush, a clean-up that failed. The
// recording host points the sink at its error log; until then the messages go
// to standard error, one line each.

#include <functional>
#include <string_view>

namespace os {

using ErrorSink = std::function<void(std::string_view message)>;

// Replaces the sink for the whole process; an empty function restores the
// default (standard error). Safe to call from any thread.
void set_error_sink(ErrorSink sink);

// Hands one message to the sink. Never throws: a sink that throws is ignored.
void log_error(std::string_view message) noexcept;

}  // namespace os
