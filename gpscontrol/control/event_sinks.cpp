#include "control/event_sinks.h"

#include <algorithm>
#include <memory>

namespace sorvane {

std::uint32_t EventSinks::Connect(EventHandler handler) {
    auto shared = std::make_shared<const EventHandler>(std::move(handler));
    std::lock_guard lock(mutex_);
    std::uint32_t cookie = nextCookie_++;
    if (cookie == 0)
        cookie = nextCookie_++;
    sinks_.push_back({cookie, std::move(shared)});
    return cookie;
}

void EventSinks::WaitForOtherThreads(std::unique_lock<std::mutex>& lock) {
    // Waiting for this thread's own Fire would never end; a handler that
    // disconnects itself just is not called again.
    const auto self = std::this_thread::get_id();
    idle_.wait(lock, [&] {
        return std::all_of(firing_.begin(), firing_.end(),
                           [&](std::thread::id id) { return id == self; });
    });
}

bool EventSinks::Disconnect(std::uint32_t cookie) {
    std::unique_lock lock(mutex_);
    const auto it = std::find_if(sinks_.begin(), sinks_.end(),
                                 [&](const Sink& s) { return s.cookie == cookie; });
    if (it == sinks_.end())
        return false;
    sinks_.erase(it);
    WaitForOtherThreads(lock);
    return true;
}

void EventSinks::DisconnectAll() {
    std::unique_lock lock(mutex_);
    sinks_.clear();
    WaitForOtherThreads(lock);
}

std::size_t EventSinks::Count() const {
    std::lock_guard lock(mutex_);
    return sinks_.size();
}

void EventSinks::Fire(std::int32_t dispid, std::span<const Variant> args) {
    std::vector<Sink> sinks;
    {
        std::lock_guard lock(mutex_);
        if (sinks_.empty())
            return;
        sinks = sinks_;
        firing_.push_back(std::this_thread::get_id());
    }
    // Leaves the round even when a handler throws, so that Disconnect cannot hang.
    struct RoundEnd {
        EventSinks* self;
        ~RoundEnd() {
            {
                std::lock_guard lock(self->mutex_);
                self->firing_.erase(std::find(self->firing_.begin(), self->firing_.end(),
                                              std::this_thread::get_id()));
            }
            self->idle_.notify_all();
        }
    } end{this};
    for (const Sink& s : sinks) {
        // Skip a sink disconnected by an earlier handler of this round.
        {
            std::lock_guard lock(mutex_);
            const bool connected = std::any_of(sinks_.begin(), sinks_.end(),
                                               [&](const Sink& c) { return c.cookie == s.cookie; });
            if (!connected)
                continue;
        }
        (*s.handler)(dispid, args);
    }
}

}  // namespace sorvane
