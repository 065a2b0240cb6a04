// The message box a real screen shows: a small dialog form with the text
// and its buttons, run modally like every other form.

#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

namespace ui {
namespace {

const char* button_caption(int id) {
    switch (id) {
        case IDOK: return "OK";
        case IDCANCEL: return "Отмена";
        case IDABORT: return "Прервать";
        case IDRETRY: return "Повторить";
        case IDIGNORE: return "Пропустить";
        case IDYES: return "Да";
        case IDNO: return "Нет";
        default: return "?";
    }
}

// What the close box (and Escape) answers.
int cancel_answer(const std::vector<int>& buttons) {
    for (int id : {IDCANCEL, IDNO, IDABORT})
        if (std::find(buttons.begin(), buttons.end(), id) != buttons.end()) return id;
    return buttons.size() == 1 ? buttons[0] : 0;
}

}  // namespace

int ShowMessageForm(const MessageBoxRequest& request) {
    std::vector<int> buttons = request.buttons;
    if (buttons.empty()) buttons = {IDOK};
    constexpr int kButtonWidth = 80, kButtonHeight = 25, kGap = 8, kMargin = 12;

    TForm form(nullptr);
    form.SetBorderStyle(bsDialog);
    form.SetBorderIcons({biSystemMenu});
    form.SetCaption(request.caption.empty() ? Application().Title() : request.caption);
    form.SetPosition(Application().MainForm() && Application().MainForm()->Visible() ? poMainFormCenter
                                                                                     : poScreenCenter);
    const int row = static_cast<int>(buttons.size()) * (kButtonWidth + kGap) - kGap;
    const int width = std::max(320, row + 2 * kMargin);

    auto* text = new TLabel(&form);
    text->SetParent(&form);
    text->SetWordWrap(true);
    text->SetBounds(kMargin, kMargin, width - 2 * kMargin, 16);
    text->SetCaption(request.text);  // the label takes the height of its lines

    const int top = text->Top() + text->Height() + 2 * kMargin;
    form.SetClientWidth(width);
    form.SetClientHeight(top + kButtonHeight + kMargin);
    const int cancel = cancel_answer(buttons);
    int x = (width - row) / 2;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* b = new TButton(&form);
        b->SetParent(&form);
        b->SetName("Button" + std::to_string(buttons[i]));
        b->SetCaption(button_caption(buttons[i]));
        b->SetModalResult(buttons[i]);
        b->SetBounds(x, top, kButtonWidth, kButtonHeight);
        if (static_cast<int>(i) == request.default_button) {
            b->SetDefault(true);
            form.SetActiveControl(b);
        }
        if (buttons[i] == cancel) b->SetCancel(true);
        x += kButtonWidth + kGap;
    }
    const int result = form.ShowModal();
    if (std::find(buttons.begin(), buttons.end(), result) != buttons.end()) return result;
    return cancel ? cancel : buttons[static_cast<std::size_t>(request.default_button)];
}

}  // namespace ui
