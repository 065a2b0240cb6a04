#pragma once
// Image lists: small pictures of one size (16 x 16 unless set), kept by index,
// that tree views, list views and buttons draw beside their texts. Each
// picture keeps which of its pixels are transparent.

#include <cstdint>
#include <vector>

#include "platform/ui/canvas.h"
#include "platform/ui/controls.h"

namespace ui {

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* owner);

    // A change of size drops the pictures.
    int Width() const { return width_; }
    void SetWidth(int w);
    int Height() const { return height_; }
    void SetHeight(int h);
    int Count() const { return static_cast<int>(images_.size()); }

    // Adds the picture (a picture wider than the list holds as many pictures
    // as fit side by side, left to right); pixels that are white in the mask
    // are transparent. Returns the index of the first picture added, -1 when
    // nothing fitted.
    int Add(const TBitmap& image, const TBitmap* mask = nullptr);
    // The same, with the pixels of one colour transparent.
    int AddMasked(const TBitmap& image, TColor mask_color);
    void Delete(int index);  // throws std::out_of_range
    void Clear();

    // Draws a picture with its top-left at (x, y); a disabled picture is
    // drawn sunk in the button shadow colour. An index outside the list
    // draws nothing.
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
    // The picture on a white background.
    void GetBitmap(int index, TBitmap& out) const;

    TNotifyEvent OnChange;

private:
    struct Image {
        std::vector<TColor> pixels;
        std::vector<bool> opaque;
    };
    int add(const TBitmap& image, const TBitmap* mask, bool by_colour, TColor colour);
    void changed();
    int width_ = 16;
    int height_ = 16;
    std::vector<Image> images_;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};

}  // namespace ui
