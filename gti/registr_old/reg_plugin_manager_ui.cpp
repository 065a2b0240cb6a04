// The plug-in manager's part in the station host's main window: the
// options menu, the plug-ins' pages and forms, their options pages and
// their areas on the status bar. Everything here runs on the main thread.

#include "gti/registr_old/reg_plugin_manager.h"

#include "platform/rtl/colors.h"
#include "platform/ui/canvas.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/pages.h"

#include <algorithm>

namespace reg {

namespace {
constexpr int menu_tag_base = 10000;
constexpr int status_bar_gap = 3;
}  // namespace

int RegPluginManager::index_of_page(const ui::TTabSheet* sheet) const {
    if (!sheet) return -1;
    for (std::size_t i = 0; i < data_.size() && static_cast<int>(i) < size(); ++i)
        if (data_[i].page == sheet) return static_cast<int>(i);
    return -1;
}

void RegPluginManager::fill_opts_menu(ui::TMenuItem* parent) {
    for (int i = 0; i < size(); ++i) {
        PluginInfo info;
        get_plugin_info(get_item(i), info);
        if (!(info.flags & PluginInfo::has_menu)) continue;
        auto* item = new ui::TMenuItem(parent);
        item->SetTag(menu_tag_base + i);
        item->SetCaption(info.menu_caption);
        item->OnClick = [this](ui::TObject* sender) { OnMenuClick(sender); };
        parent->Add(item);
    }
}

void RegPluginManager::OnMenuClick(ui::TObject* sender) {
    auto* item = dynamic_cast<ui::TMenuItem*>(sender);
    if (!item) return;
    RegPlugin* plugin = get_item(item->Tag() - menu_tag_base);
    if (!plugin) return;  // the list changed since the menu was built
    plugin->options();
    plugin->event(pe_options, std::any());
}

void RegPluginManager::fill_to_tab_control(ui::TPageControl* page_control) {
    for (int i = 0; i < size(); ++i) {
        PluginData& d = data_at(i);
        PluginInfo info;
        get_plugin_info(get_item(i), info);
        if (!(info.flags & PluginInfo::has_page)) continue;
        auto* sheet = new ui::TTabSheet(page_control);
        sheet->SetPageControl(page_control);
        sheet->SetFont(page_control->Font());
        sheet->SetTabVisible(false);
        // A window larger than the page (a fixed one scaled for a larger
        // page, one whose least size the page is smaller than) keeps all of
        // it in reach through the page's scroll bars.
        sheet->SetAutoScroll(true);
        sheet->OnResize = [this](ui::TObject* sender) { tab_sheet_resized(sender); };
        d.page = sheet;
        watch(sheet);
    }
}

void RegPluginManager::show_tab_sheet(ui::TTabSheet* sheet, int width, int height) {
    int i = index_of_page(sheet);
    if (i < 0) return;
    RegPlugin* plugin = get_item(i);
    PluginData& d = data_at(i);
    bool created = false;
    if (!d.form) {
        ui::TForm* form = plugin->get_form();
        if (!form) return;  // a page plug-in without a form: nothing to show
        d.form = form;
        watch(form);
        created = true;
        form->SetParent(sheet);
        form->SetFont(sheet->Font());
        form->SetBorderStyle(ui::bsNone);
        form->SetVisible(true);
        PluginInfo info;
        get_plugin_info(plugin, info);
        if (info.flags & PluginInfo::fixed_size) {
            d.resizer.set_current_size(width, height);
            d.resizer.rescale(sheet->BoundsRect(), form, false, false);
        } else {
            form->SetAlign(ui::alClient);
        }
    }
    plugin->show(created);
}

void RegPluginManager::show_pages(ui::TTabSheet* sheet) {
    if (size() == 0 || !sheet) return;
    int i = index_of_page(sheet);
    if (i >= 0) get_item(i)->show(false);
}

void RegPluginManager::tab_sheet_resized(ui::TObject* sender) {
    auto* sheet = dynamic_cast<ui::TTabSheet*>(sender);
    int i = index_of_page(sheet);
    if (i < 0) return;
    ui::TForm* form = data_at(i).form;
    if (!form) return;
    PluginInfo info;
    get_plugin_info(get_item(i), info);
    if (!(info.flags & PluginInfo::fixed_size)) return;
    // Positions count from the scrolled corner; a form larger than the page
    // starts at its corner and scrolls.
    form->SetLeft(std::max(0, (sheet->ClientWidth() - form->Width()) / 2) - sheet->HorzScrollBar().Position());
    form->SetTop(std::max(0, (sheet->ClientHeight() - form->Height()) / 2) - sheet->VertScrollBar().Position());
}

void RegPluginManager::show_opts_on_start(ui::TPageControl* page_control) {
    for (int i = 0; i < size(); ++i) {
        RegPlugin* plugin = get_item(i);
        PluginData& d = data_at(i);
        d.opt_control = plugin->get_opt_control();
        if (!d.opt_control) continue;
        watch(d.opt_control);
        PluginInfo info;
        get_plugin_info(plugin, info);
        auto* sheet = new ui::TTabSheet(page_control);
        sheet->SetPageControl(page_control);
        sheet->SetCaption(info.title);
        d.opt_control->SetAlign(ui::alClient);
        d.opt_control->SetParent(sheet);
        d.opt_control->SetVisible(true);
    }
}

void RegPluginManager::get_opts_on_start() {
    for (int i = 0; i < size(); ++i) {
        ui::TControl* control = data_at(i).opt_control;
        if (control) get_item(i)->set_opt_control(control);
    }
}

int RegPluginManager::paint_status_bar(const ui::TRect& rect, ui::TCanvas* canvas, bool measure) {
    int x = 0;
    if (measure) {
        int left = 0;
        for (int i = 0; i < size(); ++i) {
            int w = get_item(i)->paint_on_status_bar(rect, canvas, true);
            x += w;
            ui::TRect& area = data_at(i).area;
            area = ui::TRect(left, rect.Top, x, rect.Bottom);
            if (area.Width() > 0) x += status_bar_gap;
            left = x;
        }
        return x;
    }
    for (int i = 0; i < size(); ++i) {
        const ui::TRect area = data_at(i).area;
        if (area.Width() <= 0) continue;
        if (canvas) {
            canvas->Brush().SetColor(rtl::clBtnFace);
            canvas->FillRect(area);
        }
        get_item(i)->paint_on_status_bar(area, canvas, false);
        x += area.Width();
    }
    return x;
}

}  // namespace reg
