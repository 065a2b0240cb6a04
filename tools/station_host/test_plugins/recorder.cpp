// A plug-in for the station host's tests: it appends a line for each call
// the host makes of it to the file named by STATION_HOST_PLUGIN_LOG, and
// reports its start through the host's error callback, so that the hub's
// callback table shows to have been given to it. With
// STATION_HOST_PLUGIN_STOP_AFTER=N it asks the host's main window to stop
// the recording (message 1033, wParam 2) at its N-th data call, as the
// cementing plug-in does at the end of its programme; with
// STATION_HOST_PLUGIN_ASK set its first show asks the operator a question,
// as the cementing plug-in does when its last programme had finished.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gti/registr_old/reg_plugin.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/message_queue.h"

namespace {

void note(const std::string& line) {
    const char* file = std::getenv("STATION_HOST_PLUGIN_LOG");
    if (!file || !*file) return;
    if (std::FILE* f = std::fopen(file, "ab")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

struct Recorder : reg::RegPlugin {
    Recorder() { note("loaded"); }
    ~Recorder() override { note("freed"); }
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = "Запись вызовов";
        info.module_name = "recorder";
    }
    void start_registration(int race_num, bool load) override {
        note("start " + std::to_string(race_num) + " " + (load ? "1" : "0"));
        if (host_add_error) host_add_error(this, " registration started");
    }
    void stop_registration() override { note("stop"); }
    void data() override {
        note(std::string("data ") + (host_get_reg_active && host_get_reg_active() ? "1" : "0"));
        const char* after = std::getenv("STATION_HOST_PLUGIN_STOP_AFTER");
        if (after && *after && ++calls == std::atoi(after)) ui::post_message(ui::Application().Handle(), 1033, 2, 0);
    }
    int calls = 0;
    void show(bool first) override {
        note(std::string("show ") + (first ? "1" : "0"));
        const char* ask = std::getenv("STATION_HOST_PLUGIN_ASK");
        if (first && ask && *ask) ui::MessageBox("Начать новый рейс?", "Рейс завершен", ui::MB_YESNO);
    }
};

}  // namespace

extern "C" lib::PluginBase* _reg_plugin(std::intptr_t) { return new Recorder; }
