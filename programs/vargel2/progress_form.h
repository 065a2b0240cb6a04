#pragma once
// The progress window of a packing run: the thread's lines in a log, "Отмена"
// (which becomes "Выход" when the run has ended) and "Отправить по почте..."
// for a package that was made. While the run goes on the window cannot be
// closed and both buttons are disabled.
//
// Log rule: a line beginning with '#' is provisional and shown without it;
// the line after a provisional one takes its place, so each percentage
// overwrites the one before and the next ordinary line the last percentage.
// An ordinary line beginning with '*' gets an empty line before it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/edits.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "programs/vargel2/compress_thread.h"
#include "programs/vargel2/configuration.h"
#include "programs/vargel2/run_state.h"

namespace vargel2 {

class TProgressForm : public ui::TForm {
public:
    explicit TProgressForm(ui::TComponent* owner);
    ~TProgressForm() override;

    ui::TLabel* Label1;
    ui::TMemo* memLog;
    ui::TButton* btnCancel;
    ui::TButton* btnSendData;

    // Starts a run of a copy of the state and the options.
    void start_run(const RunState& state, const ConfigValues& options);
    // Command-line mode: the run starts when the window is first shown.
    void start_on_show(const RunState& state, const ConfigValues& options);
    bool busy() const { return busy_; }

    // The display rule of the log.
    void show_line(std::string line);

    void FormShow(ui::TObject* Sender);
    void FormClose(ui::TObject* Sender, ui::TCloseAction& Action);
    void btnCancelClick(ui::TObject* Sender);
    void btnSendDataClick(ui::TObject* Sender);
    // The end of the run, on the main thread.
    void ThreadDone(TCompressThread* thread);

    // The state of the last run (mail subject, note, package).
    const RunState& run_state() const { return state_; }
    const std::string& last_error() const { return last_error_; }
    // The package was made (it may lack the files of left_out()).
    bool last_run_ok() const { return ended_ && last_error_.empty(); }
    // The files the last run left out of its package.
    const std::vector<std::string>& left_out() const { return left_out_; }

    // Told when a run starts (true) and ends (false), on the main thread.
    std::function<void(bool busy)> OnBusyChanged;
    // Set before a run to change how the thread finds its archiver or where
    // it makes its temporary folder (tests).
    std::function<void(TCompressThread&)> OnThreadCreated;
    // Whether the result ends with the line that sends the user to "Выход"
    // (a run without a desktop has no button to press).
    bool closing_line = true;
    // How long the mail button waits for the composer's answer.
    int mail_wait_ms = 5000;

private:
    // The first row the log shows so that its last row is in sight.
    int first_row_for_end();
    struct Link;
    std::shared_ptr<Link> link_;
    std::unique_ptr<TCompressThread> thread_;
    RunState state_;
    ConfigValues options_;
    bool busy_ = false;
    bool ended_ = false;
    bool run_on_show_ = false;
    bool last_provisional_ = false;
    std::string last_error_;
    std::vector<std::string> left_out_;
    // The height of each line of the log at the width measured.
    std::vector<int> line_heights_;
    int measured_width_ = 0;
};

}  // namespace vargel2
