#pragma once
// Copying one file: the source opened as a reader under the share rule, the
// copy written beside the target and put in its place in one step, so that
// an existing target is either kept whole or replaced whole.

#include <string>
#include <string_view>

namespace os {

// Copies `from` to `to`, replacing an existing `to`. False on any failure
// (a missing or unreadable source, a folder, a target that cannot be
// written), the cause in *error; the target is then as it was.
bool copy_file(std::string_view from, std::string_view to, std::string* error = nullptr);
// The same, except that with fail_if_exists an existing target is left as
// it is and the copy fails (also when another program made it meanwhile:
// the first copy wins).
bool copy_file(std::string_view from, std::string_view to, bool fail_if_exists, std::string* error = nullptr);

}  // namespace os
