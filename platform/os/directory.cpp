#include "platform/os/directory.h"

#include "platform/os/fault_plan.h"

#include "platform/rtl/text.h"
#include "platform/rtl/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {
namespace {

// The case-folded characters of a name: code points of valid UTF-8, and a
// lone byte of an invalid sequence kept apart from every real character.
std::vector<char32_t> folded_characters(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t start = pos;
        char32_t ch = rtl::utf8::decode(s, pos);
        out.push_back(ch == rtl::utf8::kInvalid ? 0x110000u + static_cast<unsigned char>(s[start])
                                                : rtl::fold_char(ch));
    }
    return out;
}

bool only_wild_left(const std::vector<char32_t>& mask, std::size_t i) {
    for (; i < mask.size(); ++i)
        if (mask[i] != U'*' && mask[i] != U'?' && mask[i] != U'.') return false;
    return true;
}

class Matcher {
public:
    Matcher(std::vector<char32_t> mask, std::vector<char32_t> name)
        : mask_(std::move(mask)), name_(std::move(name)), memo_((mask_.size() + 1) * (name_.size() + 1), 0) {}

    bool match(std::size_t i, std::size_t j) {
        char& seen = memo_[i * (name_.size() + 1) + j];
        if (seen) return seen == 1;
        bool r = compute(i, j);
        seen = r ? 1 : 2;
        return r;
    }

private:
    bool compute(std::size_t i, std::size_t j) {
        if (i == mask_.size()) return j == name_.size();
        if (j == name_.size()) return only_wild_left(mask_, i);
        char32_t m = mask_[i];
        char32_t c = name_[j];
        if (m == U'*') return match(i + 1, j) || match(i, j + 1);
        if (m == U'?') {
            if (c == U'.') {
                // A run of '?' stops short at a dot and never eats it.
                std::size_t k = i;
                while (k < mask_.size() && mask_[k] == U'?') ++k;
                return match(k, j);
            }
            return match(i + 1, j + 1);
        }
        return m == c && match(i + 1, j + 1);
    }

    std::vector<char32_t> mask_;
    std::vector<char32_t> name_;
    std::vector<char> memo_;  // 0 unknown, 1 match, 2 no match
};

std::uint32_t attributes_of(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return fa_directory;
    if (S_ISREG(st.st_mode)) return (st.st_mode & 0222) == 0 ? fa_read_only : fa_normal;
    return fa_system;
}

void fill_times(FoundEntry& e, const struct stat& st) {
    e.creation_time = filetime_from_unix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    e.access_time = filetime_from_unix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    e.write_time = filetime_from_unix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

bool describe(int dir_fd, const char* name, FoundEntry& e) {
    struct stat st {};
    if (::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::fstatat(dir_fd, name, &target, 0) == 0 && S_ISREG(target.st_mode)) {
            e.attributes = attributes_of(target);
            e.size = target.st_size;
            fill_times(e, target);
        } else {
            e.attributes = fa_normal;
            e.size = 0;
            fill_times(e, st);
        }
        return true;
    }
    e.attributes = attributes_of(st);
    e.size = S_ISREG(st.st_mode) ? st.st_size : 0;
    fill_times(e, st);
    return true;
}

}  // namespace

bool mask_matches(std::string_view mask, std::string_view name) {
    Matcher m(folded_characters(mask), folded_characters(name));
    return m.match(0, 0);
}

std::vector<FoundEntry> find_entries(std::string_view mask, std::uint32_t attribute_mask) {
    std::vector<FoundEntry> found;
    std::string native = native_path(mask);
    std::size_t slash = native.rfind('/');
    std::string folder = slash == std::string::npos ? "." : native.substr(0, slash + 1);
    std::string pattern = slash == std::string::npos ? native : native.substr(slash + 1);
    if (pattern.empty()) return found;

    int dir_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd < 0) return found;
    DIR* dir = ::fdopendir(dir_fd);
    if (!dir) {
        ::close(dir_fd);
        return found;
    }
    const std::uint32_t excluded = ~attribute_mask & (fa_hidden | fa_system | fa_directory);
    std::vector<char32_t> folded_pattern = folded_characters(pattern);
    while (struct dirent* d = ::readdir(dir)) {
        std::string_view name = d->d_name;
        if (name == "." || name == "..") continue;
        Matcher m(folded_pattern, folded_characters(name));
        if (!m.match(0, 0)) continue;
        FoundEntry e;
        e.name = std::string(name);
        if (!describe(dir_fd, d->d_name, e)) continue;  // gone meanwhile
        if (e.attributes & excluded) continue;
        found.push_back(std::move(e));
    }
    ::closedir(dir);

    std::sort(found.begin(), found.end(), [](const FoundEntry& a, const FoundEntry& b) {
        int c = rtl::AnsiCompareText(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return found;
}

bool path_exists(std::string_view path) {
    struct stat st {};
    return ::lstat(native_path(path).c_str(), &st) == 0;
}

bool is_directory(std::string_view path) {
    struct stat st {};
    return ::lstat(native_path(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool file_exists(std::string_view path) {
    struct stat st {};
    return ::stat(native_path(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool remove_file(std::string_view path) { return ::unlink(native_path(path).c_str()) == 0; }

bool remove_directory(std::string_view path) { return ::rmdir(native_path(path).c_str()) == 0; }

bool make_directory(std::string_view path) {
    const std::string native = native_path(path);
    if (planned_fault(DiskOp::make_folder, native) != 0) return false;
    return ::mkdir(native.c_str(), 0777) == 0;
}

bool make_directories(std::string_view path) {
    const std::string native = native_path(path);
    if (native.empty()) {
        errno = ENOENT;
        return false;
    }
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    // Each folder from the top down; one that appears meanwhile (another
    // program making the same path) is as good as one made here.
    for (std::size_t at = native.find('/', 1);; at = native.find('/', at + 1)) {
        const std::string part = native.substr(0, at);
        if (!part.empty() && part.back() != '/') {
            if (planned_fault(DiskOp::make_folder, part) != 0) return false;
            if (::mkdir(part.c_str(), 0777) != 0) {
                const int err = errno;
                if (err != EEXIST || ::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                    errno = err == EEXIST ? ENOTDIR : err;
                    return false;
                }
            }
        }
        if (at == std::string::npos) return true;
    }
}

namespace {

// Empties the folder open as `dir_fd` (closed here), never following a link.
bool remove_contents(int dir_fd) {
    DIR* dir = ::fdopendir(dir_fd);
    if (!dir) {
        const int err = errno;
        ::close(dir_fd);
        errno = err;
        return false;
    }
    std::vector<std::string> names;
    while (dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    bool ok = true;
    int err = 0;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
        if (S_ISDIR(st.st_mode)) {
            const int child = ::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0 || !remove_contents(child) || ::unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR) != 0) {
                if (ok) err = errno;
                ok = false;
            }
        } else if (::unlinkat(dir_fd, name.c_str(), 0) != 0 && errno != ENOENT) {
            if (ok) err = errno;
            ok = false;
        }
    }
    ::closedir(dir);
    if (!ok) errno = err;
    return ok;
}

}  // namespace

bool remove_tree(std::string_view path) {
    const std::string native = native_path(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return ::unlink(native.c_str()) == 0 || errno == ENOENT;
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !remove_contents(fd)) return false;
    return ::rmdir(native.c_str()) == 0 || errno == ENOENT;
}

bool rename_entry(std::string_view from, std::string_view to) {
    const std::string target = native_path(to);
    if (planned_fault(DiskOp::rename, target) != 0) return false;
    return ::rename(native_path(from).c_str(), target.c_str()) == 0;
}

std::string make_temp_directory(std::string_view parent, std::string_view prefix) {
    std::string base;
    if (!parent.empty()) {
        base = native_path(parent);
    } else {
        const char* tmp = ::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string templ = base + "/" + std::string(prefix) + "XXXXXX";
    if (!::mkdtemp(templ.data())) return {};
    return templ;
}

}  // namespace os
