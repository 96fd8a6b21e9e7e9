// Event sinks: several per control, each control raising only its own events,
// disconnecting from inside a handler and from another thread.

#include "control/event_sinks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "control/dispatch_members.h"
#include "control/tsorvane.h"
#include "control_fixture.h"

namespace sorvane {
namespace {

using controltest::MakeObject;
using controltest::ObjectRef;

TEST(EventSinks, EverySinkInOrderAndAHandlerMayDisconnectItselfOrALaterSink) {
    EventSinks sinks;
    std::vector<int> calls;
    std::uint32_t first = 0, second = 0, third = 0;
    first = sinks.Connect([&](std::int32_t id, std::span<const Variant>) {
        calls.push_back(1);
        if (id == 2) {
            EXPECT_TRUE(sinks.Disconnect(first));
            EXPECT_TRUE(sinks.Disconnect(second));
        }
    });
    second = sinks.Connect([&](std::int32_t, std::span<const Variant>) { calls.push_back(2); });
    third = sinks.Connect([&](std::int32_t, std::span<const Variant>) { calls.push_back(3); });
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    sinks.Fire(1, {});
    sinks.Fire(2, {});
    sinks.Fire(2, {});
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 3, 1, 3, 3}));
    EXPECT_FALSE(sinks.Disconnect(first));
    EXPECT_FALSE(sinks.Disconnect(12345));
    EXPECT_TRUE(sinks.Disconnect(third));
    EXPECT_EQ(sinks.Count(), 0u);
}

TEST(EventSinks, DisconnectWaitsForAHandlerRunningOnAnotherThread) {
    EventSinks sinks;
    std::atomic<bool> inside{false}, release{false}, handlerDone{false}, disconnected{false};
    std::atomic<bool> doneWhenDisconnected{false};
    const auto cookie = sinks.Connect([&](std::int32_t, std::span<const Variant>) {
        inside = true;
        while (!release)
            std::this_thread::yield();
        handlerDone = true;
    });
    std::thread firing([&] { sinks.Fire(2, {}); });
    while (!inside)
        std::this_thread::yield();
    std::thread disconnecting([&] {
        EXPECT_TRUE(sinks.Disconnect(cookie));
        doneWhenDisconnected = handlerDone.load();
        disconnected = true;
    });
    // However the threads are scheduled, Disconnect cannot return while the
    // handler is still held inside.
    for (int i = 0; i < 1000; ++i) {
        ASSERT_FALSE(disconnected.load());
        std::this_thread::yield();
    }
    release = true;
    firing.join();
    disconnecting.join();
    EXPECT_TRUE(doneWhenDisconnected.load());
}

struct CEvents {
    std::vector<std::int32_t> ids;
    std::vector<Variant> lastArgs;
};

void Collect(void* user, std::int32_t dispid, const SorvaneVariant* args, std::int32_t count) {
    auto* e = static_cast<CEvents*>(user);
    e->ids.push_back(dispid);
    e->lastArgs.assign(count, Variant());
    for (std::int32_t i = 0; i < count; ++i)
        EXPECT_EQ(FromCVariant(args[i], &e->lastArgs[i]), kOk);
}

TEST(ControlEvents, EachControlRaisesOnlyItsOwnEventsToItsCSinks) {
    ObjectRef a(MakeObject(true));
    ObjectRef b(MakeObject(true));
    CEvents first, second, ofB;
    std::uint32_t c1 = 0, c2 = 0, cb = 0;
    ASSERT_EQ(sorvane_connect(a.object, Collect, &first, &c1), 0);
    ASSERT_EQ(sorvane_connect(a.object, Collect, &second, &c2), 0);
    ASSERT_EQ(sorvane_connect(b.object, Collect, &ofB, &cb), 0);
    EXPECT_EQ(sorvane_connect(a.object, nullptr, &first, &c1), SORVANE_E_POINTER);

    a.ctrl().FireNMEAReceived(0, -33.5, -70.25, -9999.0, 42, 0.0, 359);
    ASSERT_EQ(first.ids, (std::vector<std::int32_t>{kEventNMEAReceived}));
    EXPECT_EQ(first.lastArgs, (std::vector<Variant>{std::int16_t{0}, -33.5, -70.25, -9999.0,
                                                    std::int32_t{42}, 0.0, std::int16_t{359}}));
    EXPECT_EQ(second.ids.size(), 1u);

    b.ctrl().FireReceiving(10, 25);
    ASSERT_EQ(ofB.ids, (std::vector<std::int32_t>{kEventReceiving}));
    EXPECT_EQ(ofB.lastArgs, (std::vector<Variant>{10, 25}));
    EXPECT_EQ(first.ids.size(), 1u);

    ASSERT_EQ(sorvane_disconnect(a.object, c1), 0);
    EXPECT_EQ(sorvane_disconnect(a.object, c1), SORVANE_E_INVALIDARG);
    a.ctrl().FireReceiving(0, 3);
    EXPECT_EQ(first.ids.size(), 1u);
    EXPECT_EQ(second.ids, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(second.lastArgs, (std::vector<Variant>{0, 3}));
    EXPECT_EQ(ofB.ids.size(), 1u);
}

TEST(ControlEvents, TheWrapperHandsTypedValuesUntilClearedOrGone) {
    ObjectRef object(MakeObject(true));
    std::vector<std::pair<int, int>> progress;
    double lat = 0, vel = 0;
    std::int16_t dir = 0;
    {
        TSorvane gps(object.object);
        gps.SetOnReceiving(
            [&](std::int32_t n, std::int32_t total) { progress.emplace_back(n, total); });
        gps.SetOnNMEAReceived(
            [&](std::int16_t, double la, double, double, std::int32_t, double v, std::int16_t d) {
                lat = la;
                vel = v;
                dir = d;
            });
        object.ctrl().FireReceiving(0, 12);
        object.ctrl().FireReceiving(10, 12);
        object.ctrl().FireNMEAReceived(1, 48.1173, 11.5166, 545.4, 0, 41.4848, 84);
        gps.SetOnReceiving(nullptr);
        object.ctrl().FireReceiving(20, 12);
    }
    object.ctrl().FireNMEAReceived(1, 1.0, 1.0, 1.0, 0, 1.0, 1);  // the wrapper is gone
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 12}, {10, 12}}));
    EXPECT_DOUBLE_EQ(lat, 48.1173);
    EXPECT_DOUBLE_EQ(vel, 41.4848);
    EXPECT_EQ(dir, 84);
}

}  // namespace
}  // namespace sorvane
