#pragma once
// Handing things to the desktop and starting programs that run on their
// own: a document, folder or web page opened with the desktop's handler
// (xdg-open), a program started with its parameters. Nothing goes through a
// shell, and no child is left a zombie: a ChildHandle that the last holder
// lets go while its program still runs is waited for on a thread of its
// own.

#include <memory>
#include <string>

#include "platform/os/process.h"

namespace os {

using ChildHandle = std::shared_ptr<Process>;

// Starts the program; null (the reason in *error) when it cannot start.
ChildHandle start_child(const SpawnOptions& options, std::string* error = nullptr);

// Opens the target (a file, a folder or a URL) with the desktop's handler:
// "xdg-open" found in PATH, its standard streams on /dev/null. Null when
// xdg-open cannot be started.
ChildHandle open_document(const std::string& target, std::string* error = nullptr);
// The program open_document starts: "xdg-open" (looked up in PATH) unless
// set; tests put a stand-in there. An empty name restores the default.
void set_document_opener(std::string program);

// An executable file is started with the parameters (split as a Windows
// command line, see split_command_line), anything else is opened with the
// desktop's handler, which takes no parameters.
ChildHandle shell_open(const std::string& file, const std::string& parameters, std::string* error = nullptr);

}  // namespace os
