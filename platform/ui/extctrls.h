#pragma once
// Further controls: the flat speed button, scroll bar, track bar, progress
// bar, paint box, image, splitter, and date and time pickers.

#include <functional>
#include <memory>

#include "platform/rtl/datetime.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

namespace ui {

class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* owner);
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    // Buttons of one group index (not 0) on one parent stay down one at a time.
    void SetGroupIndex(int v) { group_index_ = v; }
    bool Down() const { return down_; }
    void SetDown(bool v);
    // The picture; its bottom-left pixel's colour is transparent.
    TBitmap& Glyph() { return glyph_; }
    void Click() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;

protected:
    void Paint() override;

private:
    bool flat_ = false;
    int group_index_ = 0;
    bool down_ = false;
    bool allow_all_up_ = false;
    bool pressed_ = false;
    TBitmap glyph_;
};

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

// Position changes by code or by the user fire OnChange; the user's also
// fire OnScroll first, which may change the position it goes to.
class TScrollBar : public TWinControl {
public:
    explicit TScrollBar(TComponent* owner);
    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind k);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    int PageSize() const { return page_size_; }
    void SetMin(int v) { SetParams(position_, v, max_); }
    void SetMax(int v) { SetParams(position_, min_, v); }
    void SetPosition(int v) { SetParams(v, min_, max_); }
    void SetPageSize(int v);
    void SetParams(int position, int min, int max);
    void SetLargeChange(int v) { large_change_ = v; }
    // The highest position the thumb reaches (Max - PageSize + 1 with a page).
    int MaxPosition() const;
    // A scroll as the user makes it.
    void Scroll(TScrollCode code, int track_position = 0);

    TNotifyEvent OnChange;
    TScrollEvent OnScroll;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;

private:
    int length() const { return kind_ == sbHorizontal ? Width() : Height(); }
    int thickness() const { return kind_ == sbHorizontal ? Height() : Width(); }
    void thumb(int& start, int& size) const;
    TScrollBarKind kind_ = sbHorizontal;
    int min_ = 0, max_ = 100, position_ = 0, page_size_ = 0, small_change_ = 1, large_change_ = 1;
    int drag_offset_ = -1;
};

enum TTrackBarOrientation { trHorizontal, trVertical };

// OnChange fires on the user's changes.
class TTrackBar : public TWinControl {
public:
    explicit TTrackBar(TComponent* owner);
    int Min() const { return min_; }
    void SetMin(int v);
    int Max() const { return max_; }
    void SetMax(int v);
    int Position() const { return position_; }
    void SetPosition(int v);
    int PageSize() const { return page_size_; }
    void SetPageSize(int v) { page_size_ = v; }
    TTrackBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TTrackBarOrientation o);
    TNotifyEvent OnChange;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;

private:
    void user_set(int v);
    int channel_start() const { return 12; }
    int channel_length() const;
    int pos_to_pixel(int pos) const;
    int pixel_to_pos(int pixel) const;
    int min_ = 0, max_ = 10, position_ = 0, frequency_ = 1, line_size_ = 1, page_size_ = 2;
    TTrackBarOrientation orientation_ = trHorizontal;
    bool dragging_ = false;
};

enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);
    int Min() const { return min_; }
    void SetMin(int v);
    int Max() const { return max_; }
    void SetMax(int v);
    int Position() const { return position_; }
    void SetPosition(int v);  // kept within Min .. Max
    void SetSmooth(bool v);
    TProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TProgressBarOrientation o);

protected:
    TRect ClientInsets() const override { return {1, 1, 1, 1}; }
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;

private:
    int min_ = 0, max_ = 100, position_ = 0;
    bool smooth_ = false;
    TProgressBarOrientation orientation_ = pbHorizontal;
};

class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* owner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner);
    // The picture; after drawing on it, Invalidate the image.
    TBitmap& Picture() { return picture_; }
    void LoadFromFile(const std::string& png_path);
    void SetStretch(bool v);
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);
    TFont* PublishedFont() override { return nullptr; }

protected:
    void Paint() override;

private:
    TBitmap picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool auto_size_ = false;
};

using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// Dragging the splitter resizes the control it lies against (the one on its
// left for alLeft, above it for alTop, ...), keeping MinSize for both sides.
class TSplitter : public TGraphicControl {
public:
    explicit TSplitter(TComponent* owner);
    void SetBeveled(bool v);
    TNotifyEvent OnMoved;
    TCanResizeEvent OnCanResize;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    TFont* PublishedFont() override { return nullptr; }

protected:
    void Paint() override;

private:
    TControl* find_control() const;
    int min_size_ = 30;
    bool beveled_ = false;
    TControl* target_ = nullptr;
    TPoint down_at_;
    int start_size_ = 0;
};

enum TDateTimeKind { dtkDate, dtkTime };

// Shows the date or the time in the short date and long time formats of
// rtl::FormatSettings, or in its own
// Format (a FormatDateTime pattern, e.g. "HH:mm"); Up and Down change the
// part under the cursor (Left and Right move it among the parts shown) and
// fire OnChange.
class TDateTimePicker : public TWinControl {
public:
    explicit TDateTimePicker(TComponent* owner);
    TDateTimeKind Kind() const { return kind_; }
    void SetKind(TDateTimeKind k);
    void SetDateTime(rtl::TDateTime v);
    rtl::TDateTime Date() const;
    void SetDate(rtl::TDateTime v);
    rtl::TDateTime Time() const;
    void SetTime(rtl::TDateTime v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    // Empty: the kind's format from rtl::FormatSettings.
    void SetFormat(std::string format);
    // The text shown.
    std::string DisplayText() const;
    // 0 day / hour, 1 month / minute, 2 year / second.
    int Field() const { return field_; }
    TNotifyEvent OnChange;

    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
    TRect ClientInsets() const override { return {2, 2, 2, 2}; }
    void PaintFrame(TCanvas& canvas) override;
    void Paint() override;
    void DoKeyDown(TKey& key, TShiftState shift) override;
    void AdjustSize() override;

private:
    void step(int delta);
    // How many parts the text shows (at most 3).
    int field_count() const;
    TDateTimeKind kind_ = dtkDate;
    rtl::TDateTime value_ = 0;
    rtl::TDateTime min_date_ = 0, max_date_ = 0;
    bool show_checkbox_ = false;
    bool checked_ = true;
    std::string format_;
    int field_ = 0;
};

}  // namespace ui
