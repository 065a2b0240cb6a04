// The console plug-in's windows, headless, driven through the test driver;
// each is also drawn to a PNG (build/test_output/pult/) for review.

#include "plugins/pult/pult_form.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "gti/registr_old/par_tabl.h"
#include "gti/registr_old/param.h"
#include "gti/registr_old/reg_plugin.h"
#include "platform/os/stand_in_testing.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/display.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/list_view.h"
#include "platform/ui/lists.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"
#include "plugins/pult/pult_opt_form.h"
#include "widrak/indicator.h"

namespace {

using namespace ui;

std::string png(const std::string& name) {
    const auto dir = std::filesystem::path(STATION_BINARY_DIR) / "test_output" / "pult";
    std::filesystem::create_directories(dir);
    return (dir / (name + ".png")).string();
}

HeadlessDisplay& headless() { return *headless_display(); }

// A hub of the test's making behind the host callback table.
std::map<std::string, double> g_values;
std::map<std::string, std::string> g_variables;
bool g_recording = true;

struct FakeHost : reg::RegPlugin {
    FakeHost() {
        host_get_value = [](const char* n) { return g_values[n]; };
        host_get_float_variable = [](const char* n) {
            auto it = g_variables.find(n);
            return it == g_variables.end() ? 0.0 : rtl::StrToFloat(it->second);
        };
        host_get_variable = [](const char* n) { return g_variables[n]; };
        host_get_reg_active = [] { return g_recording; };
        host_get_par_tabl = [](ParTabl& t) {
            t.clear();
            for (const char* n : {"вес_на_крюке", "давление_на_входе"}) {
                Param p;
                p.global_name = n;
                p.name = std::string("Назв ") + n;
                p.units = "ед";
                t.add(p);
            }
        };
    }
    void fill_plugin_info(reg::PluginInfo&) override {}
};

struct Window : ::testing::Test {
    void SetUp() override {
        g_values = {{"вес_на_крюке", 112.5},    {"нагрузка", 12.3},      {"момент_ротора", 6.5},
                    {"давление_на_входе", 120}, {"расход_на_входе", 32}, {"расход_на_выходе", 31.5},
                    {"ds.depth_z", 1520}};
        g_variables = {{"pult.cur_depth", "3.5"},   {"pult.gaz_indi", "1.25"}, {"pult.level_indi", "1.1"},
                       {"pult.plotn_indi", "1.18"}, {"pult.voltage", "4.2"},   {"pult.tempr", "25"},
                       {"pult.+5v", "5.1"},         {"pult.+12v", "12.2"},     {"pult.text", "ВЕС 112,5"}};
        g_recording = true;
        o.text_param = "";
        frm.on_text = [this](const AnsiString& t) { texts.push_back(t); };
        frm.on_signal = [this](bool on) { signals.push_back(on); };
        frm.on_light = [this](int v) { lights.push_back(v); };
        frm.on_degaz = [this](DegazContType m, bool on) { degaz.emplace_back(m, on); };
        frm.get_degaz_mode = [this] { return mode; };
        frm.get_degaz_on = [this] { return on; };
        frm.set_text_variants(o.text_variants);
    }
    FakeHost host;
    PultOptions o;
    TPultFrm frm{nullptr};
    TestDriver drv;
    std::vector<AnsiString> texts;
    std::vector<bool> signals;
    std::vector<int> lights;
    std::vector<std::pair<DegazContType, bool>> degaz;
    DegazContType mode = dct_auto;
    bool on = false;
};

TEST_F(Window, IndicatorsFollowTheHubAndTheSupplyLabelsBlink) {
    frm.Show();
    frm.refresh(host, o);
    frm.enable(host, o);
    EXPECT_DOUBLE_EQ(double(frm.RoundIndicator1->Value()), 112.5);
    EXPECT_DOUBLE_EQ(double(frm.ValueIndicator9->Value()), 112.5);
    EXPECT_DOUBLE_EQ(double(frm.VertIndicator2->Value()), 120);
    EXPECT_DOUBLE_EQ(double(frm.ValueIndicator11->Value()), 1520);
    EXPECT_DOUBLE_EQ(double(frm.ValueIndicator10->Value()), 3.5);
    EXPECT_DOUBLE_EQ(double(frm.ValueIndicator5->Value()), 1.25);
    EXPECT_DOUBLE_EQ(double(frm.VertIndicator3->Value()), 1.1);
    // The density from the variable the plug-in keeps current.
    EXPECT_DOUBLE_EQ(double(frm.ValueIndicator2->Value()), 1.18);
    EXPECT_DOUBLE_EQ(double(frm.VertIndicator4->Value()), 1.18);
    EXPECT_EQ(frm.trbLight->Position(), 7);
    EXPECT_TRUE(lights.empty());  // the options' brightness is no change of the operator's

    // The controller's supply at 4,2 V is out of its 3,0-3,6 V: red, blinking.
    EXPECT_EQ(frm.Label32->Caption(), "4,2 в");
    EXPECT_EQ(frm.Label34->Caption(), "25,0 °C");
    EXPECT_EQ(frm.Label32->Font().Color(), clRed);
    EXPECT_EQ(frm.blinking, std::vector<TLabel*>{frm.Label32});
    frm.alarm_tick();
    EXPECT_TRUE(frm.Label32->Visible());
    frm.alarm_tick();
    EXPECT_FALSE(frm.Label32->Visible());
    frm.alarm_tick();
    EXPECT_TRUE(frm.Label32->Visible());
    frm.SaveToPng(png("console_window"));

    // A new reading moves the indicators.
    g_values["вес_на_крюке"] = 60;
    g_variables["pult.plotn_indi"] = "1.3";
    frm.refresh(host, o);
    EXPECT_DOUBLE_EQ(double(frm.RoundIndicator1->Value()), 60);
    EXPECT_DOUBLE_EQ(double(frm.VertIndicator4->Value()), 1.3);

    // Recording stopped: nothing is out of range, the operator's controls rest.
    g_recording = false;
    frm.refresh(host, o);
    frm.enable(host, o);
    EXPECT_TRUE(frm.blinking.empty());
    EXPECT_EQ(frm.Label32->Font().Color(), clBtnText);
    EXPECT_FALSE(frm.SignalButton->Enabled());
    EXPECT_FALSE(frm.trbLight->Enabled());
    EXPECT_FALSE(frm.btnDegaz->Enabled());
    EXPECT_TRUE(frm.lbl5v->Visible());
    o.use_volt_check = false;
    frm.enable(host, o);
    EXPECT_FALSE(frm.lbl5v->Visible());
    EXPECT_FALSE(frm.chkbxCheck->Visible());
    frm.SaveToPng(png("console_window_stopped"));
}

TEST_F(Window, TextLineBrightnessAndSignal) {
    frm.Show();
    frm.refresh(host, o);
    frm.enable(host, o);
    // No source: the operator's phrases.
    EXPECT_TRUE(frm.PultLineComboBox->Visible());
    EXPECT_FALSE(frm.tiTextValue->Visible());
    ASSERT_EQ(frm.PultLineComboBox->Items().Count(), 18);
    EXPECT_EQ(frm.PultLineComboBox->Items()[0], "* ТЕКУЩЕЕ ВРЕМЯ *");
    frm.PultLineComboBox->SelectByUser(13);
    EXPECT_EQ(texts, std::vector<AnsiString>{"Обед"});
    // A source: its text.
    o.text_param = "вес_на_крюке";
    frm.refresh(host, o);
    EXPECT_FALSE(frm.PultLineComboBox->Visible());
    EXPECT_TRUE(frm.tiTextValue->Visible());
    EXPECT_EQ(frm.tiTextValue->Caption(), " ВЕС 112,5");

    // The brightness caption shows the percentage for 1.2 s after a change.
    drv.PressOn(*frm.trbLight, VK_HOME);
    EXPECT_EQ(frm.lblLight->Caption(), "Яркость 6%");
    drv.PressOn(*frm.trbLight, VK_END);
    EXPECT_EQ(frm.lblLight->Caption(), "Яркость 100%");
    EXPECT_EQ(lights, (std::vector<int>{0, 15}));
    for (int i = 0; i < 5; ++i) frm.alarm_tick();
    EXPECT_EQ(frm.lblLight->Caption(), "Яркость 100%");
    frm.alarm_tick();
    EXPECT_EQ(frm.lblLight->Caption(), "Яркость индикаторов");

    drv.Click(*frm.SignalButton);
    EXPECT_EQ(signals, (std::vector<bool>{true, false}));
}

// The page's "?" on a station where its help cannot be shown: no program
// to hand the page to, or one that finds no browser.
TEST_F(Window, HelpThatCannotBeShownIsSaid) {
    std::vector<MessageBoxRequest> boxes;
    const MessageBoxHandler saved = set_message_box_handler([&](const MessageBoxRequest& r) {
        boxes.push_back(r);
        return IDOK;
    });
    os::testing::StandInPath path;  // xdg-open is nowhere
    frm.Show();
    drv.Click(*frm.btnHelp);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Справка");
    EXPECT_NE(boxes[0].text.find("screen_pult"), std::string::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("xdg-open"), std::string::npos) << boxes[0].text;

    path.add("xdg-open", 3);
    drv.Click(*frm.btnHelp);
    EXPECT_TRUE(main_queue().run_until([&] { return boxes.size() == 2; }, 60000));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[1].text.find("screen_pult"), std::string::npos) << boxes[1].text;
    EXPECT_NE(boxes[1].text.find("браузер"), std::string::npos) << boxes[1].text;
    set_message_box_handler(saved);
}

TEST_F(Window, DegasserDialog) {
    frm.Show();
    frm.refresh(host, o);
    frm.enable(host, o);
    EXPECT_EQ(frm.lblDegazState->Caption(), "Авто.");
    // Cancel changes nothing.
    headless().ExpectModal([&](TCustomForm&) {
        TDegazForm& d = *frm.degaz_form();
        EXPECT_TRUE(d.rbtnAuto->Checked());
        EXPECT_FALSE(d.btnDegazOn->Enabled());
        EXPECT_FALSE(d.btnDegazOff->Enabled());
        EXPECT_EQ(d.tiState->Caption(), "");
        drv.Click(*d.rbtnManual);
        drv.Click(*d.btnDegazOn);
        drv.Click(*d.btnCancel);
    });
    drv.Click(*frm.btnDegaz);
    EXPECT_TRUE(degaz.empty());
    EXPECT_EQ(frm.lblDegazState->Caption(), "Авто.");

    headless().ExpectModal([&](TCustomForm&) {
        TDegazForm& d = *frm.degaz_form();
        EXPECT_TRUE(d.rbtnAuto->Checked());
        drv.Click(*d.rbtnManual);
        EXPECT_TRUE(d.btnDegazOn->Enabled());
        EXPECT_FALSE(d.btnDegazOff->Enabled());
        EXPECT_EQ(d.tiState->Caption(), "Выключен");
        drv.Click(*d.btnDegazOn);
        EXPECT_FALSE(d.btnDegazOn->Enabled());
        EXPECT_TRUE(d.btnDegazOff->Enabled());
        EXPECT_EQ(d.tiState->Caption(), "Включен");
        EXPECT_EQ(d.tiState->Color(), clWhite);
        d.SaveToPng(png("degasser_dialog"));
        drv.Click(*d.btnOk);
    });
    drv.Click(*frm.btnDegaz);
    ASSERT_EQ(degaz.size(), 1u);
    EXPECT_EQ(degaz[0], std::make_pair(dct_manual, true));
    EXPECT_EQ(frm.lblDegazState->Caption(), "Включен");
}

TEST(SettingsDialog, EditsACopyAndAppliesItOnOk) {
    FakeHost host;
    PultOptions o;
    o.text_param = "давление_на_входе";
    o.indi_gaz = 3;
    o.indi_plotn = 2;
    TOptForm dlg(nullptr, o, host);
    std::vector<PultOptions> applied;
    dlg.on_apply = [&](const PultOptions& a) { applied.push_back(a); };
    int calibrations = 0;
    dlg.on_calibrate = [&] { ++calibrations; };
    TestDriver drv;
    headless().ExpectModal([&](TCustomForm&) {
        EXPECT_TRUE(dlg.pnlIndi->Visible());
        EXPECT_FALSE(dlg.pnlText->Visible());
        EXPECT_EQ(dlg.cbxDepthIndi->ItemIndex(), 1);
        EXPECT_EQ(dlg.cbxGazIndi->Items().Count(), 8);
        EXPECT_EQ(dlg.cbxGazIndi->ItemIndex(), 3);
        EXPECT_EQ(dlg.cbxLevelIndi->Items().Count(), 17);
        EXPECT_EQ(dlg.cbxLevelIndi->Items()[0], "<НЕТ>");
        EXPECT_EQ(dlg.cbxPlotnIndi->Items().Count(), 4);
        EXPECT_EQ(dlg.cbxPlotnIndi->ItemIndex(), 2);
        // The sources: keyboard, optimal load, the table's parameters, the depths.
        ASSERT_EQ(dlg.cbTextParams->Items().Count(), 6);
        EXPECT_EQ(dlg.cbTextParams->Items()[0], "<Текст с клавиатуры>");
        EXPECT_EQ(dlg.cbTextParams->Items()[3], "Назв давление_на_входе, ед");
        EXPECT_EQ(dlg.cbTextParams->ItemIndex(), 3);
        EXPECT_TRUE(dlg.cbAlarm->Checked());
        dlg.SaveToPng(png("settings_indicators"));
        drv.Click(*dlg.btnDirectIndi);
        dlg.cbTextParams->SelectByUser(5);
        dlg.cbxLevelIndi->SelectByUser(0);
        drv.Click(*dlg.cbAlarm);

        // The phrases without the time placeholder.
        drv.Click(*dlg.btnPageText);
        EXPECT_TRUE(dlg.pnlText->Visible());
        ASSERT_EQ(dlg.lvText->Items().Count(), 17);
        EXPECT_EQ(dlg.lvText->Items()[0]->Caption(), "А где все ?");
        EXPECT_FALSE(dlg.btnDelText->Enabled());
        drv.Click(*dlg.btnAddText);
        EXPECT_EQ(dlg.lvText->Items().Count(), 18);
        EXPECT_TRUE(dlg.lvText->IsEditing());
        drv.Type("Подъём");
        drv.Press(VK_RETURN);
        EXPECT_EQ(dlg.lvText->Items()[17]->Caption(), "Подъём");
        drv.Click(*dlg.btnAddText);
        drv.Press(VK_ESCAPE);
        EXPECT_EQ(dlg.lvText->Items()[18]->Caption(), "Новый текст");
        // A second new one while one stands: nothing.
        drv.Click(*dlg.btnAddText);
        EXPECT_EQ(dlg.lvText->Items().Count(), 19);
        EXPECT_TRUE(dlg.btnDelText->Enabled());
        drv.Click(*dlg.btnDelText);
        EXPECT_EQ(dlg.lvText->Items().Count(), 18);
        dlg.lvText->SetItemIndex(0);
        drv.Click(*dlg.btnDelText);
        dlg.SaveToPng(png("settings_text"));
        drv.Click(*dlg.btnOk);
    });
    ASSERT_TRUE(dlg.execute());
    EXPECT_EQ(calibrations, 1);
    ASSERT_EQ(applied.size(), 1u);
    const PultOptions& a = applied[0];
    EXPECT_EQ(a.text_param, "ds.depth_z");
    EXPECT_EQ(a.indi_level, 0);
    EXPECT_TRUE(a.have_to_send_indi);
    EXPECT_FALSE(a.use_volt_check);
    rtl::StringList phrases;
    phrases.SetCommaText(a.text_variants);
    ASSERT_EQ(phrases.Count(), 18);
    EXPECT_EQ(phrases[0], "* ТЕКУЩЕЕ ВРЕМЯ *");  // always back first
    EXPECT_EQ(phrases[1], "Авария");
    EXPECT_EQ(phrases[17], "Подъём");

    // Cancel: nothing applied.
    headless().ExpectModal([&](TCustomForm&) { drv.Click(*dlg.btnCancel); });
    EXPECT_FALSE(dlg.execute());
    EXPECT_EQ(applied.size(), 1u);
}

// The phrases come from the options file, which may be an older station's or
// edited by hand: a list without the time placeholder in front must not lose
// its first phrase, and a placeholder elsewhere is not the operator's to edit.
TEST(SettingsDialog, KeepsEveryStoredPhraseWhereverThePlaceholderStands) {
    struct Case {
        const char* stored;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {"\"Обед\",\"Авария\"", {"Обед", "Авария"}},
        {"\"Обед\",\"* ТЕКУЩЕЕ ВРЕМЯ *\",\"Авария\"", {"Обед", "Авария"}},
        {"\" * текущее время * \",\"Обед\"", {"Обед"}},
        {"\"* ТЕКУЩЕЕ ВРЕМЯ *\",\"Обед\"", {"Обед"}},
        {"", {}},
    };
    FakeHost host;
    TestDriver drv;
    for (const Case& c : cases) {
        PultOptions o;
        o.text_variants = c.stored;
        TOptForm dlg(nullptr, o, host);
        std::vector<std::string> listed;
        headless().ExpectModal([&](TCustomForm&) {
            for (int i = 0; i < dlg.lvText->Items().Count(); ++i) listed.push_back(dlg.lvText->Items()[i]->Caption());
            drv.Click(*dlg.btnOk);
        });
        ASSERT_TRUE(dlg.execute()) << c.stored;
        EXPECT_EQ(listed, c.listed) << c.stored;
        rtl::StringList saved;
        saved.SetCommaText(o.text_variants);
        std::vector<std::string> want{"* ТЕКУЩЕЕ ВРЕМЯ *"};
        want.insert(want.end(), c.listed.begin(), c.listed.end());
        std::vector<std::string> got;
        for (int i = 0; i < saved.Count(); ++i) got.push_back(saved[i]);
        EXPECT_EQ(got, want) << c.stored;
    }
}

}  // namespace

namespace {

// Every entry of the indicator lists shows whole in its box, and the boxes
// stay inside the dialog.
TEST(SettingsDialog, ListEntriesShowWhole) {
    FakeHost host;
    PultOptions o;
    o.indi_depth = 1;
    TOptForm dlg(nullptr, o, host);
    dlg.load();
    for (TComboBox* c : {dlg.cbxDepthIndi, dlg.cbxGazIndi, dlg.cbxLevelIndi, dlg.cbxPlotnIndi, dlg.cbTextParams}) {
        TBitmap probe(1, 1);
        probe.Canvas().Font().Assign(c->Font());
        // The box's text room: its client area less the button and margins.
        const int room = c->ClientWidth() - 17 - 4;
        for (int i = 0; i < c->Items().Count(); ++i)
            EXPECT_LE(probe.Canvas().TextWidth(c->Items()[i]), room) << c->Items()[i];
        EXPECT_LE(c->Left() + c->Width(), c->Parent()->ClientWidth());
        EXPECT_LE(c->Parent()->Left() + c->Parent()->Width(), dlg.ClientWidth());
    }
}

}  // namespace
