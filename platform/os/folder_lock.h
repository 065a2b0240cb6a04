#pragma once
// A folder held by one program for as long as it works in it.
//
// The hold is a lock file inside the folder, locked with flock(2), so the
// system drops it when the holder dies, however it dies; the file keeps the
// holder's process id, so a program refused can name who holds the folder.
// The file itself is left in place: removing it while another program
// waits on it would split the hold in two.
//
// The lock file is opened without following a symbolic link, so a link
// planted under its name cannot make the holder write elsewhere.

#include <string>

namespace os {

class FolderHolderLock {
public:
    enum class Result {
        held,    // this object holds the folder
        taken,   // another program holds it (holder() names it when known)
        failed,  // the lock file could not be made or locked (error())
    };

    FolderHolderLock() = default;
    ~FolderHolderLock();  // releases the hold
    FolderHolderLock(const FolderHolderLock&) = delete;
    FolderHolderLock& operator=(const FolderHolderLock&) = delete;

    // Tries once, never waits. `file_name` is the lock file's name inside
    // the folder.
    Result try_lock(const std::string& folder, const std::string& file_name);
    void unlock();
    bool held() const { return fd_ >= 0; }

    // The process id the holder wrote into the lock file; 0 when unknown.
    long holder() const { return holder_; }
    // What went wrong, naming the file.
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    long holder_ = 0;
    std::string error_;
};

// Whether a file can be made in the folder now: a file is created and
// removed again, so a read-only mount, a folder without write permission
// and one whose files cannot be created all fail. On failure `why` holds
// the cause.
bool can_create_files_in(const std::string& folder, std::string& why);

}  // namespace os
