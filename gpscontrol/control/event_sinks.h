#pragma once
// The sinks connected to one control. Events may be raised on any thread (the
// NMEA receiver has its own); a sink may disconnect itself, or call back into
// the control, from inside its handler.

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

using EventHandler = std::function<void(std::int32_t dispid, std::span<const Variant> args)>;

class EventSinks {
  public:
    EventSinks() = default;
    EventSinks(const EventSinks&) = delete;
    EventSinks& operator=(const EventSinks&) = delete;

    // A cookie for Disconnect, never 0.
    std::uint32_t Connect(EventHandler handler);
    // False for an unknown cookie. Once it returns, the handler is not running
    // on another thread and will not be called again.
    bool Disconnect(std::uint32_t cookie);
    void DisconnectAll();
    std::size_t Count() const;

    // Calls every connected handler in connection order, on this thread.
    void Fire(std::int32_t dispid, std::span<const Variant> args);

  private:
    struct Sink {
        std::uint32_t cookie;
        std::shared_ptr<const EventHandler> handler;
    };
    void WaitForOtherThreads(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::vector<Sink> sinks_;
    std::vector<std::thread::id> firing_;  // one entry per Fire in progress
    std::uint32_t nextCookie_ = 1;
};

}  // namespace sorvane
