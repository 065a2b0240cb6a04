#pragma once
// RealTimeFile: turns the current-values frame into the records of a trip's
// four real-time files, named from a prefix and the trip number:
//
//   <prefix><NNNN>.realtim       time file: a record at every time save
//   <prefix><NNNN>.realdep       depth file: a record at every depth save
//   <prefix><NNNN>.reallag       lag file: the depth records again, each
//                                when the lag has carried it to the surface
//   <prefix><NNNN>.fast.realtim  fast file: a short list of parameters
//
// Every cycle the host accumulates a sample of each parameter into each
// file's accumulators (by the parameter's store mode: average over the
// record interval, last value, or maximum), and at its save operations a
// record of the interval's values is made and queued. Nothing here touches
// a file: one write thread appends the queued batches to the files in the
// block format of rt_blocks.h, adding a parameter header whenever a file's
// list of parameters changes, and leaves the marker ".nolocking" in each
// folder it writes (readers then open the files without the whole-file
// lock; the writer itself always takes it).
//
// Recording never loses or repeats a record: a batch leaves the queue only
// once all of it is in its file; an append that fails part way is cut back
// to where the file ended before the batch and tried again (the failure
// goes to the error log, then at most once a minute while it lasts), and
// later batches wait behind it, so every file keeps its records in order.
// A file's parameter list is capped at what the readers take (128
// parameters, and no more than one header block holds), with one warning in
// the error log per file.
//
// Threads: the save operations, the accumulation and the lag lines belong
// to the host's thread; the write thread only reads finished batches. The
// queue's lock is a leaf (write_queue.h); the writer takes neither the hub's
// lock nor the file lock.
//
// Module stream "RealTimeFile" (full form, kind 1, only): the four
// accumulators (each entry: sum as 80-bit extended, count int32, last value
// double) and the lag lines (depth, remaining lift, values, parameters,
// delay counter), so a trip restarted from "sys.bin" goes on with them.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <boost/signals2/signal.hpp>

#include "gti/registr_old/real_time_frame.h"
#include "gti/registr_old/rt_records.h"
#include "gti/registr_old/write_queue.h"
#include "library/serial/module_list.h"

namespace rtl {
class StringList;
}

class DataStorage;

class RealTimeFile : public virtual lib::ModuleBaseOld, public lib::SerialModuleBase {
public:
    // The frame's capacity, and the registry's bound on parameter numbers.
    static constexpr int MAX_VALUES_COUNT = 512;
    // A failing file is reported at its first failure, then at most this
    // often while it goes on failing.
    static constexpr std::chrono::seconds failure_report_interval{60};

    // Fired on the host's thread after a record of the file is queued, with
    // its parameters, value depth, bit depth, lag depth, operation and
    // values (a copy: the subscriber may change it).
    using SaveSlot = std::function<void(const ParamsProvider*, float, float, float, char, std::vector<float>*)>;
    using SaveSignal =
        boost::signals2::signal<void(const ParamsProvider*, float, float, float, char, std::vector<float>*)>;
    // Subscribes to one of the three signals; the one place that
    // instantiates Boost.Signals2's connect for them.
    static boost::signals2::connection connect(SaveSignal& signal, const SaveSlot& slot);

    // The station's writer, sampling the hub's frame.
    explicit RealTimeFile(DataStorage& frame);
    // A writer sampling any frame. The hub's services may come later
    // (set_hub); until then errors go to the process error log and named
    // variables are not set.
    explicit RealTimeFile(RealTimeFrame& frame, RealTimeHub* hub = nullptr);
    // Stops the write thread after it has written what is queued (or met
    // a failure); batches it could not write are reported as lost.
    ~RealTimeFile() override;
    RealTimeFile(const RealTimeFile&) = delete;
    RealTimeFile& operator=(const RealTimeFile&) = delete;

    // Call before start_save_thread.
    void set_hub(RealTimeHub* hub) { hub_ = hub; }

    // ---- names ----

    // The number in decimal, padded with 0 to four digits at least (7 gives
    // 0007), after the prefix as given (a folder and a base name); the
    // used-file name is the prefix and ".used".
    void calculate_file_names(const AnsiString& prefix, int number);
    // "rtf.time_file_name", "rtf.depth_file_name", "rtf.lag_file_name".
    void set_filenames_to_values();
    const AnsiString& get_time_file_name() const { return time_file_; }
    const AnsiString& get_depth_file_name() const { return depth_file_; }
    const AnsiString& get_lag_file_name() const { return lag_file_; }
    const AnsiString& get_fast_file_name() const { return fast_file_; }
    const AnsiString& get_used_file_name() const { return used_file_; }

    // ---- every cycle ----

    // One sample into the time and lag accumulators, into the depth
    // accumulators while the frame records by depth, and into the fast
    // accumulators.
    void store_values_for_file();
    void store_values_for_file(FileStoredValues& acc, const ParamsProvider& provider);

    // Each queues one record of the interval's values; nothing before the
    // file's accumulators have had a sample.
    void save_time_values();
    // A depth record at that depth, and a lag line that comes out when the
    // lag has lifted it that depth and `delay` further calls have passed.
    void save_depth_values(float depth, int delay);
    // Lifts the lag lines by `lift` (while the mud moves) and writes the
    // front line once it is out. The parameters named (comma text of
    // global names) take what the lag accumulators gathered from the
    // current values; the others the values stored with the line.
    void save_lag_depth_values(const AnsiString& names, float lift);
    // Writes every lag line (operation 2) as one batch, then waits up to
    // `wait` (a minute unless told) for the write thread to empty the queue.
    void flash_lag_data(std::chrono::milliseconds wait = std::chrono::seconds(60));
    void save_fast_file();

    // ---- trip texts ----

    // The trip header; `continued` leaves out the start depth and time.
    void save_begin_race_data(const AnsiString& file, bool continued);
    void save_start_values(bool continued);
    // The trip end, for a file that exists or has records on their way.
    void save_end_race_data(const AnsiString& file);
    void save_end_values();
    void save_text_values(const AnsiString& file, rtl::StringList* list);
    void save_text_values(rtl::StringList* list);
    static void add_value_name(rtl::StringList* list, const char* key, const AnsiString& value);

    // Clears the four accumulators and reads the fast list again.
    void clear_all_file_values();
    // One parameter header block of the provider's first parameters.
    static void save_params(lib::io::BinaryOutputStream& out, const ParamsProvider& provider);

    void get_serial_name(AnsiString& name) override { name = "RealTimeFile"; }
    void get_serial_list(lib::serial_list& list, unsigned kind) override;

    // ---- the write thread ----

    // Does nothing while the thread runs.
    void start_save_thread();
    // Asks the thread to stop and waits for it: it first writes what is
    // queued, unless a write fails. Nothing without a thread.
    void stop_save_thread();
    bool is_save_thread_running() const { return thread_ != nullptr; }
    // The thread's loop.
    void save_thread();
    // Appends the batches (all for one file) in one open of the file; true
    // when all of them are in it. On a failure the file is cut back to its
    // length before, the cause is kept for the report, and false returned.
    // A file this writer did not leave as it is (first written since the
    // start, or changed by another program) and whose data end in a block
    // cut short (a crash mid-append) is first cut back to its last whole
    // block, and the cut logged, so that no record lands behind the torn
    // bytes where a strict reader would never reach it.
    bool save_values_asynch(const std::vector<std::shared_ptr<const Records>>& batches, const AnsiString& caller);
    bool save_values_asynch(std::shared_ptr<const Records> batch, const AnsiString& caller) {
        return save_values_asynch(std::vector<std::shared_ptr<const Records>>{std::move(batch)}, caller);
    }
    int get_queue_size() const { return queue_.size(); }
    // The records of every queued batch; of those for one file.
    long get_queued_records() const { return queue_.record_count(); }
    long get_queued_records(const AnsiString& file) const { return queue_.record_count(file); }
    // Waits until the queue is empty; true when it is.
    bool wait_until_written(std::chrono::milliseconds timeout) { return queue_.wait_until_empty(timeout); }

    // ---- state, for the host and tests ----

    const FileStoredValues& time_values() const { return time_values_; }
    const std::deque<LagFileStoredLine>& lag_lines() const { return lag_lines_; }

    SaveSignal time_signal;
    SaveSignal depth_signal;
    SaveSignal lag_signal;

private:
    // The time and depth files' list as it is now (remade only when the
    // table changed), and the fast file's.
    std::shared_ptr<const StoredParamsProvider> current_params();
    std::shared_ptr<const StoredParamsProvider> fast_params();
    // The record of the interval's values, or null when acc never had a
    // sample. Starts acc's next interval.
    std::shared_ptr<ValuesWriterRecord> calculate_save_values(FileStoredValues& acc,
                                                              const std::shared_ptr<const StoredParamsProvider>& params,
                                                              float value_depth, float bit_depth, float lag_depth,
                                                              unsigned char operation, RegistryNumbers& numbers);
    void store_values_for_file(FileStoredValues& acc, const ParamsProvider& provider, RegistryNumbers& numbers);
    // A lag line's stored values into the lag accumulators, except for the
    // parameters named.
    void restore_lag_line(const LagFileStoredLine& line, const rtl::StringList* keep);
    unsigned char frame_operation() const;
    // False, logged once until names are given, for a file without a name.
    bool named(const AnsiString& file);
    // Queues a batch for the file; false (logged) when the file has no name.
    bool queue(const AnsiString& file, std::vector<std::shared_ptr<const OneRecord>> records);
    void fire(SaveSignal& signal, const ValuesWriterRecord& record, const char* handler);
    void warn_dropped(const AnsiString& file, const StoredParamsProvider& params);
    void log(const AnsiString& message) const noexcept;

    // Write thread side.
    void report_failure(const AnsiString& file);
    void report_recovery(const AnsiString& file);

    std::unique_ptr<RealTimeFrame> own_frame_;  // the station's frame, seen through RealTimeFrame
    RealTimeFrame& frame_;
    RealTimeHub* hub_;
    FileStoredValues time_values_;
    FileStoredValues depth_values_;
    FileStoredValues lag_values_;
    FileStoredValues fast_values_;
    AnsiString used_file_;
    ValuesWriterDeque queue_;
    FastParamsProvider fast_provider_;
    std::shared_ptr<const StoredParamsProvider> current_snapshot_;
    std::shared_ptr<const StoredParamsProvider> fast_snapshot_;
    std::deque<LagFileStoredLine> lag_lines_;
    // Registry numbers of the table's, the fast list's and the lag lines'
    // parameters, by position.
    RegistryNumbers table_numbers_;
    RegistryNumbers fast_numbers_;
    RegistryNumbers lag_numbers_;
    AnsiString time_file_;
    AnsiString depth_file_;
    AnsiString lag_file_;
    AnsiString fast_file_;
    std::set<AnsiString> warned_files_;
    bool warned_unnamed_ = false;

    std::atomic<bool> stop_{false};
    std::unique_ptr<WriteThread> thread_;

    // Owned by the write thread.
    AnsiString last_failure_;          // the cause of the last failed write
    AnsiString failing_file_;          // empty while writes succeed
    long failed_attempts_ = 0;         // since the last report
    long failed_total_ = 0;            // since the failures began
    std::int64_t last_report_ms_ = 0;  // on os::clock()
    std::string write_buffer_;
};
