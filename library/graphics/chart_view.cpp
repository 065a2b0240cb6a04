#include "library/graphics/chart_view.h"

#include <algorithm>

#include "platform/ui/canvas.h"

namespace lib::graphics {

ChartView::ChartView(ui::TComponent* owner) : ui::TCustomControl(owner) {
    SetColor(ui::clWhite);
    sheet_.set_double_buffered(true);
    sheet_.set_container(this);
    sheet_.on_invalidate = [this] { Invalidate(); };
    sheet_.on_invalidate_buffered = [this] { Invalidate(); };
}

ChartView::~ChartView() = default;

bool ChartView::end_offset(int& offset) {
    int position = 0, max = 0, page = 0;
    // Measured on a canvas of its own: the control's is bound only while it
    // paints. The header's height follows the columns' widths.
    sheet_.lay_out(ClientWidth());
    if (!sheet_.get_scroll_bar_values(position, max, page, &measure_.Canvas(), ClientRect())) return false;
    offset = std::max(0, max);
    return true;
}

void ChartView::data_changed() {
    int end = 0;
    if (following_ && end_offset(end)) sheet_.set_offset(end);
    Invalidate();
}

void ChartView::scroll_by(int pixels) {
    int end = 0;
    if (!end_offset(end)) return;
    const int offset = std::clamp(sheet_.get_offset() + pixels, 0, end);
    sheet_.set_offset(offset);
    following_ = offset >= end;
    Invalidate();
}

void ChartView::Paint() { sheet_.paint(&Canvas(), ui::clBtnFace, ClientWidth(), ClientHeight()); }

void ChartView::Resized() {
    ui::TCustomControl::Resized();
    data_changed();
}

void ChartView::MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
    ui::TCustomControl::MouseDown(button, shift, x, y);
    down_ = {x, y};
    sheet_.get_mouse_events().mouse_down({x, y}, button, shift);
}

void ChartView::MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) {
    ui::TCustomControl::MouseUp(button, shift, x, y);
    sheet_.get_mouse_events().mouse_up({x, y}, button, shift);
}

void ChartView::Click() {
    ui::TCustomControl::Click();
    // Where the press was: the second release of a double click is no click.
    sheet_.mouse_click(down_.x >= 0 ? down_ : last_);
}

void ChartView::MouseMove(ui::TShiftState shift, int x, int y) {
    ui::TCustomControl::MouseMove(shift, x, y);
    last_ = {x, y};
    sheet_.get_mouse_events().mouse_move({x, y}, shift);
    const auto area = sheet_.get_mouse_events().find({x, y});
    SetCursor(area ? area->get_cursor() : ui::crDefault);
}

void ChartView::DblClick() {
    ui::TCustomControl::DblClick();
    sheet_.mouse_dblclick(down_.x >= 0 ? down_ : last_);
}

bool ChartView::WheelScroll(ui::TShiftState, int delta, ui::TPoint) {
    // A notch is a centimetre of the sheet.
    const int notches = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
    scroll_by(-notches * static_cast<int>(sheet_.get_ppcm()));
    return true;
}

}  // namespace lib::graphics
