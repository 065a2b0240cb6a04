#pragma once
// A value display: the value as text (with a shadow), or a bar from the left
// edge that turns to the alarm colour at and beyond the alarm value, with a
// line marking the alarm value. A bar's number is drawn in the font's colour
// over the unlit part and in black or white, whichever reads, over the bar.

#include <string>

#include "platform/ui/extctrls.h"
#include "widrak/myfunctions.h"

namespace widrak {

enum TIndicatorType { itValue, itHLine };

class TIndicator : public ui::TPaintBox {
public:
    explicit TIndicator(ui::TComponent* owner);

    TIndicatorType IndicatorType() const { return indicator_type_; }
    void SetIndicatorType(TIndicatorType t);
    int FrameWidth() const { return frame_width_; }
    void SetFrameWidth(int w);
    // The text shown; setting it repaints at once.
    const std::string& Caption() const { return TPaintBox::Caption(); }
    void SetCaption(const std::string& text) { set_caption(text); }
    void set_caption(const std::string& text);
    bool TextShadow() const { return text_shadow_; }
    void SetTextShadow(bool v);
    TColor IndicatorColor() const { return indicator_color_; }
    void SetIndicatorColor(TColor c);
    TColor AlarmColor() const { return alarm_color_; }
    void SetAlarmColor(TColor c);
    // Digits after the decimal point of the shown value.
    int DigNum() const { return dig_num_; }
    void SetDigNum(int n) { set_dig_num(n); }
    void set_dig_num(int n);
    long double AlarmValue() const { return alarm_value_; }
    void SetAlarmValue(long double v) { alarm_value_ = v; }
    long double ValueLeft() const { return value_left_; }
    void SetValueLeft(long double v) { set_left(v); }
    void set_left(long double v);
    long double ValueRight() const { return value_right_; }
    void SetValueRight(long double v) { set_right(v); }
    void set_right(long double v);
    long double Value() const { return value_; }
    // A change of less than 1e-7 is no change; otherwise the caption shows
    // the value and the indicator repaints at once.
    void SetValue(long double v) { set_value(v); }
    void set_value(long double v);

    // The bar's right end and the alarm line's x for the present values (the
    // bar only exists while the range is positive); for tests and owners that
    // place marks beside the indicator.
    int bar_end() const;
    int alarm_x() const;

protected:
    void Paint() override;

private:
    void draw(ui::TCanvas& c);
    void draw_value_indicator(ui::TCanvas& c, TColor ink);
    void draw_hor_line_indicator(ui::TCanvas& c);
    void repaint_off_screen();
    std::string format_value() const;
    int x_of(long double v) const;

    TIndicatorType indicator_type_ = itValue;
    int frame_width_ = 1;
    bool text_shadow_ = true;
    TColor indicator_color_ = 0xFFFFFF;
    TColor alarm_color_ = 0x0000FF;
    int dig_num_ = 1;
    long double alarm_value_ = 100000;
    long double value_left_ = 0;
    long double value_right_ = 10;
    long double value_ = 5;
    bool off_screen_ = false;
};

}  // namespace widrak
