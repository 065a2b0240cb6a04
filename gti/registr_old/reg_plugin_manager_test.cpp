#include "gti/registr_old/reg_plugin_manager.h"

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/all_params.h"
#include "gti/registr_old/config.h"
#include "gti/registr_old/data_storage.h"
#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/reg_system.h"
#include "gti/registr_old/registr_log.h"
#include "gti/registr_old/root_testing.h"
#include "gti/registr_old/test_plugins/probe.h"
#include "gti/registr_old/text_storage.h"
#include "gti/registr_old/values.h"
#include "gti/registr_old/view_file.h"
#include "library/serial/module_list.h"
#include "platform/os/paths.h"
#include "platform/os/sound.h"
#include "platform/os/testing.h"
#include "platform/rtl/codepage.h"
#include "platform/ui/pages.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

const fs::path built = fs::path(STATION_BINARY_DIR) / "test_plugins" / "core";

using root_testing::in_fresh_process;

std::string error_log(reg::System& s) {
    std::ifstream in(s.get_exe_path() + "registr.errors.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return rtl::cp1251_to_utf8(text.str());
}

// Loads the named test plug-ins into the root's manager, through a list file.
reg::RegPluginManager& load(reg::System& s, std::initializer_list<const char*> names) {
    std::string list = s.get_exe_path() + "plugins.lst";
    {
        std::ofstream out(list, std::ios::binary);
        for (const char* n : names) out << n << ".so\r\n";
    }
    reg::RegPluginManager& m = s.get_plugin_manager();
    m.load(&s, built.string() + "/", list);
    return m;
}

// A plug-in of the test itself, handed to the manager with add().
struct LocalPlugin : reg::RegPlugin {
    LocalPlugin(const char* title, int flags = 0, int page_visible = 0)
        : title(title), flags(flags), page_visible(page_visible) {}
    void fill_plugin_info(reg::PluginInfo& info) override {
        info.title = title;
        info.module_name = title;
        info.flags = flags;
        info.page_visible = page_visible;
    }
    void event(reg::PluginEventType type, const std::any& payload) override {
        if (throws) throw std::runtime_error("event");
        events.emplace_back(type, std::any_cast<int>(payload));
    }
    std::string title;
    int flags;
    int page_visible;
    bool throws = false;
    std::vector<std::pair<int, int>> events;
};

TEST(RegPluginManager, LoadsDescribesRegistersModulesAndUnregistersThemOnFree) {
    in_fresh_process([] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        reg::System& s = *sys();
        s.get_config().time_step = 10;
        reg::RegPluginManager& m = load(s, {"info_only", "module_plugin"});
        ASSERT_EQ(m.get_size(), 2);

        // Letter case counts in find.
        reg::RegPlugin* info_only = m.find("info_only");
        ASSERT_NE(info_only, nullptr);
        EXPECT_EQ(m.find("INFO_ONLY"), nullptr);
        EXPECT_TRUE(m.is_active("ModulePlugin"));
        EXPECT_FALSE(m.is_active("modulePlugin"));

        // A plug-in with nothing but its description binds to core's defaults.
        EXPECT_EQ(info_only->get_opt_control(), nullptr);
        EXPECT_EQ(info_only->get_form(), nullptr);
        EXPECT_EQ(info_only->paint_on_status_bar(ui::TRect(0, 0, 50, 20), nullptr, true), 0);
        AnsiString header;
        std::vector<char> bytes;
        EXPECT_FALSE(info_only->send_data_to_pult(header, bytes));
        info_only->event(reg::pe_options, std::any());

        // The table: 30 pointers right after the base, every one written.
        auto* table = reinterpret_cast<void* const*>(&info_only->host_get_value);
        EXPECT_EQ(static_cast<const void*>(table + 29), static_cast<const void*>(&info_only->host_get_object));
        for (int i = 0; i < reg::RegPlugin::host_callback_count; ++i) EXPECT_NE(table[i], nullptr) << i;
        // The root comes with the table: a plug-in never reaches for it.
        EXPECT_EQ(info_only->root(), &s);

        // Flag 0x10 switches recording to time; the module joins the list.
        EXPECT_EQ(s.get_config().time_step, 1);
        reg::RegPlugin* module_plugin = m.find("ModulePlugin");
        ASSERT_NE(module_plugin, nullptr);
        auto* module = dynamic_cast<lib::ModuleBaseOld*>(module_plugin);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(s.get_module_list().find("ModulePlugin"), module);
        EXPECT_EQ(s.get_module_list().find("info_only"), nullptr);
        EXPECT_NE(m.get_plugin_data(0), nullptr);
        EXPECT_NE(m.get_plugin_data(1), nullptr);

        // Freed: the list forgets the module, so saving later touches no
        // freed object.
        m.free();
        EXPECT_EQ(m.get_size(), 0);
        EXPECT_EQ(s.get_module_list().find("ModulePlugin"), nullptr);
        s.save_to_file(dir.path());
        EXPECT_EQ(error_log(s), "");
    });
}

TEST(RegPluginManager, RecordingStartsAndStopsEveryPluginAndLogsTheOnesThatFail) {
    in_fresh_process([] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        reg::System& s = *sys();
        reg::RegPluginManager& m = load(s, {"throws_start", "counting"});
        ASSERT_EQ(m.get_size(), 2);
        reg::RegPlugin* counter = m.find("counting");
        ASSERT_NE(counter, nullptr);
        CountingReport report;
        auto* counting = &report;
        auto read_counts = [&] { counter->event(reg::pe_refresh, std::any(counting)); };

        s.before_work(17, false, dir.path());
        read_counts();
        EXPECT_EQ(counting->starts, 1);
        EXPECT_EQ(counting->last_race, 17);
        EXPECT_FALSE(counting->last_load);
        EXPECT_TRUE(s.get_reg_active());
        s.after_work(dir.path());
        read_counts();
        EXPECT_EQ(counting->stops, 1);
        EXPECT_FALSE(s.get_reg_active());

        // An empty function is a failure of each plug-in in turn.
        m.for_each({});

        std::string log = error_log(s);
        EXPECT_NE(log.find(") Исключение \"порт не открыт\" в модуле \"Сбойный\"\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find(") Неизвестное исключение в модуле \"Сбойный\"\r\n"), std::string::npos) << log;
        EXPECT_NE(log.find("\" в модуле \"Счётчик\"\r\n"), std::string::npos) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    });
}

TEST(RegPluginManager, CallbackTableServesThePluginFromTheRoot) {
    in_fresh_process([] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        reg::System& s = *sys();
        DataStorage& ds = s.get_data_storage();
        ds.get_par_tabl().add(AnsiString("вес_на_крюке"));
        ds.crush_flags["вес_на_крюке"] = 1;
        ds.set_operation(4);
        Values& v = s.get_values();
        v.register_function1("probe.twice", [](double a) { return 2 * a; });
        v.register_function2("probe.sum", [](double a, double b) { return a + b; });
        v.register_function3("probe.sum3", [](double a, double b, double c) { return a + b + c; });
        instr::Items& items = s.get_instr_items();
        items.get(items.add_new()).count = 3;
        items.get(0).lengths = {12.5f};
        items.get(items.add_new()).count = 2;
        items.get(1).lengths = {9.0f, 9.5f};
        items.get(items.add_new()).count = -4;  // damaged: no unit

        reg::RegPluginManager& m = load(s, {"probe"});
        m.set_workpath("/data/well 7/");
        int rects = 0;
        m.rect_callback = [&](const ui::TRect& r) {
            EXPECT_EQ(r, ui::TRect(0, 0, 0, 0));
            ++rects;
        };
        std::vector<bool> changes;
        m.connect_interface_changed([&](bool changed) { changes.push_back(changed); });
        std::vector<ui::TTabSheet*> shown;
        m.show_page_callback = [&](ui::TTabSheet* sheet) { shown.push_back(sheet); };

        reg::RegPlugin* probe_plugin = m.find("probe");
        ASSERT_NE(probe_plugin, nullptr);
        s.before_work(1, false, dir.path());
        ProbeReport report;
        probe_plugin->event(reg::pe_refresh, std::any(&report));
        ProbeReport* probe = &report;
        auto& n = probe->numbers;

        EXPECT_EQ(ds.current_values["вес_на_крюке"], 12.5);
        EXPECT_EQ(n["find_known"], 1);
        EXPECT_EQ(n["find_value"], 1);
        EXPECT_EQ(n["find_unknown"], 0);
        EXPECT_EQ(n["operation"], 4);
        EXPECT_EQ(n["seven"], 7);
        EXPECT_EQ(v.get("probe.seven"), 7);
        EXPECT_EQ(n["get_param"], 1);
        EXPECT_EQ(probe->texts["get_param.title"], "Семь");
        EXPECT_EQ(n["f1"], 8);
        EXPECT_EQ(n["f2"], 9);
        EXPECT_EQ(n["f3"], 6);
        EXPECT_EQ(probe->texts["var"], "3,5");
        EXPECT_EQ(n["float_var"], 3.5);
        EXPECT_EQ(v.get_variable("work_path"), "/data/well 7/");
        EXPECT_GE(n["variables"], 3);  // race_num, work_path, probe.var
        EXPECT_EQ(n["reg_active"], 1);
        EXPECT_EQ(n["crush"], 1);
        int number = get_all_params().get_param_number("вес_на_крюке");
        EXPECT_GE(number, 0);
        EXPECT_EQ(n["param_number"], number);
        EXPECT_EQ(n["param_number_empty"], get_all_params().get_param_number(""));
        EXPECT_EQ(n["object_is_instr"], 1);
        EXPECT_EQ(n["under_object_lock"], 7);
        EXPECT_EQ(n["other_null"], 1);
        // One entry per physical unit, each a unit of the item's length.
        EXPECT_EQ(n["elements"], 5);
        EXPECT_EQ(n.count("element_count_not_1"), 0u);
        EXPECT_FLOAT_EQ(n["elements_len"], 3 * 12.5 + 2 * 18.5);
        EXPECT_NE(error_log(s).find(") Модуль 'probe' :проверка связи\r\n"), std::string::npos) << error_log(s);
        EXPECT_NE(error_log(s).find(") Модуль '' :без модуля\r\n"), std::string::npos) << error_log(s);
        EXPECT_EQ(rects, 1);
        EXPECT_EQ(changes, std::vector<bool>{false});

        // host_set_plugin_active: the next before_show brings it forward once.
        m.before_show();
        m.before_show();
        EXPECT_EQ(shown.size(), 1u);
    });
}

TEST(RegPluginManager, ViewCallbacksCheckEverySampleAndParameterNumber) {
    in_fresh_process([] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        reg::System& s = *sys();
        reg::RegPlugin* p = load(s, {"info_only"}).find("info_only");
        ASSERT_NE(p, nullptr);

        // No view file open: no sample at all.
        EXPECT_EQ(p->host_get_view_records_size(), -1);
        EXPECT_EQ(p->host_get_view_value(0, 3, 0), 0);
        EXPECT_EQ(p->host_get_view_value(1, 0, 0), 0);

        vf::ViewFile& view = s.get_view_file();
        ASSERT_TRUE(view.set_name(dir / "day.view")) << view.last_error();
        std::uint32_t now = 1000;
        view.set_clock([&] { return now; });
        int call = 0;
        view.set_source([&](vf::Sample& sample) {
            ++call;
            sample.depth_z = 100 + call;
            sample.depth_cur = 50 + call;
            sample.values = {{3, 1.5 * call}};
        });
        for (int i = 0; i < 3; ++i, now += 60) ASSERT_TRUE(view.add_record());
        EXPECT_EQ(p->host_get_view_records_size(), 2);

        struct Case {
            int kind, a, b;
            double expected;
        };
        const Case cases[] = {
            {0, 3, 0, 1.5},     {0, 3, 2, 4.5}, {1, 0, 1, 102}, {2, 0, 2, 53},
            {3, 0, 1, 1060},    {0, 3, 3, 0},    // past the last sample
            {0, 3, -1, 0},                       // negative sample
            {0, -1, 0, 0},      {0, 512, 0, 0},  // parameter numbers outside the registry
            {1, 0, 1 << 30, 0}, {3, 0, -5, 0},  {7, 0, 0, 0},   {-1, 0, 0, 0},  // unknown kinds
        };
        for (const Case& c : cases)
            EXPECT_EQ(p->host_get_view_value(c.kind, c.a, c.b), c.expected) << c.kind << " " << c.a << " " << c.b;
    });
}

TEST(RegPluginManager, RemarkAndEventLogCallbacks) {
    in_fresh_process([] {
        os::testing::TempDir dir;
        os::set_program_dir_override(dir.path());
        reg::System& s = *sys();
        reg::RegPlugin* p = load(s, {"info_only"}).find("info_only");
        ASSERT_NE(p, nullptr);

        text::Storage& remarks = s.get_remarks();
        for (auto [time, text] : {std::pair{100u, "сто"}, {200u, "двести"}, {300u, "триста"}}) {
            text::Record r;
            r.time = time;
            r.text = text;
            remarks.add_record(r);
        }
        remarks.delete_record(remarks.find_by_tyme(300));

        std::vector<reg::TextRemark> got;
        auto query = [&](std::uint32_t from, std::uint32_t to, double lower, double upper) {
            got.push_back({"старое", 1, 1});  // the list is cleared first
            p->host_get_text_remarks(from, to, reg::TextRemarksQuery{lower, upper, &got});
            std::vector<std::pair<std::string, std::uint32_t>> out;
            for (const auto& r : got) out.emplace_back(r.text, r.time);
            return out;
        };
        using Got = std::vector<std::pair<std::string, std::uint32_t>>;
        // From is exclusive, to inclusive.
        EXPECT_EQ(query(100, 200, 0, 0), (Got{{"двести", 200}}));
        // A lower bound of 0.5 truncates to 0: no depth filtering.
        EXPECT_EQ(query(0, 150, 0.5, 10), (Got{{"сто", 100}}));
        // The store keeps no depths (all 0): a span holding 0 takes every
        // remark, and reports the deleted one with an empty text.
        EXPECT_EQ(query(0, 0, -1, 5), (Got{{"", 300}, {"сто", 100}, {"двести", 200}}));
        p->host_get_text_remarks(0, 1000, reg::TextRemarksQuery{0, 0, nullptr});  // no list: nothing

        // A plug-in asking while the host edits gets whole copies.
        std::thread editor([&] {
            for (std::uint32_t t = 1000; t < 1400; ++t) {
                text::Record r;
                r.time = t;
                r.text = "правка";
                remarks.add_record(r);
            }
        });
        std::size_t last = 0;
        for (int i = 0; i < 200; ++i) {
            p->host_get_text_remarks(0, 5000, reg::TextRemarksQuery{0, 0, &got});
            EXPECT_GE(got.size(), last);
            last = got.size();
        }
        editor.join();
        p->host_get_text_remarks(0, 5000, reg::TextRemarksQuery{0, 0, &got});
        EXPECT_EQ(got.size(), 402u);

        // The event log: one event, and one comparison of changed options.
        RegistrLogOld& log = s.get_registr_log();
        p->host_add_log("событие модуля");
        EXPECT_EQ(log.pending_count(), 1u);
        Config was, now;
        was.time_step = 10;
        now.time_step = 5;
        p->host_add_comparsion("Настройки", was, now);
        EXPECT_GT(log.pending_count(), 1u);
    });
}

TEST(RegPluginManager, ForEachFollowsAListThatChangesOnTheWay) {
    reg::RegPluginManager m;
    m.add(new LocalPlugin("первый"));
    m.add(new LocalPlugin("второй"));
    std::vector<std::string> seen;
    bool added = false;
    m.for_each([&](reg::RegPlugin* p) {
        seen.push_back(static_cast<LocalPlugin*>(p)->title);
        if (!added) {
            added = true;
            m.add(new LocalPlugin("добавленный"));
        }
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"первый", "второй", "добавленный"}));

    // Freeing the list from inside the loop ends it; nothing freed is touched.
    seen.clear();
    m.for_each([&](reg::RegPlugin* p) {
        seen.push_back(static_cast<LocalPlugin*>(p)->title);
        m.free();
    });
    EXPECT_EQ(seen, std::vector<std::string>{"первый"});
    EXPECT_EQ(m.get_size(), 0);
}

TEST(RegPluginManager, EventsReachEveryPluginAndTheirFailuresPassOn) {
    reg::RegPluginManager m;
    auto* a = new LocalPlugin("a");
    auto* b = new LocalPlugin("b");
    m.add(a);
    m.add(b);
    m.call_event(reg::pe_refresh, std::any(5));
    EXPECT_EQ(a->events, (std::vector<std::pair<int, int>>{{3, 5}}));
    EXPECT_EQ(b->events, a->events);
    a->throws = true;
    EXPECT_THROW(m.call_event(reg::pe_refresh, std::any(6)), std::runtime_error);
    EXPECT_EQ(b->events.size(), 1u);
}

TEST(RegPluginManager, PagesFollowTheDescriptionsAndTheActivePageReportsAChange) {
    ui::TPageControl pages(nullptr);
    reg::RegPluginManager m;
    auto* paged = new LocalPlugin("Страница", reg::PluginInfo::has_page, 1);
    auto* plain = new LocalPlugin("Без страницы");
    m.add(paged);
    m.add(plain);
    m.fill_to_tab_control(&pages);
    ASSERT_EQ(pages.PageCount(), 1);
    ui::TTabSheet* sheet = m.get_plugin_data(0)->page;
    ASSERT_EQ(sheet, pages.Pages(0));
    EXPECT_FALSE(sheet->TabVisible());
    EXPECT_EQ(m.get_plugin_data(1)->page, nullptr);

    std::vector<bool> changes;
    m.connect_interface_changed([&](bool changed) { changes.push_back(changed); });
    pages.SetActivePage(nullptr);
    m.correct_interface();  // not the active page: no change reported
    EXPECT_TRUE(sheet->TabVisible());
    pages.SetActivePage(sheet);
    paged->page_visible = 0;
    m.correct_interface();
    m.correct_interface();
    EXPECT_EQ(changes, (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(sheet->TabVisible());
    EXPECT_EQ(sheet->Caption(), "Страница");

    std::vector<ui::TTabSheet*> shown;
    m.show_page_callback = [&](ui::TTabSheet* s) { shown.push_back(s); };
    m.set_plugin_active(paged);
    m.before_show();
    LocalPlugin stranger("чужой");
    m.set_plugin_active(&stranger);  // not in the list: nothing to show
    m.before_show();
    EXPECT_EQ(shown, std::vector<ui::TTabSheet*>{sheet});
    m.free();
}

}  // namespace
