#include "platform/os/dynlib.h"

#include <dlfcn.h>

namespace os {

void* library_open(const std::string& name, std::string* error) {
    void* h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h && error) {
        const char* why = ::dlerror();
        *error = why ? why : "unknown error";
    }
    return h;
}

void* library_symbol(void* handle, const char* name) {
    if (!handle || !name) return nullptr;
    ::dlerror();
    return ::dlsym(handle, name);
}

void library_close(void* handle) {
    if (handle) ::dlclose(handle);
}

std::string library_path_of(const void* address) {
    Dl_info info{};
    if (!address || ::dladdr(address, &info) == 0 || !info.dli_fname) return {};
    return info.dli_fname;
}

}  // namespace os
