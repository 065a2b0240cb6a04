#pragma once
// Functions of an optional shared library bound by name at run time, so a
// program runs without the library until it actually needs it (zlib for the
// section archive, the mail library of the packing program).

#include <stdexcept>
#include <string>

namespace lib::dll {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& text) : std::runtime_error(text) {}
};

// A library loaded lazily by file name. The name is not copied: the text
// must outlive the object (callers pass string literals).
class Library {
public:
    explicit Library(const char* name = nullptr) : name_(name) {}
    ~Library() { free(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    void set_name(const char* name) { name_ = name; }
    const char* name() const { return name_; }
    void load();
    void free();
    bool is_loaded() const { return handle_ != nullptr; }
    void* get_proc_address(const char* procedure);
    // Bumped by every free(), so bound functions know their address is stale.
    unsigned generation() const { return generation_; }

private:
    const char* name_ = nullptr;
    void* handle_ = nullptr;
    unsigned generation_ = 0;
};

class FunctionBase {
public:
    FunctionBase() = default;
    FunctionBase(const char* procedure, Library& library) { init(procedure, library); }
    void init(const char* procedure, Library& library) {
        procedure_ = procedure;
        library_ = &library;
        address_ = nullptr;
    }
    void load();
    void* address() const { return address_; }

protected:
    void* resolved() {
        // An address from before the library was freed points nowhere.
        if (address_ && library_ && library_->generation() != generation_) address_ = nullptr;
        if (!address_) load();
        return address_;
    }

private:
    const char* procedure_ = nullptr;
    Library* library_ = nullptr;
    void* address_ = nullptr;
    unsigned generation_ = 0;
};

// One bound function: Function<int(Bytef*, uLongf*, const Bytef*, uLong)>.
template <class Signature>
class Function;

template <class R, class... Args>
class Function<R(Args...)> : public FunctionBase {
public:
    using FunctionBase::FunctionBase;
    R operator()(Args... args) {
        auto f = reinterpret_cast<R (*)(Args...)>(resolved());
        return f(args...);
    }
};

// The names the callers use. Linux has one calling convention, so the
// Pascal (stdcall) forms are the same binding.
template <class R, class A1, class A2, class A3, class A4>
using CdeclFunction4 = Function<R(A1, A2, A3, A4)>;
template <class R, class A1, class A2, class A3, class A4, class A5>
using CdeclFunction5 = Function<R(A1, A2, A3, A4, A5)>;
template <class R, class A1, class A2, class A3, class A4>
using PasFunction4 = Function<R(A1, A2, A3, A4)>;
template <class R, class A1, class A2, class A3, class A4, class A5>
using PasFunction5 = Function<R(A1, A2, A3, A4, A5)>;
template <class R, class A1, class A2, class A3, class A4, class A5, class A6>
using PasFunction6 = Function<R(A1, A2, A3, A4, A5, A6)>;

}  // namespace lib::dll
