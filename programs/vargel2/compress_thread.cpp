#include "programs/vargel2/compress_thread.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>

#include "library/storage/file_storage.h"
#include "platform/os/clock.h"
#include "platform/os/directory.h"
#include "platform/os/file_copy.h"
#include "platform/os/process.h"
#include "platform/rtl/text.h"

namespace vargel2 {

namespace {

const char kFailure[] = "Ошибка во время сжатия данных: ";

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string errno_text() { return std::error_code(errno, std::generic_category()).message(); }

// What the archiver said about its failure: each of its error and warning
// lines with the lines that follow it up to an empty one (7-Zip puts the
// cause under its header: "System ERROR:" then "errno=13 : Permission
// denied"), else its last line.
std::string archiver_message(const std::vector<std::string>& lines) {
    std::string out;
    bool in_block = false;
    for (const auto& l : lines) {
        const std::string text = rtl::Trim(l);
        const std::string upper = rtl::AnsiUpperCase(text);
        if (upper.find("ERROR") != std::string::npos || upper.find("WARNING") != std::string::npos) {
            if (!out.empty()) out += "; ";
            out += text;
            in_block = true;
        } else if (text.empty()) {
            in_block = false;
        } else if (in_block) {
            out += " " + text;
        }
    }
    if (out.empty() && !lines.empty()) out = rtl::Trim(lines.back());
    return out;
}

bool has_separator(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

bool is_symbolic_link(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::symlink;
}

// The endings the data-file table reads. A search by trip also finds what
// lies beside the trip's data (an earlier package "0002.realtim.7z_reg",
// a backup "0002.realtim.bak"); those are never data to pack.
bool is_data_file(const std::string& name) {
    const std::string lower = rtl::AnsiLowerCase(name);
    const auto dot = lower.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = lower.substr(dot);
    for (const char* e : {".realtim", ".realdep", ".reallag", ".rtm", ".tim", ".dep", ".ldp"}) {
        if (ext == e) return true;
    }
    return false;
}

void keep_data_files(std::vector<lib::FindedFile>& files) {
    std::erase_if(files, [](const lib::FindedFile& f) { return !is_data_file(f.name); });
}

// What each run of the process has made that an ending must not leave, kept
// where the thread that takes an ending signal reaches it (never destroyed:
// that thread may reach it while the process ends).
struct LiveRun {
    std::string temp;           // the temporary folder, once made
    std::string package;        // the package path
    bool package_ours = false;  // the old package is gone: a file there is this run's
    bool package_done = false;  // the archiver finished it
};
std::mutex& g_runs_mutex = *new std::mutex;
std::map<const TCompressThread*, LiveRun>& g_runs = *new std::map<const TCompressThread*, LiveRun>;
std::string& g_interruption = *new std::string;  // not empty once the process is told to end

template <typename F>
void update_run(const TCompressThread* run, F change) {
    std::lock_guard<std::mutex> lock(g_runs_mutex);
    const auto at = g_runs.find(run);
    if (at != g_runs.end()) change(at->second);
}

// "600 с", "10 мин".
std::string span_text(int ms) {
    const int seconds = (ms + 999) / 1000;
    return seconds >= 60 && seconds % 60 == 0 ? std::to_string(seconds / 60) + " мин" : std::to_string(seconds) + " с";
}

}  // namespace

void TCompressThread::interrupt_all(const std::string& why) {
    std::lock_guard<std::mutex> lock(g_runs_mutex);
    if (g_interruption.empty()) g_interruption = why.empty() ? std::string("прервано") : why;
}

void TCompressThread::remove_leftovers() {
    std::lock_guard<std::mutex> lock(g_runs_mutex);
    for (auto& [run, live] : g_runs) {
        if (!live.temp.empty()) {
            // The run may still be writing into it: a file made meanwhile
            // is taken on the next round.
            for (int round = 0; round < 5 && os::path_exists(live.temp); ++round) os::remove_tree(live.temp);
            live.temp.clear();
        }
        if (live.package_ours && !live.package_done && !live.package.empty()) os::remove_file(live.package);
        live.package_ours = false;
    }
}

void TCompressThread::stop_if_interrupted() const {
    std::lock_guard<std::mutex> lock(g_runs_mutex);
    if (!g_interruption.empty()) throw std::runtime_error(g_interruption);
}

std::string default_archiver(const std::string& program_folder) {
    const std::string beside = program_folder + "/7za";
    return os::file_exists(beside) ? beside : std::string("7za");
}

TCompressThread::TCompressThread(RunState state, ConfigValues options, LineSink sink)
    : state_(std::move(state)), options_(std::move(options)), sink_(std::move(sink)) {
    archiver = default_archiver(options_.program_folder);
    std::lock_guard<std::mutex> lock(g_runs_mutex);
    g_runs[this].package = state_.package_path;
}

TCompressThread::~TCompressThread() {
    WaitFor();
    std::lock_guard<std::mutex> lock(g_runs_mutex);
    g_runs.erase(this);
}

void TCompressThread::Start() {
    thread_ = std::thread([this, on_terminate = OnTerminate] {
        try {
            Execute();
        } catch (...) {
            // Execute keeps its failures in the error text; nothing may
            // leave the thread.
        }
        finished_ = true;
        try {
            if (on_terminate) on_terminate();
        } catch (...) {}
    });
}

void TCompressThread::WaitFor() {
    if (thread_.joinable()) thread_.join();
}

void TCompressThread::post(const std::string& line) {
    if (!sink_) return;
    try {
        sink_(line);
    } catch (...) {
        // A line that cannot be shown does not stop the packing.
    }
}

TCompressThread::Mode TCompressThread::mode() const {
    if (state_.all_data()) return Mode::all_data;
    if (!state_.trips.empty()) return Mode::trips;
    if (!state_.masks.empty()) return Mode::masks;
    return Mode::time_window;
}

void TCompressThread::Execute() {
    error_.clear();
    failed_ = 0;
    left_out_.clear();
    clash_ = false;
    placed_.clear();
    temp_ = os::make_temp_directory(temp_parent, "vargel2-");
    if (temp_.empty()) {
        error_ = std::string(kFailure) + "не удалось создать временный каталог в \"" +
                 (temp_parent.empty() ? std::string("$TMPDIR") : temp_parent) + "\": " + errno_text() + "!";
        return;
    }
    update_run(this, [&](LiveRun& r) { r.temp = temp_; });
    // A run told to end before it began leaves the old package as it was.
    bool old_package_gone = false;
    try {
        stop_if_interrupted();
        // The old package goes first, so that no failure below leaves a
        // stale one that looks like this run's.
        old_package_gone = true;
        remove_package();
        update_run(this, [](LiveRun& r) { r.package_ours = true; });
        // An empty folder would be taken as the current one.
        if (mode() != Mode::masks && state_.data_folder.empty()) {
            throw std::runtime_error("не задан каталог данных скважины \"" + state_.well_name + "\"");
        }
        switch (mode()) {
            case Mode::all_data: gather_all(false); break;
            case Mode::trips: gather_trips(); break;
            case Mode::masks: gather_masks(); break;
            case Mode::time_window: gather_all(true); break;
        }
        const std::string lacking = "не попали в архив файлов: " + std::to_string(failed_) + " (причины указаны выше)";
        if (clash_) throw std::runtime_error(lacking);
        // What could not be gathered is said above; the rest is packed, but
        // a package of nothing at all would pass for the choice.
        if (failed_ > 0 && os::find_entries(temp_ + "/*", os::fa_any).empty()) {
            throw std::runtime_error("нет ни одного файла для архива, " + lacking);
        }
        stop_if_interrupted();
        post("Сжимаю файлы...");
        run_archiver();
        update_run(this, [](LiveRun& r) { r.package_done = true; });
    } catch (const std::exception& e) {
        error_ = std::string(kFailure) + e.what() + "!";
    } catch (...) {
        error_ = "Неизвестная ошибка во время сжатия данных!";
    }
    if (!error_.empty() && old_package_gone) {
        try {
            remove_package();
        } catch (...) {}
    }
    lib::remove_directory_with_files(temp_);
    os::remove_directory(temp_);
    update_run(this, [](LiveRun& r) {
        r.temp.clear();
        r.package_ours = false;
    });
    if (error_.empty()) post("Готово!");
}

void TCompressThread::remove_package() {
    if (state_.package_path.empty()) return;
    if (os::path_exists(state_.package_path) && !os::remove_file(state_.package_path)) {
        throw std::runtime_error("не удалось удалить файл \"" + state_.package_path + "\": " + errno_text());
    }
}

void TCompressThread::gather_all(bool with_range) {
    post("Идёт поиск файлов...");
    finder_.files.clear();
    finder_.total_size = 0;
    for (const char* mask : {"*.realtim", "*.realdep", "*.reallag"}) finder_.find(state_.data_folder + mask, 32, false);
    if (with_range) {
        rewrite_found(state_.range_start, state_.range_end);
    } else {
        rewrite_found(0, -1);
    }
    copy_auxiliary();
    gather_las();
}

void TCompressThread::gather_trips() {
    post("Подготавливаю файлы...");
    for (auto trip : state_.trips) {
        std::string number = std::to_string(trip);
        while (number.size() < 4) number.insert(0, "0");
        finder_.files.clear();
        finder_.total_size = 0;
        finder_.find(state_.data_folder + number + ".*real*", 0, false);
        keep_data_files(finder_.files);
        rewrite_found(0, -1);
    }
    copy_auxiliary();
}

void TCompressThread::gather_masks() {
    finder_.files.clear();
    finder_.total_size = 0;
    std::string nothing;  // the masks that found no file
    for (const auto& mask : state_.masks) {
        lib::FileFinder one;
        one.find(mask, 0, false);
        // A mask such as "0003.*real*" also finds an earlier package of the
        // trip ("0003.realtim.7z_reg"); packages are never data to pack. Any
        // other file the operator's mask names goes to the reader, which
        // says why it cannot take it.
        std::erase_if(one.files, [](const lib::FindedFile& f) {
            const std::string name = rtl::AnsiLowerCase(f.name);
            for (const std::string end : {".7z_reg", ".compr_rt"}) {
                if (name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0)
                    return true;
            }
            return false;
        });
        // A mistyped name, a folder or a missing file: the operator meant
        // something that is not there. The package lacks it, and one of
        // nothing at all would hide every such mistake.
        if (one.files.empty()) {
            if (!nothing.empty()) nothing += ", ";
            nothing += "\"" + mask + "\"";
            leave_out(mask, "Не найдено ни одного файла по \"" + mask + "\"");
        }
        finder_.files.insert(finder_.files.end(), one.files.begin(), one.files.end());
    }
    if (finder_.files.empty()) throw std::runtime_error("не найдено ни одного файла по " + nothing);
    rewrite_found(0, -1);
}

void TCompressThread::leave_out(const std::string& name, const std::string& line) {
    ++failed_;
    left_out_.push_back(name);
    post(line);
}

bool TCompressThread::packable(const std::string& folder, const std::string& name) {
    if (has_separator(name)) {
        leave_out(name, "Файл " + name + " пропущен: в его имени есть разделитель каталогов");
        return false;
    }
    if (is_symbolic_link(folder + name)) {
        leave_out(name, "Файл " + name +
                            " пропущен: это символическая ссылка, а в архив берутся только файлы самого каталога");
        return false;
    }
    return true;
}

bool TCompressThread::claim(const std::string& source, const std::string& name) {
    const auto [at, fresh] = placed_.emplace(name, source);
    if (fresh) return true;
    if (at->second == source) return false;
    clash_ = true;
    throw std::runtime_error("в архиве уже есть файл этого имени из " + folder_of(at->second) + "/");
}

void TCompressThread::rewrite_found(std::int32_t from, std::int32_t to) {
    // Masks that overlap find a file more than once; it is one file.
    std::set<std::string> seen;
    std::erase_if(finder_.files, [&](const lib::FindedFile& f) { return !seen.insert(f.path + f.name).second; });
    std::int64_t total = 0;
    for (const auto& f : finder_.files) total += f.size > 0 ? f.size : 0;
    std::int64_t done = 0;
    const auto encoding = options_.compress_method == 1   ? FileStorage::encode_quantised
                          : options_.compress_method == 2 ? FileStorage::encode_wavelet
                                                          : FileStorage::encode_plain;
    for (const auto& f : finder_.files) {
        stop_if_interrupted();
        if (!packable(f.path, f.name)) {
            done += f.size > 0 ? f.size : 0;
            continue;
        }
        try {
            const std::string path = f.path + f.name;
            // An empty file (a trip that has only just begun) holds no
            // record: left out like one with nothing in the range.
            if (claim(path, f.name) && !(f.size == 0 && os::file_exists(path))) {
                FileStorage storage;
                storage.set_time_range(lib::unix_time(static_cast<std::uint32_t>(from)),
                                       lib::unix_time(static_cast<std::uint32_t>(to)));
                // The file is read and written out window by window, never
                // held whole: a well's trip outgrows the memory.
                // The reader skips damage and goes on; what it skipped is
                // the operator's to know, since the package lacks it.
                std::vector<std::string> warnings;
                auto warn = [&] {
                    warnings.clear();
                    storage.get_warnings(warnings);
                    for (const auto& w : warnings) post("Файл " + f.name + ": " + w);
                };
                std::size_t records = 0;
                bool read = false;
                try {
                    read = storage.export_file_for_compressing(path, temp_ + "/" + f.name, encoding, records);
                } catch (...) {
                    warn();
                    throw;
                }
                warn();
                if (!read) throw std::runtime_error("формат файла не поддерживается, файл не прочитан");
                // The station writes a data file's text block (the trip's
                // files, its start) before any record: a file read whole
                // without a fault and holding only that is one of ours with
                // nothing recorded yet. A trip that never drilled leaves its
                // depth and lag files so, and a trip still recording its lag
                // file until the end.
                const bool empty_of_ours =
                    records == 0 && warnings.empty() && storage.text_values().count() > 0;
                // Bytes in which the reader found not even the parameters'
                // table are no recorded data, whatever the name says; left
                // out in silence they would pass for a trip just begun.
                if (storage.get_params_count() == 0 && !empty_of_ours)
                    throw std::runtime_error("в файле нет данных, которые можно прочитать");
                // Over the whole range an empty file of ours is packed as it
                // stands (the office sees the trip's every file); a time
                // window leaves out what holds nothing within it.
                const bool whole_range = from == 0 && to == -1;
                if (records == 0 && whole_range) storage.save_for_compressing(temp_ + "/" + f.name, encoding, {});
            }
        } catch (const std::exception& e) {
            leave_out(f.name, "Ошибка во время обработки файла " + f.name + ": " + e.what());
        } catch (...) {
            leave_out(f.name, "Неизвестная ошибка во время обработки файла " + f.name + "!");
        }
        done += f.size > 0 ? f.size : 0;
        // Files of no size make no progress by size; each still counts as done.
        const int percent =
            total > 0 ? static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total)) : 100;
        post("#Выполнено " + std::to_string(percent) + "%");
    }
}

void TCompressThread::copy_one(const std::string& folder, const std::string& name) {
    stop_if_interrupted();
    if (!packable(folder, name)) return;
    const std::string from = folder + name;
    std::string why;
    bool copied = false;
    try {
        copied = !claim(from, name) || os::copy_file(from, temp_ + "/" + name, &why);
    } catch (const std::exception& e) {
        why = e.what();
    }
    if (!copied) leave_out(name, "Не удалось скопировать файл " + name + ": " + why);
}

void TCompressThread::copy_auxiliary() {
    lib::FileFinder aux;
    for (const char* mask : {"*.log", "*.bin", "*.ini", "*.nbl", "*.rem"})
        aux.find(state_.data_folder + mask, 3, false);
    for (const auto& f : aux.files) copy_one(f.path, f.name);
}

void TCompressThread::gather_las() {
    const std::string viewer = options_.resolve_folder(options_.tolvane_directory);
    if (!os::is_directory(viewer.substr(0, viewer.size() - 1))) return;
    // A folder name with a separator would be read as a path out of the
    // viewer's folder.
    for (const auto& a : os::find_entries(viewer + "*", os::fa_directory)) {
        if (!(a.attributes & os::fa_directory) || has_separator(a.name)) continue;
        for (const auto& b : os::find_entries(viewer + a.name + "/*", os::fa_directory)) {
            if (!(b.attributes & os::fa_directory) || has_separator(b.name) || !rtl::SameText(b.name, state_.well_name))
                continue;
            // File by file rather than by lib::copy_by_mask: the wells of two
            // areas may hold LAS files of one name, and the second must not
            // silently take the first one's place.
            const std::string las = viewer + a.name + "/" + b.name + "/";
            for (const auto& e : os::find_entries(las + "*.LAS", os::fa_any)) {
                if (!(e.attributes & os::fa_directory)) copy_one(las, e.name);
            }
        }
    }
}

void TCompressThread::run_archiver() {
    lib::create_dir_recursively(folder_of(state_.package_path));
    os::SpawnOptions o;
    o.program = archiver;
    o.args = {"a", "-t7z", "-ms=on", state_.package_path, "*"};
    o.folder = temp_;
    o.capture_output = true;
    o.search_path = true;
    os::Process p;
    std::string why;
    if (!p.start(o, &why)) throw std::runtime_error("архиватор \"" + archiver + "\" не запущен: " + why);
    std::vector<std::string> lines;
    // The archiver is watched while it works: an ending of the program ends
    // it, and so does a stretch without any sign of work (no line, no
    // growth of the package), since nothing else would ever end the wait.
    std::int64_t last_sign = os::steady_now_ms();
    std::uintmax_t last_size = 0;
    std::size_t last_lines = 0;
    bool interrupted = false, hung = false;
    const auto keep_going = [&] {
        try {
            stop_if_interrupted();
        } catch (const std::exception&) {
            interrupted = true;
            return false;
        }
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(state_.package_path, ec);
        const std::int64_t now = os::steady_now_ms();
        if ((!ec && size != last_size) || lines.size() != last_lines) {
            last_size = ec ? last_size : size;
            last_lines = lines.size();
            last_sign = now;
        } else if (now - last_sign > archiver_idle_limit_ms) {
            hung = true;
            return false;
        }
        return true;
    };
    const auto code = p.read_lines([&](const std::string& l) { lines.push_back(l); }, -1, keep_going,
                                   std::clamp(archiver_idle_limit_ms / 4, 10, 200));
    if (interrupted) stop_if_interrupted();
    if (hung) {
        throw std::runtime_error("архиватор \"" + archiver + "\" " + span_text(archiver_idle_limit_ms) +
                                 " не подавал признаков работы (ни вывода, ни роста архива) и был остановлен");
    }
    if (!code) throw std::runtime_error("архиватор \"" + archiver + "\" не завершился");
    // 7-Zip's status 1 is a warning: some file was left out, so the package
    // is not the whole choice either.
    if (*code != 0) {
        throw std::runtime_error("архиватор \"" + archiver + "\" завершился с кодом " + std::to_string(*code) + ": " +
                                 archiver_message(lines));
    }
    if (!os::file_exists(state_.package_path)) {
        throw std::runtime_error("архиватор \"" + archiver + "\" не создал файл \"" + state_.package_path + "\"");
    }
}

}  // namespace vargel2
