#pragma once
// The sinks connected to one control. Events may be raised on any thread (the
// NMEA receiver has its own); a sink may disconnect itself, or call back into
// the control, from inside its handler.

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "control/variant.h"

namespace sorvane {

// Sinks whose handlers take Args.
template <class... Args>
class EventSinksOf {
  public:
    using Handler = std::function<void(Args...)>;

    EventSinksOf() = default;
    EventSinksOf(const EventSinksOf&) = delete;
    EventSinksOf& operator=(const EventSinksOf&) = delete;

    // A cookie for Disconnect, never 0.
    std::uint32_t Connect(Handler handler) {
        auto shared = std::make_shared<const Handler>(std::move(handler));
        std::lock_guard lock(mutex_);
        std::uint32_t cookie = nextCookie_++;
        if (cookie == 0)
            cookie = nextCookie_++;
        sinks_.push_back({cookie, std::move(shared)});
        return cookie;
    }

    // False for an unknown cookie. Once it returns, the handler is not running
    // on another thread and will not be called again.
    bool Disconnect(std::uint32_t cookie) {
        std::unique_lock lock(mutex_);
        const auto it = std::find_if(sinks_.begin(), sinks_.end(),
                                     [&](const Sink& s) { return s.cookie == cookie; });
        if (it == sinks_.end())
            return false;
        sinks_.erase(it);
        WaitForOtherThreads(lock);
        return true;
    }

    void DisconnectAll() {
        std::unique_lock lock(mutex_);
        sinks_.clear();
        WaitForOtherThreads(lock);
    }

    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return sinks_.size();
    }

    // Calls every connected handler in connection order, on this thread.
    void Fire(Args... args) {
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
            EventSinksOf* self;
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
                const bool connected =
                    std::any_of(sinks_.begin(), sinks_.end(),
                                [&](const Sink& c) { return c.cookie == s.cookie; });
                if (!connected)
                    continue;
            }
            (*s.handler)(args...);
        }
    }

  private:
    struct Sink {
        std::uint32_t cookie;
        std::shared_ptr<const Handler> handler;
    };

    void WaitForOtherThreads(std::unique_lock<std::mutex>& lock) {
        // Waiting for this thread's own Fire would never end; a handler that
        // disconnects itself just is not called again.
        const auto self = std::this_thread::get_id();
        idle_.wait(lock, [&] {
            return std::all_of(firing_.begin(), firing_.end(),
                               [&](std::thread::id id) { return id == self; });
        });
    }

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<Sink> sinks_;
    std::vector<std::thread::id> firing_;  // one entry per Fire in progress
    std::uint32_t nextCookie_ = 1;
};

// The automation events: a DISPID and its arguments.
using EventSinks = EventSinksOf<std::int32_t, std::span<const Variant>>;
using EventHandler = EventSinks::Handler;

}  // namespace sorvane
