#pragma once
// A grid that an object of the hub edits or fills but does not own. The
// binding forgets the grid the moment the grid is freed (its window closed),
// so the object never reaches a dead grid; and it is never copied with the
// object, so a copy of a construction or of a log is bound to nothing.

#include <algorithm>
#include <memory>
#include <utility>

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

// A grid event's handler that calls a member function of its object and can
// be told apart from another object's: an object letting a grid go clears
// only the events that still call it, not those a newer editor of the same
// grid has set since.
//
//   reg::set_handler<&Log::on_draw>(grid->OnGetDrawParams, this);
//   reg::release_handler<&Log::on_draw>(grid->OnGetDrawParams, this);
template <class Owner, auto Method>
struct MemberHandler {
    Owner* owner;
    template <class... Args>
    void operator()(Args&&... args) const {
        (owner->*Method)(std::forward<Args>(args)...);
    }
};

template <auto Method, class Owner, class Event>
void set_handler(Event& event, Owner* owner) {
    event = MemberHandler<Owner, Method>{owner};
}

// True when the event was the owner's and is now empty.
template <auto Method, class Owner, class Event>
bool release_handler(Event& event, Owner* owner) {
    const auto* handler = event.template target<MemberHandler<Owner, Method>>();
    if (!handler || handler->owner != owner) return false;
    event = nullptr;
    return true;
}

}  // namespace reg
