#pragma once
// The packing of one run, on a worker thread of its own: the chosen data
// files of the well are rewritten in compressed form (FileStorage's export,
// read from each file window by window, so a trip of weeks never has to fit
// in memory) into a fresh temporary folder, the auxiliary files of the well and the
// viewer's LAS files of the well are copied beside them, and the console
// archiver "7za" packs the folder into the package. The temporary folder is
// removed afterwards, whatever happened.
//
// The thread works on its own copies of the run state and the options, so
// the windows may change theirs meanwhile. It never touches a window: each
// progress line goes to the sink it was given (the progress window's sink
// posts it to the main queue), and a line beginning with '#' is provisional
// (a percentage the next line replaces).
//
// A trip's search rewrites only files of the data-file endings (an earlier
// package or a backup beside them is left alone); a mask leaves out only
// earlier packages. What the reader skipped in a damaged file is shown as a
// line per warning, and the rest of the file is packed.
//
// Only regular files of the chosen folders are packed, each under its own
// name: a symbolic link (it may lead to another well's data) and a file
// whose name holds a path separator of either kind (it would be taken as a
// path leading out of the folders) are left out and said, never opened.
// A file that cannot be read (an older-format or damaged file, one the
// mask found beside the data) or copied is left out too, with its cause,
// and so is a mask of the command line that finds no file; the run packs
// the rest: the package is then made, and left_out() names what it lacks.
//
// A run ends failed (error_text() not empty, no package at the package
// path) when it is interrupted (interrupt_all), the archiver hangs, the
// temporary folder cannot be made, the run has no data
// folder, no mask of the command line finds a file, two files of one name
// are met (the flat package could hold only one of them), files were left
// out and none was gathered, or the archiver cannot be started or reports
// an error (its cause is kept in the text).

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "library/file_finder.h"
#include "programs/vargel2/configuration.h"
#include "programs/vargel2/run_state.h"

namespace vargel2 {

// The archiver the program runs: "7za" beside the program when there is
// one, else "7za" from PATH.
std::string default_archiver(const std::string& program_folder);

class TCompressThread {
public:
    using LineSink = std::function<void(const std::string& line)>;

    // The sink is called on the worker thread; it must be safe to call from
    // there.
    TCompressThread(RunState state, ConfigValues options, LineSink sink);
    // Waits for a running thread to end.
    ~TCompressThread();
    TCompressThread(const TCompressThread&) = delete;
    TCompressThread& operator=(const TCompressThread&) = delete;

    // Starts Execute on the worker thread; OnTerminate runs on that thread
    // after Execute has ended (the progress window posts from it).
    void Start();
    std::function<void()> OnTerminate;
    void WaitFor();
    bool Finished() const { return finished_; }

    // The run itself, on the calling thread.
    void Execute();

    // Empty after a successful run.
    const std::string& error_text() const { return error_; }
    // Files of the choice that did not reach the temporary folder.
    int failed_files() const { return failed_; }
    // Their names, in the order they were met.
    const std::vector<std::string>& left_out() const { return left_out_; }

    // Asks every run of the process, and every run started after, to stop
    // (the program was told to end): the archiver is ended, no further file
    // is begun, and the run ends failed with `why`, its package and its
    // temporary folder removed as after any failure.
    static void interrupt_all(const std::string& why);
    // For a process that must end before its runs could stop: removes their
    // temporary folders, and their packages unless the archiver finished
    // them. Safe on any thread while the runs go on.
    static void remove_leftovers();

    // The archiver program (a path, or a bare name looked up in PATH).
    std::string archiver;
    // How long the archiver may go without a line of output and without its
    // package growing before it is taken for hung: it is then ended and the
    // run fails. Generous: a big trip's package grows all the time.
    int archiver_idle_limit_ms = 10 * 60 * 1000;
    // Where the temporary folder is made; empty: $TMPDIR, else /tmp.
    std::string temp_parent;

    // The run's mode, as Execute chooses it.
    enum class Mode { all_data, trips, masks, time_window };
    Mode mode() const;

private:
    void post(const std::string& line);
    void gather_all(bool with_range);
    void gather_trips();
    void gather_masks();
    void rewrite_found(std::int32_t from, std::int32_t to);
    void copy_auxiliary();
    void gather_las();
    // `folder` ends with '/'.
    void copy_one(const std::string& folder, const std::string& name);
    // False, with the file left out and said, for a name or an entry that
    // must never be opened (a separator in the name, a symbolic link);
    // `folder` ends with '/'.
    bool packable(const std::string& folder, const std::string& name);
    void leave_out(const std::string& name, const std::string& line);
    // Takes `name` in the temporary folder for the file `source`: false when
    // this very file is there already; throws when another file of that
    // name is, since the package could hold only one of them.
    bool claim(const std::string& source, const std::string& name);
    void run_archiver();
    void remove_package();
    // Throws the interruption's text once interrupt_all was called.
    void stop_if_interrupted() const;

    RunState state_;
    ConfigValues options_;
    LineSink sink_;
    std::string temp_;  // no '/' at its end
    lib::FileFinder finder_;
    std::map<std::string, std::string> placed_;  // name in the temporary folder -> its source
    std::string error_;
    int failed_ = 0;
    std::vector<std::string> left_out_;
    bool clash_ = false;  // two files of one name met
    std::thread thread_;
    std::atomic<bool> finished_{false};
};

}  // namespace vargel2
