// Events and the C interface as an outside host sees them: sinks in order,
// disconnecting from inside a handler and from another thread, each control
// raising only its own events; variants, strings the host must free, failure
// messages through the host's handler.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "control/dispatch_members.h"
#include "control/event_sinks.h"
#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "control_fixture.h"

namespace sorvane {
namespace {

TEST(EventSinks, InOrderDisconnectedFromInsideAHandlerOrWhileOneRunsElsewhere) {
    EventSinks sinks;
    std::vector<int> calls;
    std::uint32_t first = 0, second = 0;
    first = sinks.Connect([&](std::int32_t id, std::span<const Variant>) {
        calls.push_back(1);
        if (id == 2) {
            EXPECT_TRUE(sinks.Disconnect(first));
            EXPECT_TRUE(sinks.Disconnect(second));
        }
    });
    second = sinks.Connect([&](std::int32_t, std::span<const Variant>) { calls.push_back(2); });
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    sinks.Fire(1, {});
    sinks.Fire(2, {});
    sinks.Fire(2, {});
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 1}));
    EXPECT_FALSE(sinks.Disconnect(first));
    EXPECT_EQ(sinks.Count(), 0u);

    // Disconnect waits for a handler running on another thread.
    std::atomic<bool> inside{false}, release{false}, handlerDone{false}, disconnected{false};
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
        EXPECT_TRUE(handlerDone);
        disconnected = true;
    });
    // However the threads are scheduled, Disconnect cannot return while the
    // handler is still held inside.
    for (int i = 0; i < 1000 && !disconnected; ++i)
        std::this_thread::yield();
    EXPECT_FALSE(disconnected);
    release = true;
    firing.join();
    disconnecting.join();
}

// Events a C sink received, with their arguments read back as variants.
void Collect(void* user, std::int32_t dispid, const SorvaneVariant* args, std::int32_t count) {
    auto& events = *static_cast<std::vector<std::vector<Variant>>*>(user);
    events.push_back({dispid});
    for (std::int32_t i = 0; i < count; ++i)
        EXPECT_EQ(FromCVariant(args[i], &events.back().emplace_back()), kOk);
}

TEST(ControlEvents, CSinksGetVariantsAndTheWrapperTypedValuesOfTheirControlOnly) {
    controltest::ObjectRef a(controltest::MakeObject(true)), b(controltest::MakeObject(true));
    std::vector<std::vector<Variant>> first, second;
    std::uint32_t c1 = 0, c2 = 0;
    ASSERT_EQ(sorvane_connect(a.object, Collect, &first, &c1), 0);
    ASSERT_EQ(sorvane_connect(a.object, Collect, &second, &c2), 0);
    EXPECT_EQ(sorvane_connect(a.object, nullptr, &first, &c1), SORVANE_E_POINTER);
    std::vector<std::pair<int, int>> progress;
    std::vector<double> fix;  // lat, vel, dir
    {
        TSorvane gps(b.object);
        gps.SetOnReceiving(
            [&](std::int32_t n, std::int32_t total) { progress.emplace_back(n, total); });
        gps.SetOnNMEAReceived([&](std::int16_t, double lat, double, double, std::int32_t,
                                  double vel, std::int16_t dir) {
            fix = {lat, vel, double(dir)};
        });
        b.ctrl().FireReceiving(0, 12);
        b.ctrl().FireReceiving(10, 12);
        b.ctrl().FireNMEAReceived(1, 48.1173, 11.5166, 545.4, 0, 41.4848, 84);
        a.ctrl().FireNMEAReceived(0, -33.5, -70.25, -9999.0, 42, 0.0, 359);
        gps.SetOnReceiving(nullptr);
        b.ctrl().FireReceiving(20, 12);
    }
    b.ctrl().FireNMEAReceived(1, 1.0, 1.0, 1.0, 0, 1.0, 1);  // the wrapper is gone
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 12}, {10, 12}}));
    EXPECT_EQ(fix, (std::vector<double>{48.1173, 41.4848, 84.0}));
    const std::vector<Variant> nmea = {
        kEventNMEAReceived, std::int16_t{0}, -33.5, -70.25, -9999.0, 42, 0.0, std::int16_t{359}};
    EXPECT_EQ(first, (std::vector<std::vector<Variant>>{nmea}));
    ASSERT_EQ(sorvane_disconnect(a.object, c1), 0);
    EXPECT_EQ(sorvane_disconnect(a.object, c1), SORVANE_E_INVALIDARG);
    a.ctrl().FireReceiving(0, 3);
    EXPECT_EQ(first.size(), 1u);
    EXPECT_EQ(second, (std::vector<std::vector<Variant>>{nmea, {kEventReceiving, 0, 3}}));
}

// ---- invoke through the C interface --------------------------------------------

SorvaneVariant Arg(std::uint16_t vt, std::int32_t value, const char* text = nullptr) {
    SorvaneVariant x;
    sorvane_variant_init(&x);
    x.vt = vt;
    if (vt == SORVANE_VT_BSTR)
        x.u.bstrVal = const_cast<char*>(text);
    else
        x.u.lVal = value;
    return x;
}

TEST(CInterface, InvokeWithVariantsAndOwnedStrings) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    SorvaneCtrl* c = object.object;
    constexpr auto M = SORVANE_DISPATCH_METHOD;
    SorvaneVariant name[] = {Arg(SORVANE_VT_BSTR, 0, "名前")};
    SorvaneVariant result{};
    ASSERT_EQ(sorvane_invoke(c, sorvane_get_dispid("AddTrack"), M, name, 1, &result), 0);
    EXPECT_EQ(result.vt, SORVANE_VT_BOOL);
    EXPECT_EQ(result.u.boolVal, -1);

    SorvaneVariant index[] = {Arg(SORVANE_VT_I4, 0)};
    ASSERT_EQ(sorvane_invoke(c, sorvane_get_dispid("gettrackname"), M, index, 1, &result), 0);
    ASSERT_EQ(result.vt, SORVANE_VT_BSTR);
    EXPECT_STREQ(result.u.bstrVal, "名前");
    sorvane_variant_clear(&result);
    EXPECT_EQ(result.vt, SORVANE_VT_EMPTY);

    // A null string argument is an empty string, not a crash.
    SorvaneVariant nullText[] = {Arg(SORVANE_VT_BSTR, 0, nullptr)};
    EXPECT_EQ(sorvane_invoke(c, sorvane_get_dispid("toWaypointSymbolNo"), M, nullText, 1, &result),
              0);
    EXPECT_EQ(result.u.lVal, 18);

    // Bad calls come back as codes; a result is not required.
    SorvaneVariant odd = Arg(17, 0);  // a type we do not know
    SorvaneVariant nullRef = Arg(SORVANE_VT_BYREF | SORVANE_VT_I4, 0);
    nullRef.u.plVal = nullptr;
    EXPECT_EQ(sorvane_invoke(nullptr, 7, M, nullptr, 0, &result), SORVANE_E_POINTER);
    EXPECT_EQ(sorvane_invoke(c, 11, M, nullptr, 1, &result), SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_invoke(c, 11, M, index, -1, &result), SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_invoke(c, 11, M, &odd, 1, &result), SORVANE_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(sorvane_invoke(c, 11, M, &nullRef, 1, &result), SORVANE_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(sorvane_invoke(c, 500, M, nullptr, 0, &result), SORVANE_DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(sorvane_invoke(c, 7, M, nullptr, 0, nullptr), 0);
    std::int32_t dispid = 0;
    EXPECT_EQ(c->lpVtbl->GetIDOfName(c, "NoSuch", &dispid), SORVANE_DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispid, -1);
    sorvane_variant_clear(nullptr);
}

// What a receiver keeps of a name, for the product the control has set.
TEST(CInterface, ReceiverNamesFollowTheProductsLayoutAndCharacterSet) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    TSorvane gps(object.object);
    struct Row {
        std::int32_t product;
        std::int32_t kind;
        std::string name;
        std::string held;
    };
    const Row rows[] = {
        // Older layout: six characters, single-byte letters upper-cased, and a
        // double-byte character never cut in half.
        {87, SORVANE_NAME_WAYPOINT, "home", "HOME"},
        {87, SORVANE_NAME_WAYPOINT, "Lookout", "LOOKOU"},
        {87, SORVANE_NAME_WAYPOINT, "東京タワー", "東京タ"},
        {87, SORVANE_NAME_WAYPOINT, "aｂc", "AｂC"},
        {87, SORVANE_NAME_WAYPOINT, "", ""},
        // Newer layout: ten.
        {130, SORVANE_NAME_WAYPOINT, "waypoint-12345", "WAYPOINT-1"},
        {130, SORVANE_NAME_WAYPOINT, "東京タワー前", "東京タワー"},
        // Character set 2: the receiver's own katakana, digits and a few signs.
        {105, SORVANE_NAME_WAYPOINT, "ｱｲｳ-12", "ｱｲｳ-12"},
        {105, SORVANE_NAME_WAYPOINT, "AB-1", "00-1"},
        {153, SORVANE_NAME_WAYPOINT, "ﾎﾟｲﾝﾄ7", "ﾎﾟｲﾝﾄ7"},
        // Route names: twenty characters in the older header, forty in the
        // newer, letters as they are.
        {87, SORVANE_NAME_ROUTE, "bay walk", "bay walk"},
        {87, SORVANE_NAME_ROUTE, "a route name longer than twenty", "a route name longer"},
        {130, SORVANE_NAME_ROUTE, "a route name longer than twenty",
         "a route name longer than twenty"},
        {130, SORVANE_NAME_ROUTE, std::string(45, 'r'), std::string(40, 'r')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.product) + " " + row.name);
        ASSERT_TRUE(gps.SetProductID(row.product));
        EXPECT_EQ(gps.ReceiverName(row.kind, row.name), row.held);
    }
    // A name longer than the first buffer the wrapper tries.
    ASSERT_TRUE(gps.SetProductID(130));
    const std::string long100(100, 'x');
    EXPECT_EQ(gps.ReceiverName(SORVANE_NAME_ROUTE, long100), std::string(40, 'x'));
    EXPECT_EQ(gps.ReceiverName(2, "x"), std::nullopt);

    // The C entry: the length always, the text cut to the buffer.
    char buffer[4];
    std::size_t length = 99;
    EXPECT_EQ(sorvane_receiver_name(object.object, SORVANE_NAME_WAYPOINT, "home", buffer,
                                    sizeof buffer, &length),
              SORVANE_S_OK);
    EXPECT_EQ(std::pair(std::string(buffer), length),
              std::pair(std::string("HOM"), std::size_t{4}));
    EXPECT_EQ(
        sorvane_receiver_name(object.object, SORVANE_NAME_WAYPOINT, "home", nullptr, 0, &length),
        SORVANE_S_OK);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(sorvane_receiver_name(object.object, 0, nullptr, buffer, sizeof buffer, &length),
              SORVANE_E_POINTER);
    EXPECT_EQ(sorvane_receiver_name(object.object, 0, "x", nullptr, 4, &length), SORVANE_E_POINTER);
    EXPECT_EQ(sorvane_receiver_name(nullptr, 0, "x", buffer, sizeof buffer, &length),
              SORVANE_E_POINTER);
    controltest::ObjectRef storeless(controltest::MakeObject(false));
    EXPECT_EQ(sorvane_receiver_name(storeless.object, 0, "x", buffer, sizeof buffer, &length),
              SORVANE_E_INVALIDARG);
}

TEST(CInterface, FailureMessagesGoToTheHostsHandler) {
    std::vector<std::string> seen;
    sorvane_set_message_handler(
        [](void* user, const char* text, const char* caption) {
            static_cast<std::vector<std::string>*>(user)->push_back(std::string(caption) + ": " +
                                                                    text);
        },
        &seen);
    const auto noDatum = [] { return std::unique_ptr<MapDatum>(); };
    { KelData store(noDatum); }
    sorvane_set_message_handler(nullptr, nullptr);
    { KelData again(noDatum); }
    EXPECT_EQ(seen, std::vector<std::string>{"ERROR: Can't create MapDatum object"});
}

// The receiver's C interface on a control of this library: arguments checked,
// one identity, values while no receiver runs, the systems' names.
TEST(ReceiverInterface, ArgumentsIdentityAndValuesWithoutAReceiver) {
    SorvaneCtrl* c = sorvane_create();
    ASSERT_NE(c, nullptr);
    const SorvaneGuid iid = SORVANE_IID_SORVANERECEIVER;
    void* object = nullptr;
    ASSERT_EQ(c->lpVtbl->QueryInterface(c, &iid, &object), SORVANE_S_OK);
    auto* receiver = static_cast<SorvaneReceiver*>(object);
    const SorvaneGuid unknown = SORVANE_IID_IUNKNOWN;
    void* identity = nullptr;
    ASSERT_EQ(receiver->lpVtbl->QueryInterface(receiver, &unknown, &identity), SORVANE_S_OK);
    EXPECT_EQ(identity, c);
    // The references are the control's: three now, one after these two.
    EXPECT_EQ(receiver->lpVtbl->Release(receiver), 2u);
    EXPECT_EQ(c->lpVtbl->Release(c), 1u);

    const std::string longHost(256, 'h');
    const std::tuple<SorvaneResult, SorvaneResult> rows[] = {
        {sorvane_receiver_set_source(nullptr, SORVANE_SOURCE_GPSD, "", 0), SORVANE_E_POINTER},
        {sorvane_receiver_set_source(c, 2, "", 0), SORVANE_E_INVALIDARG},
        {sorvane_receiver_set_source(c, SORVANE_SOURCE_GPSD, "", -1), SORVANE_E_INVALIDARG},
        {sorvane_receiver_set_source(c, SORVANE_SOURCE_GPSD, "", 65536), SORVANE_E_INVALIDARG},
        {sorvane_receiver_set_source(c, SORVANE_SOURCE_GPSD, longHost.c_str(), 0),
         SORVANE_E_INVALIDARG},
        {sorvane_receiver_status(c, nullptr), SORVANE_E_POINTER},
        {sorvane_receiver_last_fix(c, nullptr), SORVANE_E_POINTER},
        {sorvane_receiver_satellites(c, nullptr, 3, nullptr), SORVANE_E_POINTER},
        {sorvane_receiver_connect(c, nullptr, nullptr, nullptr), SORVANE_E_POINTER},
        {sorvane_receiver_disconnect(c, 12345), SORVANE_E_INVALIDARG},
        {sorvane_receiver_set_source(c, SORVANE_SOURCE_GPSD, nullptr, 0), SORVANE_S_OK},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(std::get<0>(rows[i]), std::get<1>(rows[i])) << "row " << i;

    std::int32_t source = -1, port = -1;
    char host[4] = "xyz";
    EXPECT_EQ(sorvane_receiver_get_source(c, &source, host, sizeof host, &port), SORVANE_S_OK);
    EXPECT_EQ(std::tuple(source, std::string(host), port),
              std::tuple(SORVANE_SOURCE_GPSD, std::string(), 0));
    ASSERT_EQ(sorvane_receiver_set_source(c, SORVANE_SOURCE_GPSD, "localhost", 2947), SORVANE_S_OK);
    EXPECT_EQ(sorvane_receiver_get_source(c, nullptr, host, sizeof host, nullptr), SORVANE_S_OK);
    EXPECT_STREQ(host, "loc");  // cut to the buffer

    SorvaneReceiverStatus status;
    std::memset(&status, 0x55, sizeof status);
    ASSERT_EQ(sorvane_receiver_status(c, &status), SORVANE_S_OK);
    EXPECT_EQ(std::tuple(status.source, status.state, status.errorCode, status.bytes,
                         std::string(status.message)),
              std::tuple(SORVANE_SOURCE_GPSD, SORVANE_RECEIVER_STOPPED, 0, 0u, std::string()));
    SorvaneFix fix;
    std::memset(&fix, 0x55, sizeof fix);
    EXPECT_EQ(sorvane_receiver_last_fix(c, &fix), SORVANE_S_FALSE);
    EXPECT_EQ(std::tuple(fix.valid, fix.latitude, fix.quality), std::tuple(0, 0.0, 0));
    std::int32_t count = -1;
    EXPECT_EQ(sorvane_receiver_satellites(c, nullptr, 0, &count), SORVANE_S_OK);
    EXPECT_EQ(count, 0);
    sorvane_destroy(c);

    const std::pair<std::int32_t, const char*> names[] = {
        {SORVANE_GNSS_GPS, "GPS"},
        {SORVANE_GNSS_GLONASS, "GLONASS"},
        {SORVANE_GNSS_GALILEO, "Galileo"},
        {SORVANE_GNSS_BEIDOU, "BeiDou"},
        {SORVANE_GNSS_QZSS, "QZSS"},
        {SORVANE_GNSS_NAVIC, "NavIC"},
        {SORVANE_GNSS_SBAS, "SBAS"},
        {SORVANE_GNSS_UNKNOWN, "unknown"},
        {8, "unknown"},
        {-1, "unknown"},
    };
    for (const auto& [id, name] : names)
        EXPECT_STREQ(sorvane_constellation_name(id), name) << id;
}

}  // namespace
}  // namespace sorvane
