// The host's side of the real-time writer: accumulation, records, lag lines,
// trip texts and the module stream. The write thread's side is in
// real_time_file_write.cpp.

#include "gti/registr_old/real_time_file.h"

#include "gti/registr_old/all_params.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/delayed_depth.h"
#include "gti/registr_old/par_tabl.h"
#include "library/io/binary_stream.h"
#include "library/serial/serial_list.h"
#include "library/time_conv.h"
#include "platform/os/error_log.h"
#include "platform/os/file.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"

#include <filesystem>

std::uint32_t RealTimeFrame::local_time() const { return lib::get_local_time(); }

namespace {

// The name without its folder.
AnsiString bare_name(const AnsiString& path) {
    const std::size_t sep = path.find_last_of("/\\");
    return sep == AnsiString::npos ? path : path.substr(sep + 1);
}

bool same_params(const StoredParamsProvider& a, const std::vector<Param>& b) {
    if (a.source_size() != static_cast<int>(b.size())) return false;
    for (int i = 0; i < a.size(); ++i) {
        const Param& x = a.at(i);
        const Param& y = b[static_cast<std::size_t>(i)];
        if (x.global_name != y.global_name || x.name != y.name || x.short_name != y.short_name || x.units != y.units ||
            x.min_value != y.min_value || x.max_value != y.max_value)
            return false;
    }
    return true;
}

// A lag line in its stream form: depth, remaining lift, values, parameters,
// delay counter.
struct SerialLagLine {
    double depth = 0.0;
    double lift = 0.0;
    std::vector<double> values;
    std::vector<Param> params;
    std::int32_t delay = 0;

    void get_serial_list(lib::serial_list& list) { list | depth | lift | values | params | delay; }
};

// The hub's frame as the writer samples it.
class DataStorageFrame : public RealTimeFrame {
public:
    explicit DataStorageFrame(DataStorage& storage) : storage_(storage) {}
    const ParTabl& par_tabl() const override { return storage_.get_par_tabl(); }
    double average_value(int number) override { return storage_[number]; }
    double current_value(int number) override { return storage_.current_values[number]; }
    double depth_z() const override { return storage_.get_depth_z(); }
    double depth_cur() const override { return storage_.get_depth_cur(); }
    double lag_depth() const override { return storage_.get_delayed_depth().get_value(); }
    OperType operation() const override { return storage_.get_set_operation(); }
    bool lag_moving() const override { return storage_.lag_moving; }
    bool depth_recording() const override { return storage_.depth_recording; }

private:
    DataStorage& storage_;
};

}  // namespace

RealTimeFile::RealTimeFile(DataStorage& frame)
    : own_frame_(std::make_unique<DataStorageFrame>(frame)), frame_(*own_frame_), hub_(nullptr) {}

RealTimeFile::RealTimeFile(RealTimeFrame& frame, RealTimeHub* hub) : frame_(frame), hub_(hub) {}

RealTimeFile::~RealTimeFile() {
    // What is still queued is written before the writer goes, even when no
    // thread was running.
    if (!queue_.empty()) start_save_thread();
    stop_save_thread();
    const auto lost = queue_.take_all();
    if (lost.empty()) return;
    std::size_t records = 0;
    for (const auto& b : lost) records += b->records.size();
    log("RealTimeFile: данные не записаны, файл '" + lost.front()->file_name + "' недоступен: потеряно пакетов " +
        std::to_string(lost.size()) + ", записей " + std::to_string(records));
}

void RealTimeFile::log(const AnsiString& message) const noexcept {
    if (hub_)
        hub_->log_error(message);
    else
        os::log_error(message);
}

// ---- names ----

void RealTimeFile::calculate_file_names(const AnsiString& prefix, int number) {
    AnsiString digits = std::to_string(number);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    const AnsiString base = prefix + digits;
    time_file_ = base + ".realtim";
    depth_file_ = base + ".realdep";
    lag_file_ = base + ".reallag";
    fast_file_ = base + ".fast.realtim";
    used_file_ = prefix + ".used";
    warned_unnamed_ = false;
}

void RealTimeFile::set_filenames_to_values() {
    if (!hub_) return;
    hub_->set_variable("rtf.time_file_name", time_file_);
    hub_->set_variable("rtf.depth_file_name", depth_file_);
    hub_->set_variable("rtf.lag_file_name", lag_file_);
}

// ---- accumulation ----

void RealTimeFile::store_values_for_file() {
    const AllParams& registry = get_all_params();
    const int count = registry.get_items_count();
    const bool by_depth = frame_.depth_recording();
    time_values_.fit(count);
    lag_values_.fit(count);
    if (by_depth) depth_values_.fit(count);
    // The three files of the frame's own parameters in one pass: the
    // frame's numbers are the table's positions.
    const CurrParamsProvider table(frame_.par_tabl());
    const int n = table.size();
    for (int i = 0; i < n; ++i) {
        const Param& p = table.at(i);
        const int number = table_numbers_.number(i, p.global_name);
        FileStoredValue* t = time_values_.find(number);
        if (!t) continue;
        const double sample = frame_.average_value(i);
        const double current = frame_.current_value(i);
        FileStoredValues::add_sample(*t, p.kind, sample, current);
        FileStoredValues::add_sample(*lag_values_.find(number), p.kind, sample, current);
        if (by_depth) FileStoredValues::add_sample(*depth_values_.find(number), p.kind, sample, current);
    }
    store_values_for_file(fast_values_, fast_provider_, fast_numbers_);
}

void RealTimeFile::store_values_for_file(FileStoredValues& acc, const ParamsProvider& provider) {
    RegistryNumbers numbers;
    store_values_for_file(acc, provider, numbers);
}

void RealTimeFile::store_values_for_file(FileStoredValues& acc, const ParamsProvider& provider,
                                         RegistryNumbers& numbers) {
    acc.fit(get_all_params().get_items_count());
    const ParTabl& table = frame_.par_tabl();
    const int n = provider.size();
    for (int i = 0; i < n; ++i) {
        const Param& p = provider.at(i);
        FileStoredValue* entry = acc.find(numbers.number(i, p.global_name));
        if (!entry) continue;
        const int b = table.find_global(p.global_name);
        const double sample = b >= 0 ? frame_.average_value(b) : 0.0;
        const double current = b >= 0 ? frame_.current_value(b) : 0.0;
        FileStoredValues::add_sample(*entry, p.kind, sample, current);
    }
}

// ---- records ----

std::shared_ptr<const StoredParamsProvider> RealTimeFile::current_params() {
    const CurrParamsProvider table(frame_.par_tabl());
    if (!current_snapshot_ || !current_snapshot_->matches(table))
        current_snapshot_ = StoredParamsProvider::snapshot(table);
    return current_snapshot_;
}

std::shared_ptr<const StoredParamsProvider> RealTimeFile::fast_params() {
    if (!fast_snapshot_) fast_snapshot_ = StoredParamsProvider::snapshot(fast_provider_);
    return fast_snapshot_;
}

unsigned char RealTimeFile::frame_operation() const { return static_cast<unsigned char>(frame_.operation()); }

std::shared_ptr<ValuesWriterRecord> RealTimeFile::calculate_save_values(
    FileStoredValues& acc, const std::shared_ptr<const StoredParamsProvider>& params, float value_depth,
    float bit_depth, float lag_depth, unsigned char operation, RegistryNumbers& numbers) {
    if (acc.empty()) return nullptr;
    std::vector<float> values(static_cast<std::size_t>(params->size()), 0.0f);
    for (int i = 0; i < params->size(); ++i) {
        FileStoredValue* entry = acc.find(numbers.number(i, params->at(i).global_name));
        if (!entry) continue;
        const float v = static_cast<float>(entry->calc());
        entry->last = v;
        values[static_cast<std::size_t>(i)] = v;
    }
    acc.next_interval();
    return std::make_shared<ValuesWriterRecord>(frame_.local_time(), value_depth, bit_depth, lag_depth, operation,
                                                std::move(values), params);
}

bool RealTimeFile::named(const AnsiString& file) {
    if (!file.empty()) return true;
    if (!warned_unnamed_) log("RealTimeFile: имена файлов не заданы (calculate_file_names), записи не сохраняются");
    warned_unnamed_ = true;
    return false;
}

bool RealTimeFile::queue(const AnsiString& file, std::vector<std::shared_ptr<const OneRecord>> records) {
    if (!named(file)) return false;
    auto batch = std::make_shared<Records>();
    batch->file_name = file;
    batch->records = std::move(records);
    queue_.push(std::move(batch));
    return true;
}

void RealTimeFile::fire(SaveSignal& signal, const ValuesWriterRecord& record, const char* handler) {
    if (signal.empty()) return;
    std::vector<float> values = record.values();
    try {
        signal(record.get_provider().get(), record.value_depth(), record.bit_depth(), record.lag_depth(),
               static_cast<char>(record.operation()), &values);
    } catch (const std::exception& e) {
        log(AnsiString("Ошибка в ") + handler + " : " + e.what());
    } catch (...) {
        log(AnsiString("Ошибка в ") + handler);
    }
}

void RealTimeFile::warn_dropped(const AnsiString& file, const StoredParamsProvider& params) {
    if (params.dropped() <= 0 || file.empty() || !warned_files_.insert(file).second) return;
    log("RealTimeFile: в файл '" + file + "' записываются первые " + std::to_string(params.size()) + " параметров из " +
        std::to_string(params.source_size()) + ": больше программы чтения не принимают (слишком много параметров)");
}

void RealTimeFile::save_time_values() {
    if (!named(time_file_)) return;
    auto params = current_params();
    auto record = calculate_save_values(time_values_, params, static_cast<float>(frame_.depth_z()),
                                        static_cast<float>(frame_.depth_cur()), static_cast<float>(frame_.lag_depth()),
                                        frame_operation(), table_numbers_);
    if (!record) return;
    warn_dropped(time_file_, *params);
    queue(time_file_, {record});
    fire(time_signal, *record, "on_save_time_data");
}

void RealTimeFile::save_depth_values(float depth, int delay) {
    if (depth_values_.empty()) return;
    if (!named(depth_file_)) return;
    auto params = current_params();
    auto record = calculate_save_values(depth_values_, params, depth, static_cast<float>(frame_.depth_cur()),
                                        static_cast<float>(frame_.lag_depth()), frame_operation(), table_numbers_);
    if (!record) return;
    warn_dropped(depth_file_, *params);
    queue(depth_file_, {record});
    fire(depth_signal, *record, "on_save_depth_data");

    LagFileStoredLine line;
    line.depth = depth;
    line.lift = depth;
    line.delay = delay;
    line.params = params;
    line.values.assign(record->values().begin(), record->values().end());
    lag_lines_.push_back(std::move(line));
}

void RealTimeFile::restore_lag_line(const LagFileStoredLine& line, const rtl::StringList* keep) {
    for (int i = 0; i < line.params->size(); ++i) {
        const AnsiString& name = line.params->at(i).global_name;
        if (keep && keep->IndexOf(name) >= 0) continue;
        FileStoredValue* entry = lag_values_.find(lag_numbers_.number(i, name));
        if (!entry) continue;
        entry->sum = line.value(i);
        entry->count = 1;
    }
}

void RealTimeFile::save_lag_depth_values(const AnsiString& names, float lift) {
    if (lag_lines_.empty()) return;
    if (frame_.lag_moving()) {
        for (LagFileStoredLine& line : lag_lines_) {
            if (line.lift > 0.0)
                line.lift -= lift;
            else if (line.delay != 0)
                --line.delay;
        }
    }
    const LagFileStoredLine& front = lag_lines_.front();
    if (front.lift > 0.0 || front.delay >= 1) return;
    if (!named(lag_file_)) return;  // the line waits for a file to go to
    rtl::StringList keep;
    keep.SetCommaText(names);
    // A released line is always written, even into accumulators that never
    // had a sample (lines restored from the system state).
    lag_values_.fit(std::max<int>(get_all_params().get_items_count(), static_cast<int>(lag_values_.size())));
    restore_lag_line(front, &keep);
    auto record = calculate_save_values(lag_values_, front.params, static_cast<float>(front.depth),
                                        static_cast<float>(frame_.depth_cur()), static_cast<float>(front.depth),
                                        frame_operation(), lag_numbers_);
    if (!record) return;
    warn_dropped(lag_file_, *front.params);
    queue(lag_file_, {record});
    lag_lines_.pop_front();
    fire(lag_signal, *record, "on_save_lag_data");
}

void RealTimeFile::flash_lag_data(std::chrono::milliseconds wait) {
    if (lag_lines_.empty()) return;
    if (!named(lag_file_)) return;
    lag_values_.fit(std::max<int>(get_all_params().get_items_count(), static_cast<int>(lag_values_.size())));
    std::vector<std::shared_ptr<const OneRecord>> records;
    records.reserve(lag_lines_.size());
    for (const LagFileStoredLine& line : lag_lines_) {
        restore_lag_line(line, nullptr);
        records.push_back(calculate_save_values(lag_values_, line.params, static_cast<float>(line.depth),
                                                static_cast<float>(frame_.depth_cur()), static_cast<float>(line.depth),
                                                2, lag_numbers_));
        warn_dropped(lag_file_, *line.params);
    }
    queue(lag_file_, std::move(records));
    lag_lines_.clear();
    // The end of a trip: give the write thread up to a minute to get the
    // lines into the file. Without a thread nothing would drain them.
    if (thread_ && wait.count() > 0) queue_.wait_until_empty(wait);
}

void RealTimeFile::save_fast_file() {
    if (!named(fast_file_)) return;
    auto params = fast_params();
    auto record = calculate_save_values(fast_values_, params, static_cast<float>(frame_.depth_z()),
                                        static_cast<float>(frame_.depth_cur()), static_cast<float>(frame_.lag_depth()),
                                        frame_operation(), fast_numbers_);
    if (!record) return;
    warn_dropped(fast_file_, *params);
    queue(fast_file_, {record});
}

// ---- trip texts ----

void RealTimeFile::add_value_name(rtl::StringList* list, const char* key, const AnsiString& value) {
    if (list && key) list->SetValue(key, value);
}

void RealTimeFile::save_begin_race_data(const AnsiString& file, bool continued) {
    TripDescription d;
    if (hub_) hub_->trip_description(d);
    rtl::StringList list;
    add_value_name(&list, "месторождение", d.oil_field);
    add_value_name(&list, "скважина", d.well);
    add_value_name(&list, "категория_скважины", d.well_category);
    add_value_name(&list, "площадь", d.area);
    add_value_name(&list, "заказчик", d.customer);
    add_value_name(&list, "убр", d.drilling_unit);
    add_value_name(&list, "партия_гти", d.logging_party);
    add_value_name(&list, "отряд", d.crew);
    add_value_name(&list, "насос", d.pump);
    add_value_name(&list, "глубинный_файл", bare_name(depth_file_));
    add_value_name(&list, "временной_файл", bare_name(time_file_));
    add_value_name(&list, "реальн_глубинный_файл", bare_name(lag_file_));
    add_value_name(&list, "номер_рейса", rtl::IntToStr(d.race_number));
    add_value_name(&list, "номер_долота", d.bit_number);
    add_value_name(&list, "диаметр_скважины", rtl::FloatToStr(d.well_diameter));
    add_value_name(&list, "тип_долота", d.bit_type);
    add_value_name(&list, "цель_бурения", d.drilling_purpose);
    add_value_name(&list, "оператор", d.operator_name);
    add_value_name(&list, "мастер", d.foreman);
    add_value_name(&list, "типоразмер_з_д", d.motor_size);
    add_value_name(&list, "шаг_записи_по_глубине", rtl::FloatToStr(d.depth_step));
    add_value_name(&list, "шаг_записи_по_времени", rtl::IntToStr(d.time_step));
    add_value_name(&list, "отч_компоновка", d.assembly);
    add_value_name(&list, "куст", d.pad);
    if (!continued) {
        add_value_name(&list, "нач_глубина", rtl::FloatToStr(frame_.depth_z()));
        add_value_name(&list, "нач_время", std::to_string(frame_.local_time()));
    }
    save_text_values(file, &list);
}

void RealTimeFile::save_start_values(bool continued) {
    save_begin_race_data(time_file_, continued);
    save_begin_race_data(depth_file_, continued);
    save_begin_race_data(lag_file_, continued);
    save_begin_race_data(fast_file_, continued);
}

void RealTimeFile::save_end_race_data(const AnsiString& file) {
    if (file.empty()) return;
    // A file whose first batches are still queued counts as existing: its
    // trip must get its end too. The queue is asked first: a batch leaves
    // it only once it is in the file, so a file with nothing queued any
    // more is on disk by the time it is looked for.
    std::error_code ec;
    if (!queue_.has_batch_for(file) && !std::filesystem::exists(os::native_path(file), ec)) return;
    rtl::StringList list;
    add_value_name(&list, "конеч_глубина", rtl::FloatToStr(frame_.depth_z()));
    add_value_name(&list, "конеч_время", std::to_string(frame_.local_time()));
    save_text_values(file, &list);
}

void RealTimeFile::save_end_values() {
    save_end_race_data(time_file_);
    save_end_race_data(depth_file_);
    save_end_race_data(lag_file_);
    save_end_race_data(fast_file_);
}

void RealTimeFile::save_text_values(const AnsiString& file, rtl::StringList* list) {
    if (!list) return;
    std::shared_ptr<const OneRecord> record;
    try {
        record = std::make_shared<TextWriterRecord>(list->Text());
    } catch (const std::exception& e) {
        log("RealTimeFile: текст не записан в файл '" + file + "': " + e.what());
        return;
    }
    queue(file, {record});
}

void RealTimeFile::save_text_values(rtl::StringList* list) {
    save_text_values(time_file_, list);
    save_text_values(depth_file_, list);
    save_text_values(lag_file_, list);
    save_text_values(fast_file_, list);
}

void RealTimeFile::clear_all_file_values() {
    time_values_.clear();
    depth_values_.clear();
    lag_values_.clear();
    fast_values_.clear();
    fast_provider_.init();
    fast_snapshot_.reset();
}

void RealTimeFile::save_params(lib::io::BinaryOutputStream& out, const ParamsProvider& provider) {
    const std::string& block = StoredParamsProvider::snapshot(provider)->header_block();
    out.write(block.data(), static_cast<unsigned>(block.size()));
}

// ---- module stream ----

void RealTimeFile::get_serial_list(lib::serial_list& list, unsigned kind) {
    if (kind != 1) return;
    if (list.is_writing()) {
        list | time_values_ | depth_values_ | lag_values_ | fast_values_;
        std::vector<SerialLagLine> lines;
        lines.reserve(lag_lines_.size());
        for (const LagFileStoredLine& l : lag_lines_) {
            SerialLagLine s;
            s.depth = l.depth;
            s.lift = l.lift;
            s.values = l.values;
            s.params = l.params->params();
            s.delay = l.delay;
            lines.push_back(std::move(s));
        }
        list | lines;
        return;
    }
    if (!list.is_reading()) return;
    // Everything is read before anything changes, so a damaged record
    // leaves the writer as it was.
    FileStoredValues t, d, l, f;
    std::vector<SerialLagLine> lines;
    list | t | d | l | f | lines;
    std::deque<LagFileStoredLine> restored;
    std::shared_ptr<const StoredParamsProvider> last;
    for (SerialLagLine& s : lines) {
        LagFileStoredLine line;
        line.depth = s.depth;
        line.lift = s.lift;
        line.values = std::move(s.values);
        line.delay = s.delay;
        // Lines made under one table share one list, as they did before.
        if (!last || !same_params(*last, s.params)) last = StoredParamsProvider::snapshot(std::move(s.params));
        line.params = last;
        restored.push_back(std::move(line));
    }
    time_values_ = std::move(t);
    depth_values_ = std::move(d);
    lag_values_ = std::move(l);
    fast_values_ = std::move(f);
    lag_lines_ = std::move(restored);
}
