#include "widrak/my_color_list_box.h"

#include <vector>

#include "platform/rtl/text.h"

namespace widrak {

using namespace ui;

TMyColorListBox::TMyColorListBox(TComponent* owner) : TListBox(owner) {
    SetStyle(lbOwnerDrawFixed);
    OnDrawItem = [this](TWinControl*, int index, const TRect& rect, TOwnerDrawState state) {
        DrawItem(index, rect, state);
    };
}

std::string TMyColorListBox::get_word(const std::string& line, int number) {
    // The last line split is kept: a caller asks for the name and then for
    // the colour of the same line.
    static std::string cached_line;
    static std::vector<std::string> cached_words;
    static bool cached = false;
    if (!cached || line != cached_line) {
        cached_words.clear();
        std::string rest = line;
        for (;;) {
            rest = rtl::Trim(rest);
            if (rest.empty()) break;
            std::string word;
            if (rest[0] == '"') {
                const auto end = rest.find('"', 1);
                if (end == std::string::npos) {
                    word = rest.substr(1);
                    rest.clear();
                } else {
                    word = rest.substr(1, end - 1);
                    rest.erase(0, end + 1);
                }
            } else {
                const auto end = rest.find(' ');
                if (end == std::string::npos) {
                    word = rest;
                    rest.clear();
                } else {
                    word = rest.substr(0, end);
                    rest.erase(0, end + 1);
                }
            }
            cached_words.push_back(std::move(word));
        }
        cached_line = line;
        cached = true;
    }
    if (number < 0 || number >= static_cast<int>(cached_words.size())) return {};
    return cached_words[static_cast<std::size_t>(number)];
}

TColor TMyColorListBox::GetColors(int index) const {
    if (index < 0 || index >= Count()) return clNone;
    const std::string word = get_word(const_cast<TMyColorListBox*>(this)->Items()[index], 1);
    if (word.empty()) return clBlack;
    TColor colour = clNone;
    if (!rtl::TryStringToColor(word, colour)) return clNone;
    return colour;
}

void TMyColorListBox::SetColors(int index, TColor color) {
    if (index < 0 || index >= Count()) return;
    const std::string name = get_word(Items()[index], 0);
    Items().SetStrings(index, "\"" + name + "\" " + rtl::ColorToString(color));
    Invalidate();
}

void TMyColorListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState) {
    TCanvas& c = Canvas();
    c.FillRect(rect);
    const TColor brush = c.Brush().Color();
    const int ih = ItemHeight();
    c.Brush().SetColor(GetColors(index));
    c.Rectangle(rect.Left + 1, rect.Top + 1, rect.Left + 2 * ih - 1, rect.Bottom - 1);
    c.Brush().SetColor(brush);
    const std::string name = get_word(Items()[index], 0);
    c.TextOut(rect.Left + 2 * ih + 2, (rect.Top + rect.Bottom - c.TextHeight(name)) / 2, name);
}

}  // namespace widrak
