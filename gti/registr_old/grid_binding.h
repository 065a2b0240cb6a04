#pragma once
// A grid that an object of the hub edits or fills but does not own. The
// binding forgets the grid the moment the grid is freed (its window closed),
// so the object never reaches a dead grid; and it is never copied with the
// object, so a copy of a construction or of a log is bound to nothing.

#include <algorithm>
#include <memory>

#include "platform/ui/controls.h"

namespace reg {

template <class Grid>
class GridBinding {
public:
    GridBinding() = default;
    ~GridBinding() { reset(); }
    GridBinding(const GridBinding&) {}
    GridBinding& operator=(const GridBinding&) { return *this; }

    Grid* get() const { return watcher_ ? watcher_->grid : nullptr; }
    explicit operator bool() const { return get() != nullptr; }

    // Binds the grid (null: none); the grid bound before is let go.
    void bind(Grid* grid) {
        reset();
        if (!grid) return;
        watcher_ = std::make_unique<Watcher>();
        watcher_->grid = grid;
        grid->FreeNotification(watcher_.get());
    }
    void reset() {
        if (!watcher_) return;
        if (watcher_->grid) watcher_->grid->RemoveFreeNotification(watcher_.get());
        watcher_.reset();
    }

private:
    struct Watcher : ui::TComponent {
        Watcher() : ui::TComponent(nullptr) {}
        Grid* grid = nullptr;

    protected:
        void Notification(ui::TComponent* component, ui::TOperation operation) override {
            if (operation == ui::opRemove && component == grid) grid = nullptr;
        }
    };
    std::unique_ptr<Watcher> watcher_;
};

}  // namespace reg
