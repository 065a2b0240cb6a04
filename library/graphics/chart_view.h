#pragma once
// A window control showing a log chart sheet: it paints the sheet over its
// whole client area, hands the mouse to the sheet's hit areas (clicks,
// double clicks, presses, moves and releases, with the pointer shape of the
// area under it) and scrolls along the sheet's axis with the wheel.
//
// A live chart follows its newest data: after data_changed the view keeps
// the end of the axis in sight, until the operator scrolls away from it;
// scrolling back to the end follows again.

#include "library/graphics/planshet.h"
#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"

namespace lib::graphics {

class ChartView : public ui::TCustomControl {
public:
    explicit ChartView(ui::TComponent* owner);
    ~ChartView() override;

    Planshet& sheet() { return sheet_; }
    // The data grew (or changed): repaint, keeping the end in view while
    // following.
    void data_changed();
    bool following() const { return following_; }
    // Scrolls by pixels along the axis (positive: towards the end).
    void scroll_by(int pixels);

protected:
    void Paint() override;
    void Resized() override;
    void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
    void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
    void MouseMove(ui::TShiftState shift, int x, int y) override;
    void Click() override;
    void DblClick() override;
    bool WheelScroll(ui::TShiftState shift, int delta, ui::TPoint mouse_pos) override;

private:
    // The offset that shows the end of the data; false without data.
    bool end_offset(int& offset);
    Planshet sheet_;
    ui::TBitmap measure_{1, 1};
    bool following_ = true;
    ui::TPoint down_{-1, -1};
    ui::TPoint last_{0, 0};
};

}  // namespace lib::graphics
