#include "gti/registr_old/err_log.h"

#include "platform/os/file.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/datetime.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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
        } catch (...) {
        }
    }
}

void ErrLog::append(const AnsiString& message) {
    std::string line = rtl::utf8_to_cp1251("(" + rtl::DateTimeToStr(rtl::Now()) + ") " + message) + "\r\n";
    // One append write per line: the kernel keeps it whole even when
    // another program appends to the same file at the same moment. Never
    // through a link planted under the name, never waiting on a FIFO.
    int fd = ::open(os::native_path(file_name_).c_str(),
                    O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return;
    const char* p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}
