#include "tools/station_host/host_window.h"
#include "tools/station_host/hub_menu.h"
#include "tools/station_host/screen_map.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/radio_dens_opt_form.h"
#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/graphics/chart_view.h"
#include "library/graphics/graphics_column.h"
#include "library/lock_object.h"
#include "library/storage/file_storage.h"
#include "library/time_conv.h"
#include "platform/rtl/numbers.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/pages.h"
#include "platform/ui/timer.h"
#include "tools/station_host/trip_chart.h"
#include "tools/station_host/trip_requests.h"
#include "tools/station_host/well_windows.h"

namespace station_host {
namespace {

namespace fs = std::filesystem;

std::string fixed2(double v) { return rtl::FormatFloat("0.00", v); }

enum class Ask { nothing, start, resume, quit };

// The least client area of the main window.
constexpr int kMinClientWidth = 800;
constexpr int kMinClientHeight = 560;

class HostWindow {
public:
    HostWindow(const HostOptions& options, int stop_write) : options_(options), stop_write_(stop_write) {
        form_ = ui::Application().CreateForm<ui::TForm>();
        form_->SetName("HostWindow");
        form_->SetBounds(40, 40, 1024, 720);
        form_->SetPosition(ui::poScreenCenter);
        // Smaller, the chart's column headings run into each other and the
        // console's page (760 x 470 with its panel) no longer fits its tab.
        form_->SetMinClientSize(kMinClientWidth, kMinClientHeight);

        menu_ = new ui::TMainMenu(form_);
        auto* rec = item(menu_->Items(), "Запись");
        start_ = item(rec, "Начать новый рейс", [this] { begin(Ask::start); });
        resume_ = item(rec, "Продолжить рейс", [this] { begin(Ask::resume); });
        stop_ = item(rec, "Остановить запись", [this] { request_stop(); });
        item(rec, "-");
        item(rec, "Выход", [this] { form_->Close(); });
        options_menu_ = item(menu_->Items(), "Настройки");
        // One "Скважина" menu: the hub's data windows first, then the
        // drill string, the well picture and the parameters' settings.
        hub_menu_ = std::make_unique<HubMenu>(menu_->Items(), form_);
        auto* well = hub_menu_->menu();
        item(well, "-");
        well_entries_ = std::make_unique<WellEntries>(well, form_);
        form_->SetMenu(menu_);

        status_ = new ui::TPaintBox(form_);
        status_->SetName("Status");
        status_->SetParent(form_);
        status_->SetAlign(ui::alBottom);
        status_->SetHeight(22);
        status_->OnPaint = [this](ui::TObject*) { paint_status(); };

        pages_ = new ui::TPageControl(form_);
        pages_->SetParent(form_);
        pages_->SetAlign(ui::alClient);
        chart_page_ = new ui::TTabSheet(form_);
        chart_page_->SetPageControl(pages_);
        chart_page_->SetCaption("Диаграмма");
        view_ = new lib::graphics::ChartView(form_);
        view_->SetName("Chart");
        view_->SetParent(chart_page_);
        view_->SetAlign(ui::alClient);
        pages_->OnChange = [this](ui::TObject*) {
            // A plug-in's page gets its window the first time it is shown.
            ui::TTabSheet* page = pages_->ActivePage();
            if (host_ && page != chart_page_)
                host_->system()->get_plugin_manager().show_tab_sheet(page, page->Width(), page->Height());
        };

        timer_ = new ui::TTimer(form_);
        timer_->SetInterval(1000);
        timer_->OnTimer = [this](ui::TObject*) { tick(); };

        form_->OnClose = [this](ui::TObject*, ui::TCloseAction&) {
            // As SIGTERM: the recording stops cleanly, then the program ends.
            ask(Ask::quit);
            request_stop();
        };
        update_caption();
        form_->Show();
    }

    ~HostWindow() {
        hub_menu_.reset();
        well_entries_.reset();
        // The chart takes its columns off the view's sheet: before the view.
        chart_.reset();
        delete form_;
    }

    // The last run was stopped from the menu (not by a signal or its time).
    bool take_menu_stop() {
        const bool s = menu_stop_;
        menu_stop_ = false;
        return s;
    }

    Ask take_ask() {
        const Ask a = ask_;
        ask_ = Ask::nothing;
        return a;
    }
    bool quitting() const { return quitting_; }

    // The run began: the plug-ins' menu items, pages and areas join.
    void attach(Host& host) {
        // From here the run can be stopped (a plug-in's question may keep
        // this attach open a while).
        host_ = &host;
        recording_ = true;
        reg::RegPluginManager& plugins = host.system()->get_plugin_manager();
        {
            lib::Locker hold(sys_lock_obj());
            // A plug-in that asks for its page gets it brought forward.
            plugins.show_page_callback = [this](ui::TTabSheet* sheet) {
                if (sheet) pages_->SetActivePage(sheet);
            };
            plugins.fill_opts_menu(options_menu_);
            plugins.fill_to_tab_control(pages_);
        }
        // Each plug-in's window goes into its page; one of a fixed size is
        // scaled to the page as it is now (the window's size as the
        // resizer's current one leaves it no room to grow beyond). Without
        // the hub's lock: a first show may ask the operator, and the
        // recording goes on behind the question.
        for (int i = 0; i < plugins.get_size(); ++i) {
            const reg::RegPluginManager::PluginData* d = plugins.get_plugin_data(i);
            if (d && d->page) plugins.show_tab_sheet(d->page, d->resizer.max_width(), d->resizer.max_height());
        }
        {
            lib::Locker hold(sys_lock_obj());
            plugins.correct_interface();
            plugins.before_show();
        }
        chart_ = std::make_unique<TripChart>(view_->sheet(), [this] { view_->data_changed(); }, TripChart::live_span);
        // A quarter of a minute a centimetre: a live trip grows visibly.
        view_->sheet().set_scale(15.0 / 86400);
        hub_menu_->attach(host.system());
        well_entries_->attach(host.system());
        update_caption();
        tick();
    }

    // The run ended (the plug-ins are gone): their items and pages go too.
    void detach() {
        hub_menu_->detach();
        well_entries_->detach();
        if (host_) tick();
        if (host_ && host_->system()) host_->system()->get_plugin_manager().show_page_callback = {};
        host_ = nullptr;
        recording_ = false;
        while (options_menu_->Count() > 0) delete options_menu_->Items(options_menu_->Count() - 1);
        for (int i = pages_->PageCount() - 1; i >= 0; --i)
            if (pages_->Pages(i) != chart_page_) delete pages_->Pages(i);
        pages_->SetActivePage(chart_page_);
        update_caption();
        status_->SetCaption(recording_view(nullptr, options_.trip).status);
        status_->Invalidate();
    }

    void set_trip(int trip) { options_.trip = trip; }
    int trip() const { return options_.trip; }

private:
    ui::TMenuItem* item(ui::TMenuItem* parent, const char* caption, std::function<void()> fn = {}) {
        auto* i = new ui::TMenuItem(form_);
        i->SetCaption(caption);
        if (fn) i->OnClick = [fn](ui::TObject*) { fn(); };
        parent->Add(i);
        return i;
    }

    void ask(Ask a) {
        if (a == Ask::quit) quitting_ = true;
        if (ask_ != Ask::quit) ask_ = a;
    }

    // Between runs the window's loop starts the next run; while a run lasts
    // without a trip (a plug-in stopped it) the host is asked as a plug-in
    // asks it.
    void begin(Ask a) {
        if (host_) {
            if (!host_->recording())
                ui::post_message(ui::Application().Handle(), trip_request_message,
                                 a == Ask::start ? trip_new : trip_continue, 0);
            return;
        }
        ask(a);
    }

    void request_stop() {
        if (!recording_) return;
        if (!quitting_) menu_stop_ = true;
        const char c = 1;
        [[maybe_unused]] auto n = ::write(stop_write_, &c, 1);
    }

    void update_caption() {
        const RecordingView v = recording_view(host_, options_.trip);
        if (form_->Caption() != v.title) form_->SetCaption(v.title);
        start_->SetEnabled(v.can_start);
        resume_->SetEnabled(v.can_resume);
        stop_->SetEnabled(v.can_stop);
    }

    void tick() {
        // A plug-in may have started another trip: the window names the one
        // being recorded, and a new trip from the menu follows that one.
        if (host_) options_.trip = host_->trip();
        // A plug-in may have stopped the recording or begun it again, or
        // the line fallen silent: the title and the menu say so.
        update_caption();
        if (host_ && chart_) chart_->refresh(host_->time_file_name());
        if (host_ && host_->system()) {
            lib::Locker hold(sys_lock_obj());
            reg::RegPluginManager& plugins = host_->system()->get_plugin_manager();
            // A plug-in that asked for its page (an alarm) gets it, and the
            // page in front follows the hub's values.
            plugins.before_show();
            if (pages_->ActivePage() != chart_page_) {
                plugins.show_pages(pages_->ActivePage());
                pages_->ActivePage()->Invalidate();
            }
        }
        // The bar's text is its caption too: what a screen reader (or a
        // test from outside) reads of it.
        status_->SetCaption(recording_view(host_, options_.trip).status);
        status_->Invalidate();
    }

    void paint_status() {
        ui::TCanvas& c = status_->Canvas();
        const ui::TRect r = status_->ClientRect();
        c.Brush().SetColor(ui::clBtnFace);
        c.FillRect(r);
        c.Brush().SetStyle(ui::bsClear);
        c.Font().SetColor(ui::clBtnText);
        c.TextOut(r.Left + 6, r.Top + 4, recording_view(host_, options_.trip).status);
        if (host_) {
            // The plug-ins' areas at the right end.
            reg::RegPluginManager& plugins = host_->system()->get_plugin_manager();
            const int width = plugins.paint_status_bar(r, &c, true);
            if (width > 0)
                plugins.paint_status_bar(ui::Rect(r.Right - width - 2, r.Top + 1, r.Right - 2, r.Bottom - 1), &c,
                                         false);
        }
    }

    HostOptions options_;
    int stop_write_;
    ui::TForm* form_ = nullptr;
    ui::TMainMenu* menu_ = nullptr;
    ui::TMenuItem* options_menu_ = nullptr;
    ui::TMenuItem* start_ = nullptr;
    ui::TMenuItem* resume_ = nullptr;
    ui::TMenuItem* stop_ = nullptr;
    std::unique_ptr<HubMenu> hub_menu_;
    std::unique_ptr<WellEntries> well_entries_;
    ui::TPaintBox* status_ = nullptr;
    ui::TPageControl* pages_ = nullptr;
    ui::TTabSheet* chart_page_ = nullptr;
    lib::graphics::ChartView* view_ = nullptr;
    ui::TTimer* timer_ = nullptr;
    std::unique_ptr<TripChart> chart_;
    Host* host_ = nullptr;
    bool recording_ = false;
    bool quitting_ = false;
    bool menu_stop_ = false;
    Ask ask_ = Ask::nothing;
};

}  // namespace

RecordingView recording_view(const Host* host, int trip) {
    RecordingView v;
    if (host && host->recording())
        v.state = host->stats().frames == 0 || host->line_quiet() ? RecordingState::no_line
                                                                  : RecordingState::recording;
    v.title = "Станция — рейс " + std::to_string(trip);
    v.status = "Рейс " + std::to_string(trip);
    if (host)
        v.status += "   Забой " + fixed2(host->depth()) + " м   Долото " + fixed2(host->bit_depth()) + " м   Записей " +
                    std::to_string(host->stats().trip_time_records);
    switch (v.state) {
        case RecordingState::recording: v.status += "   Линия: данные идут"; break;
        case RecordingState::no_line:
            v.title += " (нет данных)";
            v.status += std::string("   Линия: ") + (host->stats().frames == 0 ? "ждём данных" : "нет данных");
            break;
        case RecordingState::stopped:
            v.title += " (запись остановлена)";
            v.status += "   запись остановлена";
            break;
    }
    v.can_stop = v.state != RecordingState::stopped;
    v.can_start = v.can_resume = !v.can_stop;
    return v;
}

namespace {

void drain(int fd) {
    char buf[64];
    while (::read(fd, buf, sizeof buf) > 0) {}
}

bool readable(int fd) {
    // A byte waits: the pipe is non-blocking, so peek by reading one and
    // remember it.
    char c;
    return ::read(fd, &c, 1) == 1;
}

}  // namespace

WellEntries::WellEntries(ui::TMenuItem* menu, ui::TComponent* owner) : owner_(owner) {
    string_item_ = item(menu, "Промер инструмента...", [this] { edit_string(); });
    well_item_ = item(menu, "Скважина с инструментом...", [this] { show_well_picture(); });
    params_menu_ = item(menu, "Параметры с настройкой");
    detach();
}

ui::TMenuItem* WellEntries::item(ui::TMenuItem* parent, const std::string& caption, std::function<void()> fn) {
    auto* i = new ui::TMenuItem(owner_);
    i->SetCaption(caption);
    if (fn) i->OnClick = [fn](ui::TObject*) { fn(); };
    parent->Add(i);
    return i;
}

void WellEntries::attach(reg::System* hub) {
    detach();
    hub_ = hub;
    if (!hub_) return;
    for (ui::TMenuItem* i : {string_item_, well_item_, params_menu_}) i->SetEnabled(true);
    init_core_lib(reinterpret_cast<void*>(ui::Application().Handle()));
    lib::Locker hold(sys_lock_obj());
    const ParTabl& table = hub_->get_data_storage().get_par_tabl();
    for (int i : params_with_window(table)) item(params_menu_, table.at(i).name + "...", [this, i] { edit_param(i); });
    if (params_menu_->Count() == 0) item(params_menu_, "(нет)")->SetEnabled(false);
}

void WellEntries::detach() {
    hub_ = nullptr;
    while (params_menu_->Count() > 0) delete params_menu_->Items(params_menu_->Count() - 1);
    for (ui::TMenuItem* i : {string_item_, well_item_, params_menu_}) i->SetEnabled(false);
}

void WellEntries::edit_string() {
    if (!hub_) return;
    pore::PoreOpt& well = hub_->get_pore();
    instr::Items items;
    {
        lib::Locker hold(sys_lock_obj());
        items = *well.get_instr();
    }
    if (!edit_drill_string(items)) return;
    lib::Locker hold(sys_lock_obj());
    *well.get_instr() = items;
}

void WellEntries::show_well_picture() {
    if (!hub_) return;
    pore::PoreOpt copy;
    {
        lib::Locker hold(sys_lock_obj());
        copy = hub_->get_pore();
    }
    show_well(copy);
}

void WellEntries::edit_param(int index) {
    if (!hub_) return;
    reg::System* hub = hub_;
    Param param;
    HostData data;
    {
        lib::Locker hold(sys_lock_obj());
        const ParTabl& table = hub->get_data_storage().get_par_tabl();
        if (index >= table.get_items_count()) return;
        param = table.at(index);
        hub->fill_host_data(data);
    }
    const Param before = param;
    if (!param.param_options(data) || (param.equal(before) && param.ext_info == before.ext_info)) return;
    lib::Locker hold(sys_lock_obj());
    ParTabl& table = hub->get_data_storage().get_par_tabl();
    if (index >= table.get_items_count() || table.at(index).global_name != param.global_name) return;
    table[param.global_name] = param;
    try {
        table.save();
    } catch (const std::exception& e) {
        ui::MessageBox(std::string("Таблица параметров не сохранена: ") + e.what(), "Станция",
                       ui::MB_OK | ui::MB_ICONERROR);
    }
}

DialogTurns::DialogTurns(Host& host) {
    ui::Application().OnIdle = [&host] {
        if (host.serve_turn()) return;
        // The program is ending: a window busy with work of its own (a
        // recalibration averaging) cancels it and goes once it can.
        ui::Application().Terminate();
        for (int i = 0; i < ui::Screen().FormCount(); ++i)
            if (ui::TCustomForm* f = ui::Screen().Forms(i); f->Modal()) f->SetModalResult(ui::mrCancel);
    };
}

DialogTurns::~DialogTurns() {
    ui::Application().OnIdle = nullptr;
    ui::Application().ResetTerminated();
}

int run_with_window(const HostOptions& options, int stop_read, int stop_write, const Host::Out& progress,
                    const Host::Out& errors) {
    try {
        ui::start_screen_display();
    } catch (const std::exception& e) {
        errors(std::string("station_host: --window: ") + e.what());
        return 1;
    }
    ui::Application().SetTitle("Станция");
    // A test that works the windows from outside learns where they lie.
    start_screen_map_writer();
    std::string last_error;
    const Host::Out keep_error = [&](const std::string& s) {
        last_error = s;
        errors(s);
    };
    auto window = std::make_unique<HostWindow>(options, stop_write);
    HostOptions run_options = options;
    int status = 0;
    bool first = true;
    for (;;) {
        int new_trip = -1;  // what "Начать новый рейс" records next
        {
            Host host(run_options, progress, keep_error);
            host.on_started = [&](Host& h) { window->attach(h); };
            host.on_turn = [] { ui::Application().ProcessMessages(); };
            DialogTurns dialogs(host);
            status = host.run(stop_read);
            window->set_trip(host.trip());
            window->detach();
            new_trip = host.new_trip_number();
        }
        drain(stop_read);
        if (status == 1 && first) break;  // nothing could start: as without a window
        first = false;
        if (status == 1) ui::MessageBox(last_error, "Станция", ui::MB_OK | ui::MB_ICONERROR);
        if (window->quitting() || !window->take_menu_stop()) break;
        // Stopped from the menu: the window stays until the operator records
        // again or closes it; a signal still ends the program.
        Ask next = Ask::nothing;
        bool signalled = false;
        ui::main_queue().run_until(
            [&] {
                ui::Application().ProcessMessages();
                next = window->take_ask();
                signalled = readable(stop_read);
                return next != Ask::nothing || signalled || window->quitting();
            },
            -1);
        if (signalled || window->quitting() || next == Ask::quit) break;
        if (next == Ask::start) {
            if (new_trip < 0) {
                ui::MessageBox("Нет свободного номера рейса после " + std::to_string(window->trip()), "Станция",
                               ui::MB_OK | ui::MB_ICONERROR);
                break;
            }
            window->set_trip(new_trip);
            run_options.trip = new_trip;
            run_options.continue_trip = false;
        } else {
            run_options.trip = window->trip();
            run_options.continue_trip = true;
        }
        run_options.start_depth = -1;  // the depths as the last run kept them
    }
    window.reset();
    stop_screen_map_writer();
    ui::Application().FreeReleasedForms();
    ui::stop_screen_display();
    return status;
}

}  // namespace station_host
