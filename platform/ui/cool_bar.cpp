#include "platform/ui/cool_bar.h"

#include <algorithm>
#include <stdexcept>

#include "platform/ui/text_engine.h"

namespace ui {
namespace {

constexpr int kGrip = 10;

}  // namespace

// --- TCoolBand ------------------------------------------------------------------

void TCoolBand::SetControl(TControl* control) {
    if (control == control_) return;
    if (control_) bar_->RemoveFreeNotification(control_);
    control_ = control;
    if (control_) {
        // A control shows on one band at a time.
        if (TCoolBand* other = bar_->bands_.FindBand(control); other && other != this) other->control_ = nullptr;
        bar_->FreeNotification(control_);
        // The band starts as wide as the control needs; the stretching of the
        // row's last band must not feed back into it.
        if (width_ == 0) width_ = header_width() + control_->Width() + 4;
        control_->SetParent(bar_);
    }
    bar_->layout();
}

void TCoolBand::SetBreak(bool v) {
    break_ = v;
    bar_->layout();
}

void TCoolBand::SetVisible(bool v) {
    visible_ = v;
    bar_->layout();
}

int TCoolBand::header_width() const {
    return kGrip + (text_.empty() ? 0 : text_engine::Layout(bar_->Font(), text_, true).Size().cx + 4);
}

int TCoolBand::Width() const { return std::max(width_ > 0 ? width_ : header_width() + 4, min_width_); }

void TCoolBand::SetWidth(int w) {
    width_ = std::max(0, w);
    bar_->layout();
}

void TCoolBand::SetMinWidth(int w) {
    min_width_ = std::max(0, w);
    bar_->layout();
}

void TCoolBand::SetText(std::string text) {
    text_ = std::move(text);
    bar_->layout();
}

int TCoolBand::Index() const {
    const auto& v = bar_->bands_.bands_;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i].get() == this) return static_cast<int>(i);
    return -1;
}

void TCoolBand::SetIndex(int index) {
    auto& v = bar_->bands_.bands_;
    const int from = Index();
    index = std::clamp(index, 0, static_cast<int>(v.size()) - 1);
    if (from == index) return;
    auto band = std::move(v[static_cast<std::size_t>(from)]);
    v.erase(v.begin() + from);
    v.insert(v.begin() + index, std::move(band));
    bar_->layout();
}

// --- TCoolBands ------------------------------------------------------------------

TCoolBand* TCoolBands::Items(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TCoolBands::Items: index " + std::to_string(index) + " out of range");
    return bands_[static_cast<std::size_t>(index)].get();
}

TCoolBand* TCoolBands::Add() {
    bands_.push_back(std::unique_ptr<TCoolBand>(new TCoolBand(bar_)));
    bar_->layout();
    return bands_.back().get();
}

void TCoolBands::Delete(int index) {
    TCoolBand* band = Items(index);
    band->SetControl(nullptr);
    bands_.erase(bands_.begin() + index);
    bar_->layout();
}

void TCoolBands::Clear() {
    while (!bands_.empty()) Delete(Count() - 1);
}

TCoolBand* TCoolBands::FindBand(const TControl* control) const {
    if (!control) return nullptr;
    for (const auto& b : bands_)
        if (b->control_ == control) return b.get();
    return nullptr;
}

// --- TCoolBar ---------------------------------------------------------------------

TCoolBar::TCoolBar(TComponent* owner) : TWinControl(owner) {
    set_bounds_raw(0, 0, 150, 75);
    SetColor(clBtnFace);
}

TCoolBar::~TCoolBar() {
    for (const auto& b : bands_.bands_)
        if (b->control_) RemoveFreeNotification(b->control_);
}

void TCoolBar::SetAutoSize(bool v) {
    auto_size_ = v;
    layout();
}

void TCoolBar::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation != opRemove) return;
    for (const auto& b : bands_.bands_)
        if (b->control_ == component) b->control_ = nullptr;
    layout();
}

void TCoolBar::Resized() {
    TWinControl::Resized();
    layout();
}

void TCoolBar::layout() {
    if (laying_out_) return;
    laying_out_ = true;
    const int right = ClientWidth();
    int y = 0;
    std::vector<TCoolBand*> row;
    auto place_row = [&] {
        if (row.empty()) return;
        int height = 0;
        for (TCoolBand* b : row) height = std::max({height, b->min_height_, b->control_ ? b->control_->Height() : 0});
        height += 4;
        int x = 0;
        for (std::size_t i = 0; i < row.size(); ++i) {
            TCoolBand* b = row[i];
            const bool last = i + 1 == row.size();
            const int w = last ? std::max(b->Width(), right - x) : b->Width();
            b->rect_ = Rect(x, y, x + w, y + height);
            if (b->control_) {
                const int cx = x + b->header_width();
                b->control_->SetBounds(cx, y + 2, std::max(0, x + w - cx - 2), b->control_->Height());
                b->control_->SetVisible(true);
            }
            x += w;
        }
        y += height;
        row.clear();
    };
    for (const auto& b : bands_.bands_) {
        if (!b->visible_) {
            if (b->control_) b->control_->SetVisible(false);
            continue;
        }
        if (b->break_) place_row();
        row.push_back(b.get());
    }
    place_row();
    if (auto_size_) SetClientHeight(y);
    laying_out_ = false;
    Invalidate();
}

void TCoolBar::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    for (const auto& b : bands_.bands_) {
        if (!b->visible_) continue;
        TRect r = b->rect_;
        Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
        // The grip: two raised lines.
        for (int k = 0; k < 2; ++k) {
            const int x = b->rect_.Left + 3 + 3 * k;
            c.Pen().SetColor(clBtnHighlight);
            c.MoveTo(x, b->rect_.Top + 3);
            c.LineTo(x, b->rect_.Bottom - 3);
            c.Pen().SetColor(clBtnShadow);
            c.MoveTo(x + 1, b->rect_.Top + 3);
            c.LineTo(x + 1, b->rect_.Bottom - 3);
        }
        if (!b->text_.empty()) {
            c.Font().Assign(Font());
            c.Brush().SetStyle(bsClear);
            TRect t = Rect(b->rect_.Left + kGrip, b->rect_.Top, b->rect_.Left + b->header_width(), b->rect_.Bottom);
            c.DrawText(b->text_, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            c.Brush().SetStyle(bsSolid);
        }
    }
}

}  // namespace ui
