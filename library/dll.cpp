#include "library/dll.h"

#include "platform/os/dynlib.h"

namespace lib::dll {

void Library::load() {
    if (!name_) throw Exception("Library::load: name is empty");
    free();
    handle_ = os::library_open(name_);
    if (!handle_) throw Exception(std::string("Library::load: can't load library '") + name_ + "'");
}

void Library::free() {
    if (handle_) {
        os::library_close(handle_);
        handle_ = nullptr;
        ++generation_;
    }
}

void* Library::get_proc_address(const char* procedure) {
    void* p = os::library_symbol(handle_, procedure);
    if (!p)
        throw Exception(std::string("Library::get_proc_address: can't find procedure '") +
                        (procedure ? procedure : "") + "' in library '" + (name_ ? name_ : "") + "'");
    return p;
}

void FunctionBase::load() {
    if (!procedure_) throw Exception("FunctionBase::load: name of procedure is not definded!");
    if (!library_) throw Exception("FunctionBase::load: library is not definded!");
    if (address_ && library_->generation() == generation_) return;
    if (!library_->is_loaded()) library_->load();
    address_ = library_->get_proc_address(procedure_);
    generation_ = library_->generation();
}

}  // namespace lib::dll
