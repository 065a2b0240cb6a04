#pragma once
// The timer component: OnTimer every Interval milliseconds on the main
// queue while Enabled.

#include "platform/ui/controls.h"

namespace ui {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    // At least 1 ms; 0 stops the timer as Enabled = false does.
    int Interval() const { return interval_; }
    void SetInterval(int ms);
    // Runs at each tick when set (it may be set at any time).
    TNotifyEvent OnTimer;
    bool SetBoolProperty(std::string_view name, bool value) override;

private:
    void update();
    bool enabled_ = true;
    int interval_ = 1000;
    int timer_id_ = 0;
};

}  // namespace ui
