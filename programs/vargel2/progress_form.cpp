#include "programs/vargel2/progress_form.h"

#include <algorithm>

#include "library/controls/control_helpers.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/text_engine.h"
#include "programs/vargel2/mailer.h"

namespace vargel2 {

// What the worker thread reaches the window through: every line and the end
// are posted to the main queue, and find the window there only while it
// lives.
struct TProgressForm::Link {
    TProgressForm* form = nullptr;
};

namespace {

// The width the log's vertical scroll bar takes from its text.
constexpr int kScrollBarWidth = 16;

ui::TButton* make_button(TProgressForm* form, const char* caption, int left, int width) {
    auto* b = new ui::TButton(form);
    b->SetParent(form);
    b->SetCaption(caption);
    b->SetBounds(left, 272, width, 27);
    return b;
}

}  // namespace

TProgressForm::TProgressForm(ui::TComponent* owner) : ui::TForm(owner), link_(std::make_shared<Link>()) {
    link_->form = this;
    SetCaption("  Упаковка данных");
    SetBorderStyle(ui::bsDialog);
    SetPosition(ui::poScreenCenter);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    SetClientWidth(424);
    SetClientHeight(307);

    Label1 = new ui::TLabel(this);
    Label1->SetParent(this);
    Label1->SetCaption("Ход выполнения:");
    Label1->SetBounds(8, 6, 120, 13);

    memLog = new ui::TMemo(this);
    memLog->SetParent(this);
    memLog->SetBounds(8, 24, 408, 240);
    memLog->SetReadOnly(true);
    memLog->SetScrollBars(ui::ssVertical);
    // A line longer than the log (the package's path) goes on over the
    // next rows rather than past the log's edge, where nothing could show it.
    memLog->SetWordWrap(true);

    btnCancel = make_button(this, "Отмена", 8, 120);
    btnSendData = make_button(this, "Отправить по почте...", 256, 160);
    btnSendData->SetHint(" Отправить сжатый файл по почте ");
    btnSendData->SetShowHint(true);
    btnSendData->SetEnabled(false);

    btnCancel->OnClick = [this](ui::TObject* s) { btnCancelClick(s); };
    btnSendData->OnClick = [this](ui::TObject* s) { btnSendDataClick(s); };
    OnShow = [this](ui::TObject* s) { FormShow(s); };
    OnClose = [this](ui::TObject* s, ui::TCloseAction& a) { FormClose(s, a); };
    lib::colorize_form(this);
    // Lime text as on a console's screen: on black it reads (about 15:1),
    // on the form's grey it did not (about 1.1:1).
    memLog->SetColor(ui::clBlack);
    memLog->Font().SetColor(ui::clLime);
    // One point smaller than its font as designed.
    memLog->Font().SetSize(memLog->Font().Size() - 1);
}

TProgressForm::~TProgressForm() {
    link_->form = nullptr;
    thread_.reset();  // waits for a run still going
}

void TProgressForm::start_on_show(const RunState& state, const ConfigValues& options) {
    state_ = state;
    options_ = options;
    run_on_show_ = true;
}

void TProgressForm::FormShow(ui::TObject*) {
    if (!run_on_show_) return;
    run_on_show_ = false;
    start_run(state_, options_);
}

void TProgressForm::start_run(const RunState& state, const ConfigValues& options) {
    if (busy_) return;
    state_ = state;
    options_ = options;
    btnCancel->SetEnabled(false);
    btnSendData->SetEnabled(false);
    if (!Visible()) Show();
    thread_.reset();
    ended_ = false;
    last_error_.clear();
    left_out_.clear();
    std::shared_ptr<Link> link = link_;
    thread_ = std::make_unique<TCompressThread>(state_, options_, [link](const std::string& line) {
        ui::main_queue().post([link, line] {
            if (link->form) link->form->show_line(line);
        });
    });
    if (OnThreadCreated) OnThreadCreated(*thread_);
    TCompressThread* thread = thread_.get();
    busy_ = true;
    if (OnBusyChanged) OnBusyChanged(true);
    show_line("*** ПРОЦЕСС АРХИВАЦИИ ***");
    thread->OnTerminate = [link, thread] {
        ui::main_queue().post([link, thread] {
            if (link->form) link->form->ThreadDone(thread);
        });
    };
    thread->Start();
}

void TProgressForm::show_line(std::string line) {
    const bool provisional = !line.empty() && line[0] == '#';
    if (provisional) line.erase(0, 1);
    ui::TStrings& lines = memLog->Lines();
    if (!last_provisional_ || lines.Count() == 0) {
        if (!line.empty() && line[0] == '*' && lines.Count() > 0) lines.Add("");
        lines.Add(line);
    } else if (lines[lines.Count() - 1] != line) {
        lines.SetStrings(lines.Count() - 1, line);
    }
    last_provisional_ = provisional;
    // Keep the newest line in sight, counting the rows a wrapped line takes.
    memLog->SetTopLine(first_row_for_end());
}

int TProgressForm::first_row_for_end() {
    ui::TCanvas& c = memLog->Canvas();
    c.Font().Assign(memLog->Font());
    const int row = std::max(1, ui::text_engine::line_height(memLog->Font()));
    // As the log lays its lines out: inside its scroll bar and a margin of
    // two on either side, from one below its top.
    const int width = std::max(1, memLog->ClientWidth() - kScrollBarWidth - 4);
    const int room = memLog->ClientHeight() - 1;
    // Only the last line changes (added or replaced): the others keep the
    // heights measured before, so a long log is not laid out again at
    // every line.
    const ui::TStrings& lines = memLog->Lines();
    const auto count = static_cast<std::size_t>(lines.Count());
    if (line_heights_.size() > count || width != measured_width_) line_heights_.clear();
    if (!line_heights_.empty() && line_heights_.size() == count) line_heights_.pop_back();
    measured_width_ = width;
    while (line_heights_.size() < count) {
        const std::string& text = lines[static_cast<int>(line_heights_.size())];
        ui::TRect r{0, 0, width, 0};
        line_heights_.push_back(c.DrawText(text.empty() ? std::string(" ") : text, r,
                                           ui::DT_NOPREFIX | ui::DT_EXPANDTABS | ui::DT_WORDBREAK | ui::DT_CALCRECT));
    }
    long long height = 0;
    for (const int h : line_heights_) height += h;
    return height > room ? static_cast<int>((height - room + row - 1) / row) : 0;
}

void TProgressForm::ThreadDone(TCompressThread* thread) {
    if (thread != thread_.get()) return;
    thread_->WaitFor();
    busy_ = false;
    ended_ = true;
    last_error_ = thread_->error_text();
    left_out_ = thread_->left_out();
    btnCancel->SetEnabled(true);
    btnCancel->SetCaption("Выход");
    const char* closing = "Нажмите кнопку \"Выход\"";
    if (last_error_.empty()) {
        show_line("Данные сжаты и помещены в файл");
        show_line(state_.package_path);
        if (!left_out_.empty()) {
            show_line("Не попали в архив файлов: " + std::to_string(left_out_.size()) + " (причины указаны выше)");
        }
        if (closing_line) show_line(closing);
        btnSendData->SetEnabled(true);
    } else {
        show_line("Ошибка во время архивации:");
        show_line(last_error_);
        if (closing_line) show_line(closing);
    }
    if (OnBusyChanged) OnBusyChanged(false);
}

void TProgressForm::btnCancelClick(ui::TObject*) {
    if (!busy_) Close();
}

void TProgressForm::FormClose(ui::TObject*, ui::TCloseAction& Action) {
    if (busy_) Action = ui::caNone;
}

void TProgressForm::btnSendDataClick(ui::TObject*) {
    std::string detail;
    MailResult result = MailResult::failed;
    try {
        result = compose_mail(mail_subject(state_), state_.operator_note, state_.package_path, &detail, mail_wait_ms);
    } catch (...) {
        result = MailResult::failed;
    }
    if (result == MailResult::no_client) {
        ui::MessageBox(kNoMailClient, kMailCaption, ui::MB_OK | ui::MB_ICONERROR);
    } else if (result == MailResult::failed) {
        ui::MessageBox(kMailFailed, kMailCaption, ui::MB_OK | ui::MB_ICONERROR);
    }
}

}  // namespace vargel2
