#include "tools/station_host/hub_menu.h"

#include "gti/registr_old/calc_values.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/hub_windows.h"
#include "gti/registr_old/pore_opt.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"

namespace station_host {

namespace {

const char* const captions[] = {"Конструкция скважины", "Пределы сигнализации", "Калибровка датчика глубины",
                                "Журнал событий",       "Примечания",           "Сведения о рейсе"};

}  // namespace

HubMenu::HubMenu(ui::TMenuItem* bar, ui::TComponent* owner) : owner_(owner) {
    menu_ = new ui::TMenuItem(owner);
    menu_->SetCaption("Скважина");
    bar->Add(menu_);
    for (const char* caption : captions) {
        auto* item = new ui::TMenuItem(owner);
        item->SetCaption(caption);
        item->SetEnabled(false);
        const std::string name = caption;
        item->OnClick = [this, name](ui::TObject*) { open(name); };
        menu_->Add(item);
        items_.push_back(item);
    }
}

HubMenu::~HubMenu() { detach(); }

void HubMenu::attach(reg::System* system) {
    system_ = system;
    for (ui::TMenuItem* item : items_) item->SetEnabled(system_ != nullptr);
}

void HubMenu::detach() {
    for (auto& w : windows_)
        if (ui::TForm* f = w->get()) delete f;
    windows_.clear();
    system_ = nullptr;
    for (ui::TMenuItem* item : items_) item->SetEnabled(false);
}

ui::TForm* HubMenu::window(const std::string& caption) const {
    for (const auto& w : windows_)
        if (ui::TForm* f = w->get(); f && f->Caption() == caption) return f;
    return nullptr;
}

void HubMenu::open(const std::string& caption) {
    if (!system_) return;
    reg::System& s = *system_;
    if (ui::TForm* f = window(caption)) {
        f->Show();
        return;
    }
    ui::TForm* f = nullptr;
    if (caption == "Конструкция скважины")
        f = new reg::ConstructionWindow(owner_, *s.get_pore().get_construction(), sys_lock_obj());
    else if (caption == "Пределы сигнализации")
        f = new reg::AlarmLimitsWindow(owner_, s.get_config().get_min_max(), sys_lock_obj());
    else if (caption == "Калибровка датчика глубины")
        f = new reg::DepthCalibrationWindow(owner_, s.get_calc_values().get_depth_calc(), sys_lock_obj());
    else if (caption == "Журнал событий")
        f = new reg::EventLogWindow(owner_, s.get_registr_log());
    else if (caption == "Сведения о рейсе")
        f = new reg::RaceInfoWindow(owner_, s.get_config().get_race_info(), 1, sys_lock_obj());
    else if (caption == "Примечания")
        f = new reg::RemarksWindow(owner_, s.get_remarks());
    if (!f) return;
    auto watch = std::make_unique<reg::GridBinding<ui::TForm>>();
    watch->bind(f);
    windows_.push_back(std::move(watch));
    f->Show();
}

}  // namespace station_host
