#pragma once
// A list of named colours: each line is a name (in double quotes when it
// holds blanks) and a colour text ("clRed", "$00FF8000"); each item is drawn
// as a swatch of its colour followed by its name.

#include <string>

#include "platform/ui/lists.h"
#include "widrak/myfunctions.h"

namespace widrak {

class TMyColorListBox : public ui::TListBox {
public:
    explicit TMyColorListBox(ui::TComponent* owner);

    // Word 0 (the name) or 1 (the colour text) of a line; empty when there is
    // no such word.
    static std::string get_word(const std::string& line, int number);

    // clNone for an index outside the items or a colour text that is no
    // colour; black when the line has no colour word.
    TColor GetColors(int index) const;
    // Rewrites the line as the quoted name, a blank and the colour's text.
    void SetColors(int index, TColor color);
    TColor Colors(int index) const { return GetColors(index); }

protected:
    virtual void DrawItem(int index, const ui::TRect& rect, ui::TOwnerDrawState state);
};

}  // namespace widrak
