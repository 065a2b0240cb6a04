#pragma once
// Where the station keeps things on this machine.

#include <string>

namespace os {

// The folder of the running executable (from /proc/self/exe), ending without
// a slash. Tests and tools may override it so that files the station keeps
// "beside the program" land in a folder of their own.
std::string program_dir();
// The running executable itself (from /proc/self/exe, never overridden);
// empty when it cannot be read.
std::string program_path();
void set_program_dir_override(const std::string& dir);  // empty: no override

// A per-user folder for run-time objects (lock files, mailslot sockets):
// $XDG_RUNTIME_DIR/station when that is set and usable, else
// /tmp/station-<uid>. Created with mode 0700 on first use; a folder that
// exists but is not ours or is open to others is refused, since another user
// could otherwise plant or steal the station's locks and sockets.
// Throws std::runtime_error naming the folder and the cause.
std::string runtime_dir();

}  // namespace os
