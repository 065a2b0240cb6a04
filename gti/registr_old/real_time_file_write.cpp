// The write thread's side of the real-time writer: the loop that drains the
// queue and the append of a file's batches.

#include "gti/registr_old/real_time_file.h"

#include "library/io/binary_stream.h"
#include "library/io/file_streams.h"
#include "library/storage/rt_blocks.h"
#include "platform/os/clock.h"
#include "platform/os/file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace {

const char kNotFound[] = "Файл не найден!";
const char kCannotOpen[] = "Невозможно открыть файл!";
const char kCannotLock[] = "Невозможно заблокировать файл!";
const char kCannotWrite[] = "Невозможно записать в файл!";
const char kCannotRead[] = "Невозможно прочитать из файла!";

// How the thread paces the retries of a failing file. With nothing queued
// it sleeps until a push or a stop wakes it: an idle recording costs no
// processor time.
constexpr std::chrono::milliseconds kFirstRetry{10};
constexpr std::chrono::milliseconds kLongestRetry{1000};
// The most bytes of one file's batches that one open appends.
constexpr std::size_t kMostBytesPerOpen = 1 << 20;

[[noreturn]] void fail(const char* message, const AnsiString& file, int error) {
    throw lib::io::FileError(message, file, error);
}

// The marker that lets readers open the folder's real-time files without
// the whole-file lock.
void ensure_marker(const AnsiString& file) {
    const std::string path = os::native_path(file);
    const std::size_t sep = path.rfind('/');
    const std::string marker = (sep == std::string::npos ? std::string() : path.substr(0, sep + 1)) + ".nolocking";
    std::error_code ec;
    if (std::filesystem::exists(marker, ec)) return;
    os::File f;
    const auto status = f.open(marker, os::File::Mode::write_append, false);
    if (status == os::File::Status::not_found) fail(kNotFound, marker, f.last_error());
    if (status != os::File::Status::ok) fail(kCannotWrite, marker, f.last_error());
}

// Where the sound blocks of the file's first `size` bytes end when the data
// end in a block cut short; -1 when they do not (or cannot be read).
std::int64_t torn_tail_at(os::File& f, std::int64_t size) {
    using lib::realtime::Block;
    using lib::realtime::BlockScanner;
    const std::size_t chunk = std::max<std::size_t>(std::size_t{4} << 20, 2 * BlockScanner::lookahead);
    BlockScanner scanner;
    std::vector<char> buf;
    std::int64_t read_to = 0;
    std::int64_t sound_end = 0;
    std::size_t keep_from = 0;
    for (;;) {
        buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(keep_from));
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t(chunk), size - read_to));
        const std::size_t kept = buf.size();
        buf.resize(kept + want);
        if (want > 0 &&
            (f.seek(read_to, SEEK_SET) < 0 || f.read(buf.data() + kept, want) != static_cast<std::int64_t>(want)))
            return -1;
        read_to += static_cast<std::int64_t>(want);
        const bool last = read_to >= size;
        scanner.window(buf.data(), buf.size(), last);
        Block b;
        while (scanner.next(b))
            sound_end = static_cast<std::int64_t>(b.offset) + lib::realtime::block_header_size + b.size;
        if (last) break;
        keep_from = scanner.position();
    }
    return scanner.torn() ? sound_end : -1;
}

}  // namespace

void RealTimeFile::start_save_thread() {
    if (thread_) return;
    stop_ = false;
    thread_ = std::make_unique<WriteThread>([this] { save_thread(); });
    thread_->resume();
}

void RealTimeFile::stop_save_thread() {
    if (!thread_) return;
    stop_ = true;
    queue_.wake();
    thread_->wait_for();
    thread_.reset();
}

void RealTimeFile::save_thread() {
    std::chrono::milliseconds retry = kFirstRetry;
    for (;;) {
        // The stop is read before the queue is looked at, so whatever was
        // queued before the stop request is seen and written.
        const bool stopping = stop_;
        const auto batches = queue_.peek_oldest(kMostBytesPerOpen);
        if (batches.empty()) {
            if (stopping) return;
            queue_.wait_for_batch(stop_);
            continue;
        }
        if (save_values_asynch(batches, "RealTimeFile::save_thread")) {
            if (!failing_file_.empty()) report_recovery(batches.front()->file_name);
            queue_.remove(batches);
            retry = kFirstRetry;
            continue;
        }
        report_failure(batches.front()->file_name);
        // A stop during failures leaves the rest queued: the host decides
        // what becomes of it.
        if (stop_) return;
        queue_.pause(retry, stop_);
        retry = std::min(retry * 2, kLongestRetry);
    }
}

bool RealTimeFile::save_values_asynch(const std::vector<std::shared_ptr<const Records>>& batches,
                                      const AnsiString& caller) {
    if (batches.empty()) return true;
    const AnsiString& file = batches.front()->file_name;
    try {
        ensure_marker(file);
        os::File f;
        // Read as well as written: a file's tail is looked at before the
        // first append.
        switch (f.open(file, os::File::Mode::read_write, true)) {
            case os::File::Status::ok: break;
            case os::File::Status::not_found: fail(kNotFound, file, f.last_error());
            case os::File::Status::cannot_open: fail(kCannotOpen, file, f.last_error());
            case os::File::Status::cannot_lock: fail(kCannotLock, file, f.last_error());
        }
        ValuesWriterDequeFileData state = queue_.get_state(file);
        std::int64_t before = f.size();
        os::FILETIME written;
        if (before < 0 || !f.times(nullptr, nullptr, &written)) fail(kCannotRead, file, f.last_error());
        // Someone else wrote the file since this writer did (or this writer
        // never did): its last header may be another list.
        bool header_pending = before == 0 || written != state.last_write_time || before != state.size;
        if (header_pending && before > 0) {
            const std::int64_t whole = torn_tail_at(f, before);
            if (whole >= 0 && whole < before) {
                if (!f.truncate(whole)) fail(kCannotWrite, file, f.last_error());
                log("RealTimeFile: файл '" + file + "' кончался неполным блоком: отрезано " +
                    std::to_string(before - whole) + " байт после позиции " + std::to_string(whole));
                before = whole;
            }
        }
        if (f.seek(before, SEEK_SET) < 0) fail(kCannotWrite, file, f.last_error());

        write_buffer_.clear();
        lib::io::BinaryMemoryOutputStream sink(write_buffer_);
        for (const auto& batch : batches) {
            for (const auto& record : batch->records) {
                if (!header_pending) header_pending = record->header_needed(state);
                auto provider = record->get_provider();
                if (header_pending && provider) {
                    const std::string& header = provider->header_block();
                    sink.write(header.data(), static_cast<unsigned>(header.size()));
                    header_pending = false;
                    state.names = provider->names();
                    state.header = provider;
                }
                record->write_to(sink);
            }
        }
        // One write for everything: a reader (kept out meanwhile by the
        // share rule) or a kill sees the file end between batches, at worst
        // inside the last block of this write.
        if (!f.write(write_buffer_.data(), write_buffer_.size())) {
            const int err = f.last_error();
            // What went in of this write comes out again, so the retry
            // neither repeats records nor leaves half a block mid-file.
            if (!f.truncate(before))
                throw lib::io::FileError(
                    AnsiString(kCannotWrite) + " Файл не удалось вернуть к длине " + std::to_string(before) + " байт",
                    file, err);
            fail(kCannotWrite, file, err);
        }
        if (!f.times(nullptr, nullptr, &state.last_write_time)) fail(kCannotRead, file, f.last_error());
        state.size = f.size();
        f.close();
        queue_.set_state(file, state);
        return true;
    } catch (const lib::io::FileError& e) {
        last_failure_ = caller + " : " + e.details();
    } catch (const std::exception& e) {
        last_failure_ = caller + " : " + e.what() + " ('" + file + "')";
    } catch (...) {
        last_failure_ = caller + " : неизвестная ошибка ('" + file + "')";
    }
    return false;
}

void RealTimeFile::report_failure(const AnsiString& file) {
    ++failed_attempts_;
    ++failed_total_;
    const std::int64_t now = os::clock().now_ms();
    const bool first = failing_file_ != file;
    if (first) failed_total_ = 1;
    if (first || now - last_report_ms_ >= std::chrono::milliseconds(failure_report_interval).count()) {
        AnsiString message = "Ошибка записи данных: " + last_failure_;
        if (!first) message += " (повторных неудачных попыток: " + std::to_string(failed_attempts_) + ")";
        message += "; пакетов в очереди: " + std::to_string(queue_.size());
        log(message);
        last_report_ms_ = now;
        failed_attempts_ = 0;
    }
    failing_file_ = file;
}

void RealTimeFile::report_recovery(const AnsiString& file) {
    log("Запись данных в файл '" + failing_file_ + "' возобновлена после " + std::to_string(failed_total_) +
        " неудачных попыток" + (file == failing_file_ ? AnsiString() : AnsiString(" (записан файл '" + file + "')")));
    failing_file_.clear();
    failed_attempts_ = 0;
    failed_total_ = 0;
}
