#pragma once
// ErrLog: the station's error log, "registr.errors.log" beside the program.
// Each add() appends one line
//
//   (05.03.2018 4:07:09) message
//
// in Windows-1251 with CR LF, the file opened and closed around every line
// so that it is never held open and survives a crash. The plug-in loader
// writes its own lines into the same file in its own form ("date: message").
//
// Logging must never disturb what it reports on: a file that cannot be
// opened or written leaves the line unwritten, and add() never throws.

#include "library/lock_object.h"

#include <functional>
#include <string>

using AnsiString = std::string;

class ErrLog {
public:
    ErrLog() = default;
    ErrLog(const ErrLog&) = delete;
    ErrLog& operator=(const ErrLog&) = delete;

    void set_file_name(const AnsiString& name);
    AnsiString get_file_name();

    // Appends the line under the log's lock; lines from several threads
    // never interleave (each goes out in one append write). The message
    // then goes to the echo, when one is set, whether or not the file took
    // it: the log sits in the folder whose failures it reports.
    void add(const AnsiString& message) noexcept;

    // A second place every message goes (the host's standard error); empty:
    // none. The echo runs on the thread that logs, outside the log's lock.
    void set_echo(std::function<void(const AnsiString&)> echo);

private:
    void append(const AnsiString& message);

    std::function<void(const AnsiString&)> echo_;
    AnsiString file_name_;
    lib::lock_object lock_;
};
