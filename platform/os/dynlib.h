#pragma once
// Shared libraries loaded at run time (dlopen/dlsym).

#include <string>

namespace os {

// Loads the library by file name or path with the system loader's normal
// search. Returns null on failure and puts the loader's reason in *error.
void* library_open(const std::string& name, std::string* error = nullptr);
// Looks a symbol up by its exact name; null when the library lacks it.
void* library_symbol(void* handle, const char* name);
// Releases one reference to the library; null is ignored.
void library_close(void* handle);
// The path of the loaded library or program that holds the code or data at
// the address; empty when none does.
std::string library_path_of(const void* address);

}  // namespace os
