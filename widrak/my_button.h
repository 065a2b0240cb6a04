#pragma once
// The station's push button: a face drawn as a gradient tinted by a hue,
// square or rounded, lighter under the mouse and sunk while pressed, with an
// optional picture beside or above the caption, default and cancel keys and
// a modal result for its form.
//
// The rounded button keeps the shape of a rounded window: the pixels outside
// its rounded outline are left to whatever lies under it.

#include <string>

#include "platform/ui/img_list.h"
#include "widrak/my_win_base.h"
#include "widrak/myfunctions.h"

namespace widrak {

enum TMyButtonTypes { mbtSimple, mbtRoundRect };
enum TMyButtonModalResults { mbmrNone, mbmrOk, mbmrCancel, mbmrAbort, mbmrRetry, mbmrIgnore, mbmrYes, mbmrNo, mbmrAll };

class TMyButton : public TMyWinBase {
public:
    explicit TMyButton(ui::TComponent* owner);
    ~TMyButton() override;

    // Kept only: the caption is always centred.
    ui::TAlignment Alignment() const { return alignment_; }
    void SetAlignment(ui::TAlignment a);
    TMyButtonGradientTypes GradientType() const { return gradient_type_; }
    void SetGradientType(TMyButtonGradientTypes t);
    TColor GradientColor1() const { return gradient_color1_; }
    void SetGradientColor1(TColor c);
    TColor GradientColor2() const { return gradient_color2_; }
    void SetGradientColor2(TColor c);
    bool TextShadow() const { return text_shadow_; }
    void SetTextShadow(bool v);
    TColor TextShadowColor() const { return text_shadow_color_; }
    void SetTextShadowColor(TColor c);
    bool BorderFrame() const { return border_frame_; }
    void SetBorderFrame(bool v);
    bool AutoBorderColor() const { return auto_border_color_; }
    void SetAutoBorderColor(bool v);
    TColor BorderColor() const { return border_color_; }
    void SetBorderColor(TColor c);
    // Switching on first derives both gradient colours from Color.
    bool AutoGradientColors() const { return auto_gradient_colors_; }
    void SetAutoGradientColors(bool v);
    TMyButtonTypes Type() const { return type_; }
    void SetType(TMyButtonTypes t);
    int BorderWidth() const { return border_width_; }
    void SetBorderWidth(int w);
    TMyButtonModalResults ModalResult() const { return modal_result_; }
    void SetModalResult(TMyButtonModalResults r) { modal_result_ = r; }
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v);
    TColor DefaultColor() const { return default_color_; }
    void SetDefaultColor(TColor c);
    // clNone: the outline takes Color.
    TColor FrameColor() const { return frame_color_; }
    void SetFrameColor(TColor c);
    ui::TCustomImageList* Images() const { return images_; }
    void SetImages(ui::TCustomImageList* images);
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int index);
    // Where the caption stands against the picture: alBottom (under it) or
    // alRight (beside it); other values let the caption fill the button.
    ui::TAlign TextAlign() const { return text_align_; }
    void SetTextAlign(ui::TAlign a);

    bool Pressed() const { return pressed_; }
    bool Hover() const { return hover_; }
    // The space kept between the border and the caption: 1 pixel on screens
    // of up to 100 pixels per inch, else 3.
    int InnerMargin() const { return inner_margin_; }
    // Whether the client point belongs to the button's window shape.
    bool InRegion(int x, int y) const;

    void Click() override;
    void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
    void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    bool WantsKey(ui::TKey key, ui::TShiftState shift) const override;
    bool DialogKey(ui::TKey key) override;

protected:
    void Paint() override;
    void DoKeyDown(ui::TKey& key, ui::TShiftState shift) override;
    void DoEnter() override;
    void DoExit() override;
    void EnabledChanged() override;
    void Notification(ui::TComponent* component, ui::TOperation operation) override;

private:
    void paint_on(ui::TCanvas& c);
    void draw_caption(ui::TCanvas& c, TColor color, int offset);
    void draw_border(ui::TCanvas& c);
    bool has_image() const;
    bool focus_in_form_buttons() const;

    ui::TAlignment alignment_ = ui::taCenter;
    TMyButtonGradientTypes gradient_type_ = mbgtDiagonal1;
    TColor gradient_color1_ = ui::clWhite;
    TColor gradient_color2_ = ui::clGray;
    bool text_shadow_ = false;
    TColor text_shadow_color_ = ui::clGray;
    bool border_frame_ = true;
    bool auto_border_color_ = true;
    TColor border_color_ = ui::clGray;
    bool auto_gradient_colors_ = true;
    TMyButtonTypes type_ = mbtRoundRect;
    int border_width_ = 2;
    TMyButtonModalResults modal_result_ = mbmrNone;
    bool default_ = false;
    bool cancel_ = false;
    TColor default_color_ = ui::clLime;
    TColor frame_color_ = ui::clWindowFrame;
    ui::TCustomImageList* images_ = nullptr;
    int image_index_ = -1;
    ui::TAlign text_align_ = ui::alBottom;

    bool pressed_ = false;
    bool hover_ = false;
    TColor outline_ = ui::clWindowFrame;
    int inner_margin_ = 1;
};

}  // namespace widrak
