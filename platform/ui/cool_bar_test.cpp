#include "platform/ui/cool_bar.h"

#include <gtest/gtest.h>

#include "platform/ui/stdctrls.h"
#include "platform/ui/testdata/pinned_fonts.h"

namespace ui {
namespace {

TEST(CoolBar, BandsLineUpInRowsAndKeepTheirWidths) {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 500, 200);
    auto* bar = new TCoolBar(form.get());
    bar->SetParent(form.get());
    bar->SetAlign(alTop);
    bar->SetAutoSize(true);
    std::vector<TPanel*> panels;
    for (const char* name : {"A", "B", "C"}) {
        auto* p = new TPanel(form.get());
        p->SetName(name);
        p->SetBounds(0, 0, 100, 22);
        panels.push_back(p);
        bar->Bands().Add()->SetControl(p);
    }
    // Every band breaks by default: three rows.
    EXPECT_EQ(bar->ClientHeight(), 3 * (25 + 4));
    EXPECT_EQ(panels[1]->Parent(), bar);
    for (int i = 0; i < 3; ++i) bar->Bands()[i]->SetBreak(i == 0);
    EXPECT_EQ(bar->ClientHeight(), 25 + 4);
    TCoolBand* b = bar->Bands()[1];
    b->SetWidth(150);
    EXPECT_EQ(b->Width(), 150);
    EXPECT_EQ(b->BandRect().Left, bar->Bands()[0]->Width());
    EXPECT_EQ(panels[1]->Left(), b->BandRect().Left + 10);
    // The last band of the row stretches; its own width stays.
    TCoolBand* last = bar->Bands()[2];
    EXPECT_EQ(last->BandRect().Right, bar->ClientWidth());
    EXPECT_EQ(last->Width(), 10 + 100 + 4);
    b->SetMinWidth(200);
    EXPECT_EQ(b->Width(), 200);
    // Moving and hiding.
    last->SetIndex(0);
    EXPECT_EQ(bar->Bands()[0]->Control(), panels[2]);
    EXPECT_EQ(last->Index(), 0);
    b->SetVisible(false);
    EXPECT_FALSE(panels[1]->Visible());
    EXPECT_TRUE(b->BandRect().IsEmpty());
    b->SetVisible(true);
    EXPECT_TRUE(panels[1]->Visible());
    EXPECT_EQ(bar->Bands().FindBand(panels[0]), bar->Bands()[1]);
    // A freed control leaves its band.
    delete panels[0];
    EXPECT_EQ(bar->Bands()[1]->Control(), nullptr);
    EXPECT_THROW(bar->Bands()[3], std::out_of_range);
    bar->Bands().Delete(1);
    EXPECT_EQ(bar->Bands().Count(), 2);
    form->Picture();
}

}  // namespace
}  // namespace ui
