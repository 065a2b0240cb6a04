#include "library/controls/window_state.h"

#include <algorithm>

#include "library/text_conv.h"
#include "platform/rtl/numbers.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/text.h"
#include "platform/ui/application.h"

namespace lib {

namespace {

// Windows smaller than this are taken for damage, not for a choice.
constexpr int kMinWidth = 40;
constexpr int kMinHeight = 20;

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

void trim_history(ui::TComboBox* box) {
    while (box->Items().Count() > kComboHistory) box->Items().Delete(box->Items().Count() - 1);
}

std::string comma_text(const ui::TStrings& items) {
    rtl::StringList list;
    for (int i = 0; i < items.Count(); ++i) list.Add(items[i]);
    return list.CommaText();
}

ui::TCoolBand* band_named(ui::TCoolBar* bar, const std::string& name) {
    for (int i = 0; i < bar->Bands().Count(); ++i) {
        ui::TCoolBand* band = bar->Bands()[i];
        if (band->Control() && !name.empty() && rtl::SameText(band->Control()->Name(), name)) return band;
    }
    return nullptr;
}

}  // namespace

void save_window_pos(ui::TCustomForm* form, const AnsiString& section, rtl::IniFile* ini) {
    const ui::TRect r = form->NormalBounds();
    rtl::IniFile::Batch batch(*ini);
    ini->WriteInteger(section, "top", r.Top);
    ini->WriteInteger(section, "left", r.Left);
    ini->WriteInteger(section, "width", r.Right - r.Left);
    ini->WriteInteger(section, "height", r.Bottom - r.Top);
    ini->WriteInteger(section, "state", static_cast<int>(form->WindowState()));
    batch.commit();
}

void load_window_pos(ui::TCustomForm* form, const AnsiString& section, rtl::IniFile* ini) {
    const ui::TRect now = form->NormalBounds();
    int top = ini->ReadInteger(section, "top", now.Top);
    int left = ini->ReadInteger(section, "left", now.Left);
    int width = ini->ReadInteger(section, "width", now.Width());
    int height = ini->ReadInteger(section, "height", now.Height());
    int state = ini->ReadInteger(section, "state", static_cast<int>(form->WindowState()));
    if (state < ui::wsNormal || state > ui::wsMaximized) state = form->WindowState();

    const ui::TRect screen = ui::Screen().WorkAreaRect();
    if (width <= 0) width = now.Width();
    if (height <= 0) height = now.Height();
    width = std::clamp(width, std::min(kMinWidth, screen.Width()), screen.Width());
    height = std::clamp(height, std::min(kMinHeight, screen.Height()), screen.Height());
    left = std::clamp(left, screen.Left, screen.Right - width);
    top = std::clamp(top, screen.Top, screen.Bottom - height);

    // The rectangle is the restored one: set it while the form is normal,
    // so that maximising keeps it.
    form->SetWindowState(ui::wsNormal);
    form->SetBounds(left, top, width, height);
    form->SetWindowState(static_cast<ui::TWindowState>(state));
}

void store_last_cb_values(rtl::IniFile* ini, ui::TComboBox* box, const AnsiString& section, bool with_text) {
    const std::string text = rtl::Trim(box->Text());
    if (text.empty()) return;
    ui::TStrings& items = box->Items();
    items.BeginUpdate();
    const int found = items.IndexOf(text);
    if (found >= 0) items.Delete(found);
    items.Insert(0, text);
    items.EndUpdate();
    trim_history(box);
    rtl::IniFile::Batch batch(*ini);
    ini->WriteString(section, box->Name() + "->Items", quoted(comma_text(items)));
    if (with_text) ini->WriteString(section, box->Name() + "->Text", quoted(text));
    batch.commit();
    box->SetText(text);
}

void restore_last_cb_values(rtl::IniFile* ini, ui::TComboBox* box, const AnsiString& section, bool with_text) {
    rtl::StringList list;
    list.SetCommaText(ini->ReadString(section, box->Name() + "->Items", comma_text(box->Items())));
    std::vector<std::string> entries;
    for (int i = 0; i < list.Count() && i < kComboHistory; ++i) entries.push_back(list[i]);
    box->Items().Assign(entries);
    if (with_text) box->SetText(ini->ReadString(section, box->Name() + "->Text", ""));
}

void save_cool_bar(ui::TCoolBar* bar, rtl::IniFile* ini, const AnsiString& section) {
    rtl::IniFile::Batch batch(*ini);
    ini->EraseSection(section);
    int n = 0;
    for (int i = 0; i < bar->Bands().Count(); ++i) {
        const ui::TCoolBand* band = bar->Bands()[i];
        if (!band->Control()) continue;
        ini->WriteString(section, "CoolBand" + rtl::IntToStr(n++),
                         band->Control()->Name() + " " + (band->Break() ? "1" : "0") + " " +
                             (band->Visible() ? "1" : "0") + " " + rtl::IntToStr(band->Width()));
    }
    batch.commit();
}

void load_cool_bar(ui::TCoolBar* bar, rtl::IniFile* ini, const AnsiString& section) {
    std::vector<std::string> lines;
    for (int n = 0;; ++n) {
        std::string line = ini->ReadString(section, "CoolBand" + rtl::IntToStr(n), "");
        if (line.empty()) break;
        lines.push_back(std::move(line));
    }
    for (const std::string& line : lines)
        if (ui::TCoolBand* band = band_named(bar, get_word(line, 0))) band->SetIndex(bar->Bands().Count() - 1);
    for (const std::string& line : lines) {
        ui::TCoolBand* band = band_named(bar, get_word(line, 0));
        if (!band) continue;
        band->SetBreak(false);
        band->SetVisible(rtl::StrToIntDef(get_word(line, 2), band->Visible() ? 1 : 0) != 0);
        band->SetWidth(rtl::StrToIntDef(get_word(line, 3), band->Width()));
    }
}

}  // namespace lib
