#include "gti/registr_old/err_log.h"

#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"

void ErrLog::set_file_name(const AnsiString& name) {
    lib::Locker hold(&lock_);
    file_name_ = name;
}

AnsiString ErrLog::get_file_name() {
    lib::Locker hold(&lock_);
    return file_name_;
}

void ErrLog::set_echo(std::function<void(const AnsiString&)> echo) {
    lib::Locker hold(&lock_);
    echo_ = std::move(echo);
}

void ErrLog::add(const AnsiString& message) noexcept {
    std::function<void(const AnsiString&)> echo;
    try {
        lib::Locker hold(&lock_);
        echo = echo_;
        if (!file_name_.empty()) append(message);
    } catch (...) {
        // Nowhere left to report to but the echo.
    }
    // Outside the lock: the echo may take locks of its own.
    if (echo) {
        try {
            echo(message);
        } catch (...) {}
    }
}

void ErrLog::append(const AnsiString& message) {
    std::string line = rtl::utf8_to_cp1251("(" + rtl::DateTimeToStr(rtl::Now()) + ") " + message) + "\r\n";
    // One append write per line: the kernel keeps it whole even when
    // another program appends to the same file at the same moment. The open
    // never follows a link planted under the name nor waits on a FIFO.
    os::AppendOptions options;
    options.permissions = 0644;
    (void)os::append_file(file_name_, line, options);
}
