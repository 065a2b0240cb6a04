#include "platform/os/fault_plan.h"

#include <cerrno>

namespace os {

namespace {

std::atomic<FaultPlan*> installed{nullptr};

bool lies_under(std::string_view path, std::string_view prefix) {
    return prefix.empty() || path.substr(0, prefix.size()) == prefix;
}

}  // namespace

void FaultPlan::add(DiskFault fault) {
    std::lock_guard<std::mutex> hold(mutex_);
    faults_.push_back(Entry{std::move(fault), 0});
}

void FaultPlan::clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    faults_.clear();
}

int FaultPlan::calls(DiskOp op) const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_[static_cast<int>(op)];
}

int FaultPlan::failed() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return failed_;
}

int FaultPlan::check(DiskOp op, std::string_view path) {
    std::lock_guard<std::mutex> hold(mutex_);
    ++calls_[static_cast<int>(op)];
    int error = 0;
    // Every matching fault counts the call, so two faults of one kind keep
    // their own places in the sequence.
    for (auto& e : faults_) {
        if (e.fault.op != op || !lies_under(path, e.fault.under)) continue;
        ++e.seen;
        bool hit = e.fault.lasting ? e.seen >= e.fault.nth : e.seen == e.fault.nth;
        if (hit && error == 0) error = e.fault.error;
    }
    if (error != 0) ++failed_;
    return error;
}

ScopedFaultPlan::ScopedFaultPlan(FaultPlan& plan) : previous_(installed.exchange(&plan)) {}

ScopedFaultPlan::~ScopedFaultPlan() { installed.store(previous_); }

int planned_fault(DiskOp op, std::string_view path) {
    FaultPlan* plan = installed.load(std::memory_order_acquire);
    if (plan == nullptr) return 0;
    int err = plan->check(op, path);
    if (err != 0) errno = err;
    return err;
}

}  // namespace os
