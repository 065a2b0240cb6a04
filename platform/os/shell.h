#pragma once
// What the desktop does for a program: open a document with the handler the
// user has chosen for its type, and copy a file the way the shell copies.

#include <string>
#include <string_view>

namespace os {

// Opens the document with the desktop's handler (xdg-open, started without a
// shell; the child is reaped on a thread of its own, so nothing waits for
// the viewer). False, with the cause in *error, when the handler cannot be
// started; what the handler itself makes of the document is not known here.
bool open_document(const std::string& path, std::string* error = nullptr);
// The program that opens documents: "xdg-open" (looked up in PATH) unless
// set; tests put a stand-in there. An empty name restores the default.
void set_document_opener(std::string program);

// Copies the file's bytes. With fail_if_exists an existing target is left
// as it is and the copy fails. The target is written whole or not at all.
// False on any failure.
bool copy_file(std::string_view from, std::string_view to, bool fail_if_exists);

}  // namespace os
