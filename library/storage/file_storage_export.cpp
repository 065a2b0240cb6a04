// The export for compression (eight files, one per kind of content) and the
// single-stream archive "CREGFILE": what the packing program writes before
// a well's data are archived and mailed, and their readers. The vector
// codings they share are in file_storage_codings.cpp.
//
//   base.params     int32 column count, then per column name, short name,
//                   units, global name (strings), lower and upper bound
//                   (float)
//   base.text       one string: the text values, lines ended by CR LF
//   base.time       byte-plane uint32, one per record
//   base.depth_z, base.depth_cur, base.lag_depth
//                   byte-plane float, one per record
//   base.operation  byte-plane of one byte, one per record
//   base.values     uint32 record count R, then per column: gas flag (bool),
//                   small-values flag (bool), coding (int32), its data
//
//   single stream   "CREGFILE" (string) | version int32 1 | column count
//                   int32 | the columns as in .params | text (string) |
//                   record count int32 | the five record fields as above |
//                   per column: coding (int32) and its data; no flags, no
//                   logarithms
//
// The export of a data file (export_file_for_compressing) writes the same
// bytes from the file itself rather than from a whole table: the codings
// need every value of a column, but never every column at once, so the
// records are read in windows and set aside by column, and the columns are
// coded a few at a time and written in their order as they finish.
//
// Gas columns are exported as logarithms (readings span decades); the
// mechanical columns keep 16-bit quantisation under the wavelet method,
// because their steps and spikes (a slip, a stuck pipe) are what the
// office looks for and a wavelet would smear them.

#include "library/storage/file_storage.h"

#include "library/io/binary_stream.h"
#include "library/io/file_streams.h"
#include "library/wavelet/wavelet.h"
#include "platform/os/directory.h"
#include "platform/os/file.h"
#include "platform/rtl/numbers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace {

using lib::io::BinaryInputStream;
using lib::io::BinaryOutputStream;

const AnsiString kMagic = "CREGFILE";
constexpr int kVersion = 1;
const char kBadHeader[] = "FileStorage::load_after_decompressing: Некорркетный заголовок файла";
const char kBadVersion[] = "FileStorage::load_after_decompressing: Некорркетная версия файла";

const char* const kMechanical[] = {"вес_на_крюке",         "давление_на_входе", "тальблок", "момент_на_ключе",
                                   "момент_ротора",        "скорость_спо",      "нагрузка", "дмк",
                                   "скорость_механическая"};
const char* const kGas[] = {"метан_абс",  "этан_абс",  "пропан_абс", "бутан_абс", "пентан_абс",
                            "гексан_абс", "сумм_газ2", "сумм_газ3",  "сумм_газ",  "максимальный_газ"};

template <std::size_t N>
bool listed(const AnsiString& name, const char* const (&list)[N]) {
    for (const char* item : list)
        if (name == item) return true;
    return false;
}

std::string num(long long v) { return rtl::IntToStr(v); }

// A failure while reading `what`, with the cause found there.
[[noreturn]] void damaged(const char* where, const AnsiString& source, const std::string& what,
                          const std::string& cause) {
    std::string text = std::string(where) + ": ";
    if (!source.empty()) text += source + ": ";
    text += what + ": " + cause;
    throw FileStorageException(text, true);
}

// Runs body, putting where, the file and what was being read in front of
// the message of a damaged-data failure.
template <typename F>
void reading(const char* where, const AnsiString& source, const std::string& what, F&& body) {
    try {
        body();
    } catch (const FileStorageException& e) {
        damaged(where, source, what, e.what());
    }
}

// The threads that code columns: as many as the processor has, at most eight.
std::size_t coding_threads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 8u); }

// Codes tasks 0 ... count - 1 on up to `workers` threads (this one among
// them) and gives each task's coded columns to `write` in task order, as
// soon as they and those of every task before them are coded: the file
// takes the columns as they finish, and only the few finished ahead of
// their turn wait in memory (a task never starts more than two per thread
// ahead of the writing). The first failure (by task) is thrown here once
// every thread has ended; after a failure no further task starts. A thread
// that cannot be started leaves its share to the others.
void code_in_order(std::size_t count, std::size_t workers,
                   const std::function<void(std::size_t, std::vector<std::string>&)>& code,
                   const std::function<void(std::vector<std::string>&)>& write) {
    workers = std::max<std::size_t>(1, std::min(workers, count));
    const std::size_t ahead = 2 * workers;
    std::mutex m;
    std::condition_variable turn;
    std::size_t next = 0, written = 0;
    bool stop = false;
    std::map<std::size_t, std::vector<std::string>> ready;
    std::vector<std::exception_ptr> failures(count);
    auto work = [&] {
        for (;;) {
            std::size_t i;
            {
                std::unique_lock<std::mutex> lock(m);
                turn.wait(lock, [&] { return stop || next >= count || next < written + ahead; });
                if (stop || next >= count) return;
                i = next++;
            }
            std::vector<std::string> coded;
            std::exception_ptr failure;
            try {
                code(i, coded);
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(m);
            if (failure) {
                failures[i] = failure;
                stop = true;
            } else if (!stop) {
                ready.emplace(i, std::move(coded));
                try {
                    for (auto at = ready.find(written); at != ready.end(); at = ready.find(written)) {
                        write(at->second);
                        ready.erase(at);
                        ++written;
                    }
                } catch (...) {
                    failures[written] = std::current_exception();
                    stop = true;
                }
            }
            turn.notify_all();
            if (stop) return;
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < workers; ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (auto& t : threads) t.join();
    for (auto& f : failures)
        if (f) std::rethrow_exception(f);
}

// A coded column into the file, in writes of at most 1 GiB.
void write_coded(BinaryOutputStream& out, std::string& column) {
    for (std::size_t at = 0; at < column.size(); at += 1u << 30)
        out.write(column.data() + at, static_cast<unsigned>(std::min<std::size_t>(column.size() - at, 1u << 30)));
    std::string().swap(column);
}

// The memory that coding one column of n values takes at most, by the
// coding: the column, its logarithms (gas), the coding's working vectors
// and the coded text.
std::size_t coding_cost(FileStorage::EncodeType type, std::size_t n) {
    switch (type) {
        case FileStorage::encode_plain: return 12 * n;
        case FileStorage::encode_quantised: return 32 * n;
        default: return 8 * n + 20 * wave::padded_length(std::max<std::size_t>(n, 1));
    }
}

// The records of a data file, column by column, in a file of their own: a
// windowed read spills each window's records there as its fields and
// columns, one after another, and a column is then read back whole from the
// pieces of every window. The file is removed as soon as it is made, so it
// is never found beside the export nor left behind, whatever ends the
// program; it goes when it is closed.
class ColumnSpill {
public:
    explicit ColumnSpill(const AnsiString& path) : path_(path) {
        if (file_.open(path, os::File::Mode::read_write_truncate, false) != os::File::Status::ok)
            fail("не удалось создать временный файл", file_.last_error());
        (void)os::remove_file(path);
    }

    std::size_t records() const { return records_; }

    // A window's records: their four fields (time, bottom-hole, current and
    // lag depth, 4 bytes each), the operation (1 byte) and `columns`
    // columns of 4 bytes, each as one piece.
    void add(const FileStorageRows& rows, std::size_t columns) {
        const std::size_t k = rows.size();
        if (k == 0) return;
        buffer_.resize(k * (17 + 4 * columns));
        char* const b = buffer_.data();
        for (std::size_t i = 0; i < k; ++i) {
            const FileStorageRecord& r = rows[i];
            const std::uint32_t t = r.time.get_value();
            std::memcpy(b + 4 * i, &t, 4);
            std::memcpy(b + 4 * (k + i), &r.depth_z, 4);
            std::memcpy(b + 4 * (2 * k + i), &r.depth_cur, 4);
            std::memcpy(b + 4 * (3 * k + i), &r.lag_depth, 4);
            b[16 * k + i] = static_cast<char>(r.operation);
            const std::size_t have = std::min(columns, r.values.size());
            const float* v = r.values.data();
            char* const c0 = b + 17 * k + 4 * i;
            for (std::size_t c = 0; c < have; ++c) std::memcpy(c0 + 4 * k * c, v + c, 4);
            for (std::size_t c = have; c < columns; ++c) std::memset(c0 + 4 * k * c, 0, 4);
        }
        if (!file_.write(b, buffer_.size())) fail("не удалось записать временный файл", file_.last_error());
        windows_.push_back({size_, records_, k, columns});
        size_ += static_cast<std::int64_t>(buffer_.size());
        records_ += k;
        std::vector<char>().swap(buffer_);
    }

    // Field f (0 time, 1 bottom-hole, 2 current, 3 lag depth, 4 operation)
    // of every record; T of its size.
    template <typename T>
    void field(int f, std::vector<T>& out) {
        out.resize(records_);
        for (const Window& w : windows_)
            read(w.offset + static_cast<std::int64_t>(4 * w.count * static_cast<std::size_t>(f)), out.data() + w.first,
                 w.count * sizeof(T));
    }

    // Column c of every record, 0 where a window had fewer columns.
    void column(std::size_t c, std::vector<float>& out) {
        out.resize(records_);
        for (const Window& w : windows_) {
            if (c < w.columns)
                read(w.offset + static_cast<std::int64_t>(17 * w.count + 4 * w.count * c), out.data() + w.first,
                     4 * w.count);
            else
                std::fill_n(out.data() + w.first, w.count, 0.0f);
        }
    }

private:
    struct Window {
        std::int64_t offset;
        std::size_t first, count, columns;
    };

    [[noreturn]] void fail(const std::string& what, int error) const {
        throw FileStorageException("FileStorage::export_file_for_compressing: " + what + " \"" + path_ + "\": " +
                                       std::error_code(error, std::generic_category()).message(),
                                   true);
    }

    // Several coding threads read columns at once; one read at a time.
    void read(std::int64_t offset, void* to, std::size_t bytes) {
        std::lock_guard<std::mutex> lock(reading_);
        if (file_.read_at(offset, to, bytes) != static_cast<std::int64_t>(bytes))
            fail("не удалось прочитать временный файл", file_.last_error() ? file_.last_error() : EIO);
    }

    AnsiString path_;
    os::File file_;
    std::mutex reading_;
    std::vector<Window> windows_;
    std::vector<char> buffer_;
    std::int64_t size_ = 0;
    std::size_t records_ = 0;
};

// One file of the export, created or emptied, without file locking. A file
// whose writing fails is removed, so no cut-short file is left to be packed.
template <typename F>
void write_file(const AnsiString& name, F&& fill) {
    lib::io::BinaryOutputFileStream out;
    out.open(name, false, false);
    try {
        fill(out);
        out.close();
    } catch (...) {
        try {
            out.close();
        } catch (...) {}
        (void)os::remove_file(name);
        throw;
    }
}

void write_params(BinaryOutputStream& out, const FileStorageParam* params, std::size_t count) {
    out << static_cast<int>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const FileStorageParam& p = params[i];
        out << p.name << p.short_name << p.units << p.global_name << p.lower_bound << p.upper_bound;
    }
}

FileStorageParam read_param(BinaryInputStream& in) {
    FileStorageParam p;
    in >> p.name >> p.short_name >> p.units >> p.global_name >> p.lower_bound >> p.upper_bound;
    return p;
}

int read_column_count(BinaryInputStream& in, const char* where, const AnsiString& source) {
    int count;
    in >> count;
    if (count < 0 || count > FileStorage::max_params)
        damaged(where, source, "столбцы",
                "число столбцов " + num(count) + " вне пределов 0.." + num(FileStorage::max_params));
    return count;
}

// The values of one column in the given coding.
void decode_column(BinaryInputStream& in, int coding, std::size_t count, std::vector<float>& values) {
    switch (coding) {
        case FileStorage::coding_plain:
            FileStorage::read_new_reg_file_vector(in, values, count);
            if (values.size() != count)
                throw FileStorageException("длина столбца " + num(static_cast<long long>(values.size())) +
                                               " не равна числу записей " + num(static_cast<long long>(count)),
                                           true);
            break;
        case FileStorage::coding_quantised: FileStorage::smart_read_vector(in, values, count); break;
        case FileStorage::coding_wavelet: FileStorage::read_wavelet_vector(in, values, count); break;
        default: throw FileStorageException("неизвестный способ кодирования столбца " + num(coding), true);
    }
}

// Back from logarithms; the flagged readings at the bottom of the column's
// range were no gas at all.
void undo_logarithm(std::vector<float>& values, bool small) {
    if (values.empty()) return;
    float lo = 0.0f, hi = 0.0f;
    bool any = false;
    for (float v : values) {
        if (!std::isfinite(v)) continue;
        if (!any || v < lo) lo = v;
        if (!any || v > hi) hi = v;
        any = true;
    }
    const float t = lo + 0.01f * (hi - lo);
    for (float& v : values) v = small && v < t ? 0.0f : std::exp(v);
}

}  // namespace

void FileStorage::gather_column(std::size_t c, std::vector<float>& out) const {
    out.resize(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const FileStorageRecordValues& v = records_[i].values;
        out[i] = c < v.size() ? v[c] : 0.0f;
    }
}

void FileStorage::gather_columns(std::size_t first, std::size_t count, std::vector<std::vector<float>>& out) const {
    out.resize(count);
    for (auto& column : out) column.resize(records_.size());
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const FileStorageRecordValues& v = records_[i].values;
        for (std::size_t c = 0; c < count; ++c) out[c][i] = first + c < v.size() ? v[first + c] : 0.0f;
    }
}

void FileStorage::make_records(std::size_t count) {
    const std::size_t columns = params_.size();
    records_.widen(columns);
    records_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        FileStorageRecord& r = records_.append(columns);
        std::fill_n(r.values.data(), columns, 0.0f);
    }
}

// --- the eight files ---

void FileStorage::save_for_compressing(const AnsiString& base, EncodeType type, const std::function<void(int)>&) {
    if (type != encode_plain && type != encode_quantised && type != encode_wavelet)
        throw FileStorageException("FileStorage::save_for_compressing: неизвестный способ кодирования " + num(type),
                                   true);
    if (records_.size() > 0x7FFFFFFF)
        throw FileStorageException("FileStorage::save_for_compressing: слишком много записей", true);

    write_file(base + ".params", [&](BinaryOutputStream& out) { write_params(out, params_.data(), params_.size()); });
    write_file(base + ".text", [&](BinaryOutputStream& out) { out << text_values_.get_full_text(); });
    write_file(base + ".time", [&](BinaryOutputStream& out) { add_new_reg_any_values(out, &FileStorageRecord::time); });
    write_file(base + ".depth_z",
               [&](BinaryOutputStream& out) { add_new_reg_any_values(out, &FileStorageRecord::depth_z); });
    write_file(base + ".depth_cur",
               [&](BinaryOutputStream& out) { add_new_reg_any_values(out, &FileStorageRecord::depth_cur); });
    write_file(base + ".lag_depth",
               [&](BinaryOutputStream& out) { add_new_reg_any_values(out, &FileStorageRecord::lag_depth); });
    write_file(base + ".operation",
               [&](BinaryOutputStream& out) { add_new_reg_any_values(out, &FileStorageRecord::operation); });
    // The columns are coded side by side on several threads: they are
    // independent, and coding them (the wavelet transform above all) costs
    // far more than writing them. A few columns are gathered in each pass
    // over the records.
    constexpr std::size_t kColumnsPerPass = 8;
    const std::size_t columns = params_.size();
    write_file(base + ".values", [&](BinaryOutputStream& out) {
        out << static_cast<unsigned>(records_.size());
        code_in_order(
            (columns + kColumnsPerPass - 1) / kColumnsPerPass, coding_threads(),
            [&](std::size_t pass, std::vector<std::string>& coded) {
                const std::size_t first = pass * kColumnsPerPass;
                std::vector<std::vector<float>> gathered;
                gather_columns(first, std::min(kColumnsPerPass, columns - first), gathered);
                coded.resize(gathered.size());
                for (std::size_t k = 0; k < gathered.size(); ++k) {
                    const AnsiString& name = params_[first + k].global_name;
                    // Room for the plain coding, the largest, so the text is
                    // not copied as it grows.
                    coded[k].reserve(16 + 4 * records_.size());
                    lib::io::BinaryMemoryOutputStream sink(coded[k]);
                    save_vector(sink, gathered[k], type, listed(name, kMechanical), listed(name, kGas));
                    std::vector<float>().swap(gathered[k]);
                }
            },
            [&](std::vector<std::string>& coded) {
                for (std::string& column : coded) write_coded(out, column);
            });
    });
}

bool FileStorage::export_file_for_compressing(const AnsiString& data_file, const AnsiString& base, EncodeType type,
                                              std::size_t& records, std::size_t window_bytes) {
    records = 0;
    if (type != encode_plain && type != encode_quantised && type != encode_wavelet)
        throw FileStorageException(
            "FileStorage::export_file_for_compressing: неизвестный способ кодирования " + num(type), true);
    const char* const kParts[] = {".params", ".text", ".time", ".depth_z", ".depth_cur", ".lag_depth", ".operation",
                                  ".values"};
    try {
        ColumnSpill spill(base + ".columns");
        const bool read = read_in_windows(data_file, window_bytes, [&] { spill.add(records_, params_.size()); });
        if (!read || spill.records() == 0) return read;
        if (spill.records() > 0x7FFFFFFF)
            throw FileStorageException("FileStorage::export_file_for_compressing: слишком много записей", true);
        const std::size_t n = spill.records();

        write_file(base + ".params",
                   [&](BinaryOutputStream& out) { write_params(out, params_.data(), params_.size()); });
        write_file(base + ".text", [&](BinaryOutputStream& out) { out << text_values_.get_full_text(); });
        {
            std::vector<unsigned> times;
            spill.field(0, times);
            write_file(base + ".time", [&](BinaryOutputStream& out) { add_new_reg_file_vector(out, times); });
        }
        std::vector<float> depths;
        for (int f : {1, 2, 3}) {
            spill.field(f, depths);
            write_file(base + kParts[2 + f], [&](BinaryOutputStream& out) { add_new_reg_file_vector(out, depths); });
        }
        std::vector<float>().swap(depths);
        {
            std::vector<char> operations;
            spill.field(4, operations);
            write_file(base + ".operation",
                       [&](BinaryOutputStream& out) { add_new_reg_file_vector(out, operations); });
        }

        // As many columns are coded at once as a share of the file's own
        // size in memory allows (a small file still gets every thread): the
        // memory of the export stays a fraction of the file's, however long
        // the trip.
        const std::size_t columns = params_.size();
        const std::size_t table = n * (sizeof(FileStorageRecord) + 4 * columns);
        const std::size_t budget = std::max<std::size_t>(table / 10 * 3, std::size_t(16) << 20);
        const std::size_t workers = std::clamp<std::size_t>(budget / coding_cost(type, n), 1, coding_threads());
        write_file(base + ".values", [&](BinaryOutputStream& out) {
            out << static_cast<unsigned>(n);
            code_in_order(
                columns, workers,
                [&](std::size_t c, std::vector<std::string>& coded) {
                    std::vector<float> values;
                    spill.column(c, values);
                    const AnsiString& name = params_[c].global_name;
                    coded.resize(1);
                    coded[0].reserve(16 + 4 * n);
                    lib::io::BinaryMemoryOutputStream sink(coded[0]);
                    save_vector(sink, values, type, listed(name, kMechanical), listed(name, kGas));
                },
                [&](std::vector<std::string>& coded) { write_coded(out, coded[0]); });
        });
        records = n;
        return true;
    } catch (...) {
        // An export cut short would be packed as if it were the file's.
        for (const char* part : kParts) (void)os::remove_file(base + part);
        throw;
    }
}

void FileStorage::load_compr_rt(const AnsiString& base) {
    const char* where = "FileStorage::load_compr_rt";
    clear();
    try {
        lib::io::InputMappedFile in;
        AnsiString file = base + ".params";
        in.open(file, true);
        const int count = read_column_count(in, where, file);
        std::vector<int> column_of(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) column_of[static_cast<std::size_t>(i)] = add_parametr(read_param(in));
        in.close();

        // Everything is read and checked before the records are made, so a
        // damaged count never makes records the files do not hold.
        file = base + ".values";
        in.open(file, true);
        unsigned stored;
        in >> stored;
        if (stored > 0x7FFFFFFF) damaged(where, file, "число записей", num(stored) + " больше допустимого");
        const std::size_t count_records = stored;
        std::vector<std::vector<float>> columns(params_.size());
        for (int i = 0; i < count; ++i) {
            const FileStorageParam& p = params_[static_cast<std::size_t>(column_of[static_cast<std::size_t>(i)])];
            reading(where, file, "столбец " + num(i + 1) + " (" + p.global_name + ")", [&] {
                bool gas, small;
                int coding;
                in >> gas >> small >> coding;
                std::vector<float> values;
                decode_column(in, coding, count_records, values);
                if (gas) undo_logarithm(values, small);
                columns[static_cast<std::size_t>(column_of[static_cast<std::size_t>(i)])] = std::move(values);
            });
        }
        in.close();

        file = base + ".text";
        in.open(file, true);
        AnsiString text;
        in >> text;
        in.close();

        file = base + ".time";
        in.open(file, true);
        std::vector<unsigned> times;
        reading(where, file, "время записей", [&] {
            read_new_reg_file_vector(in, times, count_records);
            if (times.size() != count_records)
                throw FileStorageException("длина вектора " + num(static_cast<long long>(times.size())) +
                                               " не равна числу записей " + num(static_cast<long long>(count_records)),
                                           true);
        });
        in.close();

        make_records(count_records);
        for (std::size_t r = 0; r < count_records; ++r) {
            FileStorageRecord& item = records_[r];
            item.time = times[r];
            for (std::size_t c = 0; c < columns.size(); ++c)
                if (!columns[c].empty()) item.values[c] = columns[c][r];
        }
        text_values_.set_full_text(text);

        const std::pair<const char*, float FileStorageRecord::*> depths[] = {
            {".depth_z", &FileStorageRecord::depth_z},
            {".depth_cur", &FileStorageRecord::depth_cur},
            {".lag_depth", &FileStorageRecord::lag_depth}};
        for (const auto& depth : depths) {
            file = base + depth.first;
            in.open(file, true);
            reading(where, file, "глубины", [&] { read_new_reg_any_values(in, depth.second); });
            in.close();
        }
        file = base + ".operation";
        in.open(file, true);
        reading(where, file, "операции", [&] { read_new_reg_any_values(in, &FileStorageRecord::operation); });
        in.close();
    } catch (...) {
        clear();
        throw;
    }
    file_kind_ = 1;
}

// --- the single stream ---

void FileStorage::save_for_compressing_old(BinaryOutputStream& out, const std::function<void(int)>& progress) {
    progress_ = progress;
    const std::size_t count = records_.size();
    if (count > 0x7FFFFFFF)
        throw FileStorageException("FileStorage::save_for_compressing_old: слишком много записей", true);
    out << kMagic << kVersion;
    write_params(out, params_.data(), params_.size());
    out << text_values_.get_full_text() << static_cast<int>(count);

    const int steps = static_cast<int>(params_.size()) + 6;
    auto report = [&](int k) {
        if (progress_) progress_(k * 100 / steps);
    };
    add_new_reg_any_values(out, &FileStorageRecord::time);
    report(1);
    add_new_reg_any_values(out, &FileStorageRecord::depth_z);
    report(2);
    add_new_reg_any_values(out, &FileStorageRecord::depth_cur);
    report(3);
    add_new_reg_any_values(out, &FileStorageRecord::lag_depth);
    report(4);
    add_new_reg_any_values(out, &FileStorageRecord::operation);
    report(5);
    std::vector<float> column;
    for (std::size_t c = 0; c < params_.size(); ++c) {
        gather_column(c, column);
        out << coding_plain;
        add_new_reg_file_vector(out, column);
        report(static_cast<int>(c) + 6);
    }
}

void FileStorage::load_after_decompressing(BinaryInputStream& in) { read_single_stream(in, AnsiString()); }

void FileStorage::load_after_decompressing(const AnsiString& file_name) {
    lib::io::InputMappedFile in;
    in.open(file_name, false);
    read_single_stream(in, file_name);
}

void FileStorage::read_single_stream(BinaryInputStream& in, const AnsiString& source) {
    const char* where = "FileStorage::load_after_decompressing";
    clear();
    try {
        // The magic is read as the string it is, but no further than its
        // length: garbage without a 0 byte is not read to its end.
        AnsiString magic;
        for (std::size_t i = 0; i <= kMagic.size(); ++i) {
            char c;
            in >> c;
            if (c == '\0') break;
            magic.push_back(c);
        }
        if (magic != kMagic) throw FileStorageException(kBadHeader, true);
        int version;
        in >> version;
        if (version != kVersion) throw FileStorageException(kBadVersion, true);

        const int columns = read_column_count(in, where, source);
        std::vector<int> column_of(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) column_of[static_cast<std::size_t>(i)] = add_parametr(read_param(in));
        AnsiString text;
        in >> text;
        text_values_.set_full_text(text);

        int stored;
        in >> stored;
        if (stored < 0) damaged(where, source, "число записей", num(stored));
        const std::size_t count = static_cast<std::size_t>(stored);
        std::vector<unsigned> times;
        reading(where, source, "время записей", [&] {
            read_new_reg_file_vector(in, times, count);
            if (times.size() != count)
                throw FileStorageException("длина вектора " + num(static_cast<long long>(times.size())) +
                                               " не равна числу записей " + num(stored),
                                           true);
        });
        make_records(count);
        for (std::size_t r = 0; r < count; ++r) records_[r].time = times[r];
        reading(where, source, "глубины", [&] {
            read_new_reg_any_values(in, &FileStorageRecord::depth_z);
            read_new_reg_any_values(in, &FileStorageRecord::depth_cur);
            read_new_reg_any_values(in, &FileStorageRecord::lag_depth);
        });
        reading(where, source, "операции", [&] { read_new_reg_any_values(in, &FileStorageRecord::operation); });

        std::vector<float> values;
        for (int i = 0; i < columns; ++i) {
            const std::size_t c = static_cast<std::size_t>(column_of[static_cast<std::size_t>(i)]);
            reading(where, source, "столбец " + num(i + 1) + " (" + params_[c].global_name + ")", [&] {
                int coding;
                in >> coding;
                decode_column(in, coding, count, values);
            });
            for (std::size_t r = 0; r < count; ++r) records_[r].values[c] = values[r];
        }
    } catch (...) {
        clear();
        throw;
    }
    file_kind_ = 1;
}
