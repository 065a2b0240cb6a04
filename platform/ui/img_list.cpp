#include "platform/ui/img_list.h"

#include <algorithm>
#include <stdexcept>

namespace ui {

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

void TCustomImageList::SetWidth(int w) {
    w = std::max(1, w);
    if (w == width_) return;
    width_ = w;
    images_.clear();
    changed();
}

void TCustomImageList::SetHeight(int h) {
    h = std::max(1, h);
    if (h == height_) return;
    height_ = h;
    images_.clear();
    changed();
}

void TCustomImageList::changed() {
    if (OnChange) OnChange(this);
}

int TCustomImageList::add(const TBitmap& image, const TBitmap* mask, bool by_colour, TColor colour) {
    const int n = image.Width() / width_;
    if (n == 0 || image.Height() < height_) return -1;
    const TColor key = ColorToRGB(colour);
    const int first = Count();
    for (int k = 0; k < n; ++k) {
        Image im;
        im.pixels.resize(static_cast<std::size_t>(width_ * height_));
        im.opaque.resize(im.pixels.size());
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const std::size_t i = static_cast<std::size_t>(y * width_ + x);
                const TColor p = image.Pixel(k * width_ + x, y);
                im.pixels[i] = p;
                if (by_colour)
                    im.opaque[i] = p != key;
                else
                    im.opaque[i] = !mask || mask->Pixel(k * width_ + x, y) != clWhite;
            }
        images_.push_back(std::move(im));
    }
    changed();
    return first;
}

int TCustomImageList::Add(const TBitmap& image, const TBitmap* mask) { return add(image, mask, false, clNone); }

int TCustomImageList::AddMasked(const TBitmap& image, TColor mask_color) {
    return add(image, nullptr, true, mask_color);
}

void TCustomImageList::Delete(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("TCustomImageList::Delete: index " + std::to_string(index) + " out of range");
    images_.erase(images_.begin() + index);
    changed();
}

void TCustomImageList::Clear() {
    images_.clear();
    changed();
}

void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const {
    if (index < 0 || index >= Count()) return;
    const Image& im = images_[static_cast<std::size_t>(index)];
    auto each = [&](auto&& plot) {
        for (int py = 0; py < height_; ++py)
            for (int px = 0; px < width_; ++px) {
                const std::size_t i = static_cast<std::size_t>(py * width_ + px);
                if (im.opaque[i]) plot(px, py, im.pixels[i]);
            }
    };
    if (enabled) {
        each([&](int px, int py, TColor c) { canvas.SetPixel(x + px, y + py, c); });
        return;
    }
    // Disabled: the shape in the shadow colour over its highlight, one pixel
    // down and right.
    const TColor light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
    each([&](int px, int py, TColor) { canvas.SetPixel(x + px + 1, y + py + 1, light); });
    each([&](int px, int py, TColor) { canvas.SetPixel(x + px, y + py, dark); });
}

void TCustomImageList::GetBitmap(int index, TBitmap& out) const {
    out.SetSize(width_, height_);
    out.Canvas().Brush().SetColor(clWhite);
    out.Canvas().FillRect(Rect(0, 0, width_, height_));
    Draw(out.Canvas(), 0, 0, index, true);
}

}  // namespace ui
