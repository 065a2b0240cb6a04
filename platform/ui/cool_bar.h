#pragma once
// The cool bar: bands side by side in rows, each with a grip, an optional
// text and one control. A band with Break starts a new row; the last band of
// a row stretches to the row's end. A band's Width is the width asked for it
// (at least MinWidth), which the stretching leaves as it is, so that the
// arrangement saved with the window state reads back the same. A hidden band
// hides its control. A control that is freed leaves its band.

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/forms.h"

namespace ui {

class TCoolBar;

class TCoolBand {
public:
    // The control shown on the band; the bar becomes its parent.
    TControl* Control() const { return control_; }
    void SetControl(TControl* control);
    bool Break() const { return break_; }
    void SetBreak(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    // A band without a width of its own takes its control's (with the grip)
    // when the control is set.
    int Width() const;
    void SetWidth(int w);
    int MinWidth() const { return min_width_; }
    void SetMinWidth(int w);
    const std::string& Text() const { return text_; }
    void SetText(std::string text);
    // The place among the bar's bands.
    int Index() const;
    void SetIndex(int index);
    // Where the band is shown, in the bar's client coordinates; empty while
    // hidden.
    TRect BandRect() const { return visible_ ? rect_ : TRect{}; }

private:
    friend class TCoolBar;
    friend class TCoolBands;
    explicit TCoolBand(TCoolBar* bar) : bar_(bar) {}
    int header_width() const;
    TCoolBar* bar_;
    TControl* control_ = nullptr;
    bool break_ = true;
    bool visible_ = true;
    int width_ = 0;  // 0: the control's
    int min_width_ = 0;
    int min_height_ = 25;
    std::string text_;
    TRect rect_;
};

class TCoolBands {
public:
    explicit TCoolBands(TCoolBar* bar) : bar_(bar) {}
    int Count() const { return static_cast<int>(bands_.size()); }
    TCoolBand* Items(int index) const;  // throws std::out_of_range
    TCoolBand* operator[](int index) const { return Items(index); }
    TCoolBand* Add();
    void Delete(int index);  // throws std::out_of_range
    void Clear();
    // The band that shows the control, or null.
    TCoolBand* FindBand(const TControl* control) const;

private:
    friend class TCoolBand;
    friend class TCoolBar;
    TCoolBar* bar_;
    std::vector<std::unique_ptr<TCoolBand>> bands_;
};

class TCoolBar : public TWinControl {
public:
    explicit TCoolBar(TComponent* owner);
    ~TCoolBar() override;

    TCoolBands& Bands() { return bands_; }
    const TCoolBands& Bands() const { return bands_; }
    // The bar's height follows its rows.
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);

protected:
    void Paint() override;
    void Resized() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TCoolBand;
    friend class TCoolBands;
    void layout();
    TCoolBands bands_{this};
    bool auto_size_ = false;
    bool laying_out_ = false;
};

}  // namespace ui
