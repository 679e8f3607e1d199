#include "VirtualClock.h"

namespace cvi::sim {

std::uint64_t VirtualClock::at(double t, std::function<void()> fn) {
    const std::uint64_t handle = nextHandle_++;
    if (t < now_) t = now_;
    queue_.emplace(std::make_pair(t, handle), std::move(fn));
    times_.emplace(handle, t);
    return handle;
}

void VirtualClock::cancel(std::uint64_t handle) {
    const auto it = times_.find(handle);
    if (it == times_.end()) return;
    queue_.erase(std::make_pair(it->second, handle));
    times_.erase(it);
}

std::optional<double> VirtualClock::nextDue() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.begin()->first.first;
}

void VirtualClock::advanceTo(double t) {
    while (!queue_.empty() && queue_.begin()->first.first <= t) {
        auto node = queue_.extract(queue_.begin());
        times_.erase(node.key().second);
        if (node.key().first > now_) now_ = node.key().first;
        node.mapped()();
    }
    if (t > now_) now_ = t;
}

} // namespace cvi::sim
