#pragma once
// For the tests of the host's well windows, headless: the controls a
// scripted operator reaches in a modal window, the drill string the windows
// are shown with, and the operator's edit of it.

#include <gtest/gtest.h>

#include <string>

#include "gti/registr_old/InstrPipes/instr_items.h"
#include "gti/registr_old/InstrPipes/instr_options_frame.h"
#include "gti/registr_old/InstrPipes/testdata/instr_testing.h"
#include "platform/ui/display.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"
#include "platform/ui/test_driver.h"

namespace station_host::testing {

inline ui::HeadlessDisplay& headless() { return *ui::headless_display(); }

// The first component of the type the owner holds.
template <class T>
T* find(ui::TComponent& owner) {
    for (int i = 0; i < owner.ComponentCount(); ++i)
        if (auto* c = dynamic_cast<T*>(owner.Components(i))) return c;
    return nullptr;
}

inline ui::TButton* button(ui::TComponent& owner, const std::string& caption) {
    for (int i = 0; i < owner.ComponentCount(); ++i)
        if (auto* b = dynamic_cast<ui::TButton*>(owner.Components(i)); b && b->Caption() == caption) return b;
    return nullptr;
}

using instr::testing::put_short_string;
using instr::testing::short_string;

// The operator in the drill-string window: 42 typed over the stands'
// count, then OK or Cancel.
inline void type_stand_count(ui::TestDriver& drv, ui::TCustomForm& f, bool confirm) {
    auto* frame = find<TInstrOptionsFrame>(f);
    ASSERT_NE(frame, nullptr);
    auto* grid = frame->grdInstr;
    const ui::TRect rc = grid->CellRect(1, 2);
    drv.Click(*grid, {(rc.Left + rc.Right) / 2, (rc.Top + rc.Bottom) / 2});
    drv.Type("42");
    auto* b = button(f, confirm ? "OK" : "Отмена");
    ASSERT_NE(b, nullptr);
    drv.Click(*b);
}

}  // namespace station_host::testing
