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

struct Recorded {
    std::int32_t dispid;
    std::vector<Variant> args;
};

TEST(EventSinks, EverySinkInConnectionOrder) {
    EventSinks sinks;
    std::vector<int> order;
    const auto a =
        sinks.Connect([&](std::int32_t, std::span<const Variant>) { order.push_back(1); });
    const auto b =
        sinks.Connect([&](std::int32_t, std::span<const Variant>) { order.push_back(2); });
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    sinks.Fire(1, {});
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(sinks.Disconnect(a));
    EXPECT_FALSE(sinks.Disconnect(a));
    EXPECT_FALSE(sinks.Disconnect(12345));
    sinks.Fire(1, {});
    EXPECT_EQ(order, (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(sinks.Count(), 1u);
}

TEST(EventSinks, AHandlerMayDisconnectItselfOrALaterSink) {
    EventSinks sinks;
    int firstCalls = 0;
    int secondCalls = 0;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    first = sinks.Connect([&](std::int32_t, std::span<const Variant>) {
        ++firstCalls;
        EXPECT_TRUE(sinks.Disconnect(first));
        EXPECT_TRUE(sinks.Disconnect(second));
    });
    second = sinks.Connect([&](std::int32_t, std::span<const Variant>) { ++secondCalls; });
    sinks.Fire(2, {});
    sinks.Fire(2, {});
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
    EXPECT_EQ(sinks.Count(), 0u);
}

TEST(EventSinks, DisconnectWaitsForAHandlerRunningOnAnotherThread) {
    EventSinks sinks;
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<int> handlerDone{0};
    std::atomic<int> seenWhenDisconnected{-1};
    const auto cookie = sinks.Connect([&](std::int32_t, std::span<const Variant>) {
        inside = true;
        while (!release)
            std::this_thread::yield();
        handlerDone = 1;
    });
    std::thread firing([&] { sinks.Fire(2, {}); });
    while (!inside)
        std::this_thread::yield();
    std::atomic<bool> disconnected{false};
    std::thread disconnecting([&] {
        EXPECT_TRUE(sinks.Disconnect(cookie));
        seenWhenDisconnected = handlerDone.load();
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
    EXPECT_EQ(seenWhenDisconnected.load(), 1);
}

TEST(ControlEvents, EachControlRaisesOnlyItsOwnEvents) {
    ObjectRef a(MakeObject(true));
    ObjectRef b(MakeObject(true));
    std::vector<Recorded> gotA, gotB;
    a.ctrl().Connect([&](std::int32_t id, std::span<const Variant> args) {
        gotA.push_back({id, {args.begin(), args.end()}});
    });
    b.ctrl().Connect([&](std::int32_t id, std::span<const Variant> args) {
        gotB.push_back({id, {args.begin(), args.end()}});
    });
    a.ctrl().FireReceiving(10, 25);
    b.ctrl().FireNMEAReceived(1, 35.5, 139.5, 12.0, 1000, 3.5, 90);
    ASSERT_EQ(gotA.size(), 1u);
    EXPECT_EQ(gotA[0].dispid, kEventReceiving);
    EXPECT_EQ(gotA[0].args, (std::vector<Variant>{Variant(10), Variant(25)}));
    ASSERT_EQ(gotB.size(), 1u);
    EXPECT_EQ(gotB[0].dispid, kEventNMEAReceived);
    EXPECT_EQ(gotB[0].args,
              (std::vector<Variant>{Variant(std::int16_t{1}), Variant(35.5), Variant(139.5),
                                    Variant(12.0), Variant(std::int32_t{1000}), Variant(3.5),
                                    Variant(std::int16_t{90})}));
}

struct CEvents {
    std::vector<std::int32_t> ids;
    std::vector<SorvaneVariant> lastArgs;
};

void Collect(void* user, std::int32_t dispid, const SorvaneVariant* args, std::int32_t count) {
    auto* e = static_cast<CEvents*>(user);
    e->ids.push_back(dispid);
    e->lastArgs.assign(args, args + count);
}

TEST(ControlEvents, CCallbacksGetTheArgumentsAsVariants) {
    ObjectRef object(MakeObject(true));
    CEvents first, second;
    std::uint32_t c1 = 0, c2 = 0;
    ASSERT_EQ(sorvane_connect(object.object, Collect, &first, &c1), 0);
    ASSERT_EQ(sorvane_connect(object.object, Collect, &second, &c2), 0);
    EXPECT_EQ(sorvane_connect(object.object, nullptr, &first, &c1), SORVANE_E_POINTER);
    object.ctrl().FireNMEAReceived(0, -33.5, -70.25, -9999.0, 42, 0.0, 359);
    ASSERT_EQ(first.ids, (std::vector<std::int32_t>{2}));
    ASSERT_EQ(first.lastArgs.size(), 7u);
    EXPECT_EQ(first.lastArgs[0].vt, SORVANE_VT_I2);
    EXPECT_EQ(first.lastArgs[0].u.iVal, 0);
    EXPECT_EQ(first.lastArgs[1].vt, SORVANE_VT_R8);
    EXPECT_EQ(first.lastArgs[1].u.dblVal, -33.5);
    EXPECT_EQ(first.lastArgs[4].vt, SORVANE_VT_I4);
    EXPECT_EQ(first.lastArgs[4].u.lVal, 42);
    EXPECT_EQ(first.lastArgs[6].u.iVal, 359);
    EXPECT_EQ(second.ids.size(), 1u);
    ASSERT_EQ(sorvane_disconnect(object.object, c1), 0);
    EXPECT_EQ(sorvane_disconnect(object.object, c1), SORVANE_E_INVALIDARG);
    object.ctrl().FireReceiving(0, 3);
    EXPECT_EQ(first.ids.size(), 1u);
    EXPECT_EQ(second.ids, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(second.lastArgs[1].u.lVal, 3);
}

TEST(ControlEvents, TheWrapperHandsTypedValues) {
    ObjectRef object(MakeObject(true));
    TSorvane gps(object.object);
    std::vector<std::pair<int, int>> progress;
    double lat = 0, vel = 0;
    std::int16_t dir = 0;
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
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 12}, {10, 12}}));
    EXPECT_DOUBLE_EQ(lat, 48.1173);
    EXPECT_DOUBLE_EQ(vel, 41.4848);
    EXPECT_EQ(dir, 84);
    gps.SetOnReceiving(nullptr);
    object.ctrl().FireReceiving(20, 12);
    EXPECT_EQ(progress.size(), 2u);
}

TEST(ControlEvents, ASinkMayAbortFromInsideReceiving) {
    ObjectRef object(MakeObject(true));
    TSorvane gps(object.object);
    gps.SetOnReceiving([&](std::int32_t, std::int32_t) { gps.AbortTransfer(); });
    object.ctrl().FireReceiving(0, 1);
    EXPECT_TRUE(object.ctrl().Store()->IsAbortRequested());
}

TEST(ControlEvents, DestroyingTheWrapperDisconnectsIt) {
    ObjectRef object(MakeObject(true));
    int calls = 0;
    {
        TSorvane gps(object.object);
        gps.SetOnReceiving([&](std::int32_t, std::int32_t) { ++calls; });
        object.ctrl().FireReceiving(0, 1);
    }
    object.ctrl().FireReceiving(0, 1);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace sorvane
