#pragma once
// An edit that shows its border only while the pointer is over it.

#include "platform/ui/edits.h"

namespace widrak {

class TMyEdit : public ui::TEdit {
public:
    explicit TMyEdit(ui::TComponent* owner);
    void MouseEnter() override;
    void MouseLeave() override;
};

}  // namespace widrak
