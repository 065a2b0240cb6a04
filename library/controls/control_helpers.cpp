#include "library/controls/control_helpers.h"

#include <algorithm>

#include "platform/rtl/text.h"
#include "platform/ui/application.h"
#include "platform/ui/edits.h"
#include "platform/ui/menus.h"
#include "platform/ui/stdctrls.h"

namespace lib {
namespace {

// The form font, chosen once for the whole process (the screen's fonts do
// not change while it runs); safe however many threads ask first.
const std::string& form_font() {
    static const std::string chosen = [] {
        const ui::TStrings& fonts = ui::Screen().Fonts();
        for (const char* name : {"tahoma", "arial"}) {
            const int i = fonts.IndexOf(name);
            if (i >= 0) return fonts[i];
        }
        return std::string();
    }();
    return chosen;
}

void colorize_controls(ui::TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        ui::TControl* c = parent->Controls(i);
        if (auto* w = dynamic_cast<ui::TWinControl*>(c)) colorize_controls(w);
        const bool text_entry =
            dynamic_cast<ui::TEdit*>(c) || dynamic_cast<ui::TComboBox*>(c) || dynamic_cast<ui::TMemo*>(c);
        if (text_entry && c->Tag() == 0) {
            c->Font().SetName("Lucida Console");
            c->Font().SetCharset(ui::RUSSIAN_CHARSET);
            c->Font().SetSize(9);
            continue;
        }
        if (!dynamic_cast<ui::TLabel*>(c) && !dynamic_cast<ui::TStaticText*>(c)) continue;
        ui::TFont& f = c->Font();
        switch (c->Tag()) {
            case 1: f.SetColor(0x008000); break;
            case 2: f.SetColor(0x0000FF); break;
            case 3: f.SetColor(0x800000); break;
            case 4: f.SetStyle(f.Style() << ui::fsBold); break;
            case 5:
                f.SetColor(0x008000);
                f.SetStyle(f.Style() << ui::fsBold);
                break;
            default: break;
        }
    }
}

}  // namespace

void colorize_form(ui::TCustomForm* form) {
    if (!form) return;
    const std::string& font = form_font();
    if (!font.empty()) {
        form->Font().SetName(font);
        form->Font().SetCharset(ui::RUSSIAN_CHARSET);
    }
    colorize_controls(form);
}

void center_control(const ui::TRect& area, ui::TControl* c) {
    if (!c) return;
    const int left = std::max(0, (area.Width() - c->Width()) / 2);
    const int top = std::max(0, (area.Height() - c->Height()) / 2);
    c->SetBounds(left, top, c->Width(), c->Height());
}

void go_to_cursor(ui::TCustomForm* f) {
    if (!f) return;
    const ui::TPoint cursor = ui::Mouse().CursorPos();
    int top = cursor.y - f->Canvas().TextHeight("#") / 2;
    int left = cursor.x - f->Width() / 2;
    const int screen_w = ui::Screen().Width(), screen_h = ui::Screen().Height();
    if (top + f->Height() > screen_h - 42) top = screen_h - 42 - f->Height();
    if (left + f->Width() > screen_w) left = screen_w - f->Width();
    f->SetBounds(std::max(0, left), std::max(0, top), f->Width(), f->Height());
}

void set_visible(bool visible, std::initializer_list<ui::TControl*> controls) {
    for (ui::TControl* c : controls)
        if (c) c->SetVisible(visible);
}

void set_visible(bool visible, std::initializer_list<ui::TMenuItem*> items) {
    for (ui::TMenuItem* item : items)
        if (item) item->SetVisible(visible);
}

void align_cool_bar(ui::TCoolBar* bar) {
    for (int i = 0; i < bar->Bands().Count(); ++i) {
        ui::TCoolBand* band = bar->Bands()[i];
        auto* holder = dynamic_cast<ui::TWinControl*>(band->Control());
        if (!holder || holder->ControlCount() == 0) continue;
        int right = 0;
        for (int k = 0; k < holder->ControlCount(); ++k) {
            const ui::TControl* c = holder->Controls(k);
            right = std::max(right, c->Left() + c->Width());
        }
        band->SetMinWidth(right + 4);
        band->SetWidth(right + 4);
    }
}

void set_enabled(bool enabled, std::initializer_list<ui::TObject*> objects) {
    for (ui::TObject* o : objects)
        if (o && !o->SetBoolProperty("Enabled", enabled)) o->SetBoolProperty("Enable", enabled);
}

enabler& enabler::operator<<(ui::TObject* object) {
    set_enabled(state_, {object});
    return *this;
}

FontSetter& FontSetter::operator<<(ui::TControl* control) {
    if (!control) return *this;
    if (ui::TFont* f = control->PublishedFont()) {
        f->SetColor(color_);
        f->SetStyle(style_);
    }
    return *this;
}

void set_combo_value(ui::TComboBox* box, const AnsiString& value) {
    if (!box) return;
    const std::string wanted = rtl::Trim(value);
    ui::TStrings& items = box->Items();
    for (int i = 0; i < items.Count(); ++i) {
        if (rtl::SameText(rtl::Trim(items[i]), wanted)) {
            box->SetItemIndex(i);
            return;
        }
    }
    items.Insert(0, value);
    box->SetItemIndex(0);
}

ControlResizer::ControlResizer()
    : max_width_(ui::GetSystemMetrics(ui::SM_CXMAXIMIZED)), max_height_(ui::GetSystemMetrics(ui::SM_CYMAXIMIZED)) {}

void ControlResizer::set_current_size(int width, int height) {
    current_width_ = width;
    current_height_ = height;
}

void ControlResizer::rescale(const ui::TRect& area, ui::TWinControl* c, bool center, bool guarded, int max_width,
                             int max_height) {
    if (!c) return;
    if (max_width == 0) max_width = max_width_;
    if (max_height == 0) max_height = max_height_;
    const int w = area.Width(), h = area.Height();
    const int cw = c->Width(), ch = c->Height();
    // Nothing to scale from or into.
    if (w <= 0 || h <= 0 || cw <= 0 || ch <= 0) return;
    const long long e = static_cast<long long>(w) * ch / cw;
    const int aw = w + max_width - current_width_ - 2 * kMargin;
    const int ah = h + max_height - current_height_ - 2 * kMargin;
    if (!guarded) {
        if (ah < e)
            c->ScaleBy(ah, ch);
        else
            c->ScaleBy(aw, cw);
    } else {
        const long long f = static_cast<long long>(h) * cw / ch;
        if (e > 100 && f > 100) {
            if (w < f)
                c->ScaleBy(aw, cw);
            else
                c->ScaleBy(ah, ch);
        }
    }
    if (center)
        c->SetBounds(std::max(0, (aw - c->Width()) / 2), std::max(0, (ah - c->Height()) / 2), c->Width(), c->Height());
}

}  // namespace lib
