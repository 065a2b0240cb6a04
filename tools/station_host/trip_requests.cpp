#include "tools/station_host/trip_requests.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "gti/registr_old/reg_plugin.h"
#include "gti/registr_old/reg_plugin_manager.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/sys_lock.h"
#include "library/lock_object.h"
#include "library/plugin_manager.h"
#include "platform/rtl/numbers.h"
#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "tools/station_host/host.h"
#include "tools/station_host/trip_files.h"

namespace station_host {

TripRequests::TripRequests() {
    window_ = std::make_unique<ui::MessageWindow>([this](int msg, std::intptr_t wparam, std::intptr_t) {
        if (msg == trip_request_message) pending_.push_back(int(wparam));
    });
    DurvalibInit(window_->handle());
    ui::Application().SetHandle(window_->handle());
}

TripRequests::~TripRequests() {
    DurvalibInit(0);
    ui::Application().SetHandle(0);
}

std::intptr_t TripRequests::handle() const { return window_->handle(); }

std::vector<int> TripRequests::take() {
    while (ui::main_queue().process_messages() > 0) {}
    std::vector<int> out(pending_.begin(), pending_.end());
    pending_.clear();
    return out;
}

std::vector<std::pair<double, std::string>> parse_presses(const std::string& text) {
    std::vector<std::pair<double, std::string>> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        start = comma + 1;
        if (item.empty()) continue;
        const std::size_t colon = item.find(':');
        double s = -1;
        if (colon == std::string::npos ||
            std::from_chars(item.data(), item.data() + colon, s).ptr != item.data() + colon || !std::isfinite(s) ||
            s < 0 || colon + 1 >= item.size())
            throw std::invalid_argument("bad press '" + item + "' (SECONDS:CAPTION)");
        out.emplace_back(s, item.substr(colon + 1));
    }
    // The host presses them as their seconds come, in that order: one given
    // later in the list but due earlier must not wait behind the others.
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

namespace {

ui::TControl* find_caption(ui::TComponent* c, const std::string& caption) {
    if (auto* control = dynamic_cast<ui::TControl*>(c); control && control->Caption() == caption) return control;
    for (int i = 0; i < c->ComponentCount(); ++i)
        if (ui::TControl* found = find_caption(c->Components(i), caption)) return found;
    return nullptr;
}

}  // namespace

void Host::press(const std::string& caption, double at_s) {
    reg::RegPluginManager& plugins = state_sys()->get_plugin_manager();
    for (int i = 0; i < plugins.get_size(); ++i) {
        reg::RegPlugin* p = plugins.get_item(i);
        ui::TForm* form = nullptr;
        {
            lib::Locker hold(sys_lock_obj());
            form = p->get_form();
        }
        if (ui::TControl* c = form ? find_caption(form, caption) : nullptr) {
            progress_("operator: \"" + caption + "\" at " + rtl::FormatFloat("0.000", at_s) + " s");
            // The operator presses what is in front of him: the window's
            // page comes forward first.
            const reg::RegPluginManager::PluginData* d = plugins.get_plugin_data(i);
            if (d && d->page && plugins.show_page_callback) plugins.show_page_callback(d->page);
            c->Click();
            return;
        }
    }
    log_error("operator: no plug-in window has \"" + caption + "\"");
}

void Host::answer_trip_request(int request) {
    switch (request) {
        case trip_stop:
            if (recording()) {
                progress_("trip " + std::to_string(trip()) + " stopped on a plug-in's request");
                end_trip();
            }
            break;
        case trip_new: {
            // The next number whose files are not there yet: a trip recorded
            // before under trip + 1 keeps its files.
            const int next = next_new_trip(well(), trip());
            if (next < 0) {
                log_error("request: no trip number after " + std::to_string(trip()) + " is free in " + well() +
                          "; the trip goes on");
                break;
            }
            if (recording()) end_trip();
            start_trip(next, false);
            progress_("trip " + std::to_string(trip()) + " started on a plug-in's request");
            break;
        }
        case trip_continue:
            if (!recording()) {
                start_trip(trip(), true);
                progress_("trip " + std::to_string(trip()) + " continued on a plug-in's request");
            }
            break;
        default: log_error("unknown trip request " + std::to_string(request)); break;
    }
}

}  // namespace station_host
