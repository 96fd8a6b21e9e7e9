// The dispatch interface: a walk of the whole table (every DISPID by name and
// back, every member through Invoke answering as the typed wrapper's call does,
// the fixed no-store values), the members at their edges through the same path
// a host uses, and the rules of Invoke itself.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <tuple>
#include <vector>

#include "control/dispatch_members.h"
#include "control/type_library.h"
#include "control_fixture.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

// Arguments: long and short 1, double 35.25, string "Tokyo"; outputs start from
// sentinels (777, 77, 7.5) so that "left untouched" can be seen.
template <AutoType T>
struct Sample;
#define WALK_SAMPLE(T, Type, value, ref)               \
    template <>                                        \
    struct Sample<AutoType::T> {                       \
        Type v = value;                                \
        Variant ToVariant() { return Variant(ref v); } \
        decltype(auto) Typed() { return (ref v); }     \
    };
WALK_SAMPLE(svI4, std::int32_t, 1, )
WALK_SAMPLE(svI2, std::int16_t, 1, )
WALK_SAMPLE(svR8, double, 35.25, )
WALK_SAMPLE(svPBstr, std::string, "Tokyo", )
WALK_SAMPLE(svPI4, std::int32_t, 777, &)
WALK_SAMPLE(svPI2, std::int16_t, 77, &)
WALK_SAMPLE(svPR8, double, 7.5, &)
#undef WALK_SAMPLE

// What a call gave: its result and the values of its arguments afterwards.
struct Outcome {
    HResult hr = kOk;
    Variant result;
    std::vector<Variant> args;
};

// One member called through Invoke on ctrl and through the wrapper's typed call.
template <AutoType R, AutoType... P, class Call>
std::pair<Outcome, Outcome> CallBothWays(CSorvaneCtrl& ctrl, std::int32_t dispid, TSorvane& wrapper,
                                         Call&& call) {
    std::tuple<Sample<P>...> forInvoke, forWrapper;
    Outcome i, w;
    std::vector<Variant> args =
        std::apply([](auto&... s) { return std::vector<Variant>{s.ToVariant()...}; }, forInvoke);
    i.hr = ctrl.Invoke(dispid, kDispatchMethod, args, &i.result);
    if constexpr (R == AutoType::svVoid)
        std::apply([&](auto&... s) { call(s.Typed()...); }, forWrapper);
    else
        w.result = Variant(std::apply([&](auto&... s) { return call(s.Typed()...); }, forWrapper));
    w.hr = wrapper.LastResult();
    std::apply([&](auto&... s) { i.args = {Variant(s.v)...}; }, forInvoke);
    std::apply([&](auto&... s) { w.args = {Variant(s.v)...}; }, forWrapper);
    return {i, w};
}

// Calls every method on two controls in the same state, one through Invoke and
// one through the wrapper; returns what Invoke gave, by name.
std::map<std::string, Outcome> Walk(bool withStore) {
    controltest::ObjectRef a(controltest::MakeObject(withStore)),
        b(controltest::MakeObject(withStore));
    TSorvane viaA(a.object);
    TSorvane viaB(b.object);
    std::map<std::string, Outcome> outcomes;
#define WALK_TYPE(i, T, n) , AutoType::T
#define WALK_METHOD(id, name, R, ...)                                                            \
    {                                                                                            \
        SCOPED_TRACE(#name);                                                                     \
        controltest::Fill(viaA);                                                                 \
        controltest::Fill(viaB);                                                                 \
        const auto [i, w] =                                                                      \
            CallBothWays<AutoType::R SORVANE_PP_FOR_EACH(WALK_TYPE __VA_OPT__(, ) __VA_ARGS__)>( \
                a.ctrl(), id, viaB,                                                              \
                [&](auto&&... x) -> decltype(auto) { return viaB.name(x...); });                 \
        EXPECT_EQ(std::pair(i.hr, w.hr), std::pair(kOk, kOk));                                   \
        EXPECT_EQ(i.result, w.result);                                                           \
        EXPECT_EQ(i.args, w.args);                                                               \
        outcomes[#name] = i;                                                                     \
    }
    SORVANE_DISPATCH_METHODS(WALK_METHOD)
#undef WALK_METHOD
#undef WALK_TYPE
    EXPECT_EQ(outcomes.size(), static_cast<std::size_t>(kMethodCount));
    return outcomes;
}

TEST(DispatchWalk, EveryDispidResolvesByNameAndBackAndStandsInTheTypeLibrary) {
    const std::string text = sorvane_type_library();
    EXPECT_EQ(text, TypeLibraryText());
    for (int i = 0; i < kDispatchMemberCount; ++i) {
        const MemberInfo& m = kDispatchMembers[i];
        SCOPED_TRACE(m.name);
        EXPECT_EQ(m.dispid, i + 1);
        EXPECT_EQ(FindMember(m.dispid), &m);
        EXPECT_EQ(DispidOfName(m.name), m.dispid);
        EXPECT_EQ(sorvane_get_dispid(m.name), m.dispid);
        EXPECT_STREQ(sorvane_get_name(m.dispid), m.name);
        const std::size_t at = text.find("[id(" + std::to_string(m.dispid) + ")] ");
        EXPECT_NE(text.find(std::string(" ") + m.name + (i < 5 ? ";" : "("), at),
                  std::string::npos);
    }
    for (const char* expected : {"library SORVANELib", "uuid(CA49C26E-8FB3-4E1B-8102-A979127F5173)",
                                 "version(3.5)", "FILEVERSION 3,5,0,1",
                                 "void NMEAReceived(short valid, double lat, double lon, double "
                                 "alt, long t, double vel, short dir);"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    EXPECT_EQ(kEventCount, 2);
    EXPECT_STREQ(sorvane_get_event_name(1), "Receiving");
    EXPECT_STREQ(sorvane_get_event_name(2), "NMEAReceived");
    EXPECT_EQ(sorvane_get_event_dispid("Receiving"), 1);
    EXPECT_EQ(sorvane_get_event_dispid("NMEAReceived"), 2);
    EXPECT_EQ(DispidOfName("GETTRACKNAME"), 19);  // names do not depend on letter case
    EXPECT_EQ(DispidOfName("NoSuchMember"), -1);
    EXPECT_EQ(DispidOfName(""), -1);
    EXPECT_EQ(sorvane_get_dispid(nullptr), -1);
    EXPECT_EQ(sorvane_get_name(0), nullptr);
    EXPECT_EQ(sorvane_get_name(77), nullptr);
    EXPECT_EQ(sorvane_get_param_count(33), 9);
    EXPECT_EQ(sorvane_get_param_count(-5), -1);
}

TEST(DispatchWalk, InvokeAnswersAsTheTypedWrapperWithAStoreAndWithoutOne) {
    // Transfers and the NMEA receiver find no device behind port 1.
    testsupport::ScopedEnv port("SORVANE_COM1", controltest::kMissingPort);
    Walk(true);
    // Results with the arguments above on a control whose store could not be created.
    const std::pair<Variant, const char*> groups[] = {
        {Variant("ERROR"),
         "GetWaypointID GetWaypointComment ReadProductID GetTrackName GetDatumName GetRouteName "
         "GetRouteWaypointID GetRouteWaypointComment GetEntryDatumName GetEntryDatumName2 "
         "GetWaypointSymbolName toWaypointSymbolName"},
        {Variant(-9999.9),
         "GetWaypointLatitude GetWaypointLongitude GetWaypointAltitude GetRouteWaypointLatitude "
         "GetRouteWaypointLongitude GetRouteWaypointAltitude"},
        {Variant(false),
         "UploadTrack GetTrackPosition UploadWaypoint UploadRoute AddTrackSegment AddTrackData "
         "AddTrack AddRoute AddWaypoint AddRouteWaypoint StartNMEAReceiving GetSatelliteData "
         "UploadSingleRoute SetProductID TransformDatumWGS84IntoLocal "
         "TransformDatumLocalIntoWGS84"},
        {Variant(),
         "DeleteTrackAll DeleteWaypointAll DeleteRouteAll SelectDatum StopNMEAReceiving "
         "AbortTransfer"},
        {Variant(std::int32_t{0}),
         "GetTrackCount GetWaypointCount GetRouteCount GetRouteWaypointCount GetTrackSegmentCount "
         "GetDatumCount GetNumSatellite GetTrackDataCount GetTrackSegmentDataCount "
         "GetTrackUnixTime GetWaypointSymbolCount toWaypointSymbolNo SelectDatumByName"},
        {Variant(std::int32_t{1}), "DownloadTrack DownloadWaypoint DownloadRoute"},
        {Variant(std::int32_t{-1}), "GetSelectedDatumNumber GetErrorCode"},
        {Variant(std::int32_t{196613}), "GetVersion"},
        {Variant(0.0),
         "CalcDistance GetMapDatumDeltaA GetMapDatumDeltaF GetMapDatumDeltaX GetMapDatumDeltaY "
         "GetMapDatumDeltaZ"},
        {Variant(-1.0), "GetWaypointDst GetRouteWaypointDst"},
        {Variant(std::int16_t{0}), "GetWaypointSmbl GetRouteWaypointSmbl GetRouteWaypointDspl"},
        {Variant(std::int16_t{-1}), "GetWaypointDspl"},
    };
    std::map<std::string, Variant> expected;
    for (const auto& [value, names] : groups) {
        std::istringstream words(names);
        for (std::string name; words >> name;)
            EXPECT_TRUE(expected.emplace(name, value).second) << name;
    }
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kMethodCount));

    // Outputs: only ReadProductID writes (-1 to id); the transformations copy
    // their inputs; everything else leaves them alone.
    const Variant s77(std::int16_t{77});
    const std::map<std::string, std::vector<Variant>> args = {
        {"ReadProductID", {std::int32_t{-1}, std::int32_t{777}}},
        {"GetTrackPosition", {1, 1, 1, 7.5, 7.5, 7.5}},
        {"TransformDatumWGS84IntoLocal", std::vector<Variant>(6, 35.25)},
        {"TransformDatumLocalIntoWGS84", std::vector<Variant>(6, 35.25)},
        {"GetSatelliteData", {std::int16_t{1}, s77, s77, s77, s77}}};
    for (const auto& [name, o] : Walk(false)) {
        SCOPED_TRACE(name);
        EXPECT_EQ(o.result, expected[name]);
        if (args.contains(name)) {
            EXPECT_EQ(o.args, args.at(name));
        }
    }
    EXPECT_EQ(expected.size(), static_cast<std::size_t>(kMethodCount));  // no name mistyped
}

// ---- the members at their edges -------------------------------------------------

// An expression on the wrapper g and the value it must give, as the
// expression's type. Rows run in order on one control.
// clang-format off
#define ROW(expr, want) \
    [](TSorvane& g) { auto got = expr; EXPECT_EQ(got, decltype(got)(want)) << #expr; }
// clang-format on

TEST(ControlMembers, FixedValuesAtTheEdgesWhatTheStoreHoldsAndOutputs) {
    testsupport::ScopedEnv port("SORVANE_COM1", controltest::kMissingPort);
    controltest::ObjectRef object(controltest::MakeObject(true));
    TSorvane gps(object.object);
    controltest::Fill(gps);
    // Positions go in and come out in the selected datum (one Molodensky step
    // each way, so not to the last digit).
    EXPECT_NEAR(gps.GetWaypointLatitude(0), 35.0, 1e-5);
    EXPECT_NEAR(gps.GetWaypointLongitude(1), 139.1, 1e-5);
    EXPECT_NEAR(gps.GetRouteWaypointAltitude(1, 1), 4.0, 0.1);
    // A bad track point index gives true and zeros.
    double p[3] = {1.0, 2.0, 3.0};
    EXPECT_TRUE(gps.GetTrackPosition(0, 0, 2, &p[0], &p[1], &p[2]));
    EXPECT_THAT(p, testing::ElementsAre(0.0, 0.0, 0.0));
    p[0] = p[1] = p[2] = 9.0;
    EXPECT_TRUE(gps.GetTrackPosition(-1, 0, 0, &p[0], &p[1], &p[2]));
    EXPECT_THAT(p, testing::ElementsAre(0.0, 0.0, 0.0));
    EXPECT_TRUE(gps.GetTrackPosition(0, 1, 1, &p[0], &p[1], &p[2]));
    EXPECT_NEAR(p[0], 35.01, 1e-5);
    EXPECT_NEAR(p[1], 139.01, 1e-5);
    EXPECT_NEAR(p[2], 13.0, 0.1);
    // Identification on an unconnected port writes -1 to id and leaves ver.
    std::int32_t id = 55, ver = 4242;
    EXPECT_EQ(gps.ReadProductID(&id, &ver), "");
    EXPECT_EQ(std::pair(id, ver), std::pair(-1, 4242));
    EXPECT_NE(gps.GetErrorCode(), 0);  // the failed open left its code
    // Each transformation goes its own way; Tokyo lies south of WGS 84 here.
    ASSERT_TRUE(gps.TransformDatumWGS84IntoLocal(35.0, 139.0, 0.0, &p[0], &p[1], &p[2]));
    EXPECT_LT(p[0], 35.0 - 1e-3);
    ASSERT_TRUE(gps.TransformDatumLocalIntoWGS84(35.0, 139.0, 0.0, &p[0], &p[1], &p[2]));
    EXPECT_GT(p[0], 35.0 + 1e-3);
    EXPECT_GT(gps.CalcDistance(35.0, 139.0, 35.0, 140.0), 90000.0);
    void (*const rows[])(TSorvane&) = {
        // Index -1 and the count (2) of each waypoint query.
        ROW(g.GetWaypointLatitude(-1), -9999.9), ROW(g.GetWaypointLatitude(2), -9999.9),
        ROW(g.GetWaypointLongitude(-1), -9999.9), ROW(g.GetWaypointLongitude(2), -9999.9),
        ROW(g.GetWaypointAltitude(-1), -9999.9), ROW(g.GetWaypointAltitude(2), -9999.9),
        ROW(g.GetWaypointDst(-1), -1.0), ROW(g.GetWaypointDst(2), -1.0),
        ROW(g.GetWaypointSmbl(-1), 0), ROW(g.GetWaypointSmbl(2), 0), ROW(g.GetWaypointDspl(-1), -1),
        ROW(g.GetWaypointDspl(2), -1), ROW(g.GetWaypointID(-1), ""), ROW(g.GetWaypointID(2), ""),
        ROW(g.GetWaypointComment(-1), ""), ROW(g.GetWaypointComment(2), ""),
        ROW(g.GetWaypointID(1), "B"), ROW(g.GetWaypointComment(0), "first"),
        ROW(g.GetWaypointSmbl(0), 18), ROW(g.GetWaypointDspl(0), 2), ROW(g.GetWaypointDst(0), 50.0),
        // A bad route waypoint's display is 0, not -1.
        ROW(g.GetRouteWaypointDspl(0, 2), 0), ROW(g.GetRouteWaypointDspl(-1, 0), 0),
        ROW(g.GetRouteWaypointDspl(0, 0), 5), ROW(g.GetRouteWaypointDst(0, 2), -1.0),
        ROW(g.GetRouteWaypointLatitude(0, 2), -9999.9), ROW(g.GetRouteWaypointCount(2), 0),
        ROW(g.GetRouteName(1), "R1"), ROW(g.GetRouteWaypointID(1, 1), "Q"),
        ROW(g.GetRouteWaypointComment(1, 1), "q"), ROW(g.GetRouteWaypointSmbl(0, 1), 7),
        ROW(g.AddRouteWaypoint(2, "X", "", 35.0, 139.0, 0.0, 3, 5, 1.5), false),
        ROW(g.GetTrackName(1), "T1"), ROW(g.GetTrackSegmentCount(0), 2),
        ROW(g.GetTrackDataCount(0), 4), ROW(g.GetTrackSegmentDataCount(1, 1), 2),
        // Time stamps come back exactly as given (receiver seconds).
        ROW(g.GetTrackUnixTime(0, 1, 1), 123457), ROW(g.GetTrackUnixTime(0, 0, 2), 0),
        ROW(g.AddTrackData(0, 2, 35.0, 139.0, 0.0, 0), false), ROW(g.GetVersion(), 196613),
        // Datum selection falls back to Tokyo; names compare exactly.
        ROW((g.SelectDatum(121), g.GetDatumName()), "WGS 84"),
        ROW((g.SelectDatum(1000), g.GetDatumName()), "Tokyo"), ROW(g.GetSelectedDatumNumber(), 116),
        ROW(g.SelectDatumByName("WGS 84"), 121), ROW(g.SelectDatumByName("wgs 84"), 116),
        ROW(g.GetDatumName(), "Tokyo"), ROW(g.GetMapDatumDeltaA(), 739.845),
        // Strings cross as UTF-8 and are stored as code page 932.
        ROW((g.AddTrack("東京"), ControlOf(g.Object())->Store()->GetTrackName(2)),
            "\x93\x8c\x8b\x9e"),
        ROW(g.GetTrackName(2), "東京"),
        ROW((g.AddWaypoint("ﾄｳｷｮｳ", "駅", 35.0, 139.0, 0.0, 0, 0, 0.0), g.GetWaypointID(2)),
            "ﾄｳｷｮｳ"),
        ROW(g.GetWaypointComment(2), "駅"),
        // Each delete empties its own collection only.
        ROW((g.DeleteTrackAll(), g.GetTrackCount()), 0), ROW(g.GetWaypointCount(), 3),
        ROW((g.DeleteWaypointAll(), g.GetWaypointCount()), 0), ROW(g.GetRouteCount(), 2),
        ROW((g.DeleteRouteAll(), g.GetRouteCount()), 0),
        // Product 119 has the long symbol table; 41 (record type 4101) none.
        ROW(g.GetWaypointSymbolCount(), 126), ROW(g.SetProductID(41), true),
        ROW(g.GetWaypointSymbolCount(), 0), ROW(g.toWaypointSymbolNo("dot"), -1),
        ROW(g.toWaypointSymbolName(0), ""), ROW(g.GetWaypointSymbolName(0), ""),
        // The NMEA receiver starts once, also when its port cannot be opened.
        ROW(g.StartNMEAReceiving(), true), ROW(g.StartNMEAReceiving(), false),
        ROW(g.GetNumSatellite(), 0),
        ROW((g.StopNMEAReceiving(), g.StopNMEAReceiving(), g.StartNMEAReceiving()), true)};
    for (const auto row : rows)
        row(gps);
}

#undef ROW

TEST(InvokeRules, CountsCoercionsRefusalsAndProperties) {
    const std::unique_ptr<CSorvaneCtrl> ctrl = controltest::MakeControl(true);
    int n = 0;
    const auto call = [&](std::int32_t dispid, std::uint16_t flags, std::vector<Variant> args,
                          HResult hr, std::optional<Variant> want = std::nullopt,
                          std::optional<std::uint32_t> wantArgErr = std::nullopt) {
        SCOPED_TRACE(testing::Message() << "call " << ++n << ", DISPID " << dispid);
        Variant result;
        std::uint32_t argErr = 99;
        EXPECT_EQ(ctrl->Invoke(dispid, flags, args, &result, &argErr), hr);
        EXPECT_EQ(result, want.value_or(result));
        EXPECT_EQ(argErr, wantArgErr.value_or(argErr));
    };
    constexpr std::uint16_t M = kDispatchMethod, Get = kDispatchPropertyGet,
                            Put = kDispatchPropertyPut;
    const Variant zero(std::int16_t{0}), tokyo(std::int32_t{116}), version(std::int32_t{196613});
    // Reading changes nothing; a method without arguments reads as a property.
    call(1, Get, {}, kOk, Variant(std::int32_t{9600}));
    call(2, Get, {}, kOk, Variant(std::int16_t{1}));
    call(5, M, {}, kOk, zero);
    call(7, M, {}, kOk, version);
    call(7, Get, {}, kOk, version);
    EXPECT_FALSE(ctrl->IsModified());
    call(0, M, {}, kMemberNotFound);
    call(77, M, {}, kMemberNotFound);
    call(11, M, {}, kBadParamCount);
    call(7, M, {Variant(1)}, kBadParamCount);
    call(7, Put, {Variant(1)}, kMemberNotFound);
    // A short, a double or a boolean (-1, outside the table) for a long.
    call(35, M, {Variant(std::int16_t{121})}, kOk);
    call(36, M, {}, kOk, Variant("WGS 84"));
    call(35, M, {Variant(116.4)}, kOk);
    call(64, M, {}, kOk, tokyo);
    call(35, M, {Variant(121)}, kOk);
    call(35, M, {Variant(true)}, kOk);
    call(64, M, {}, kOk, tokyo);
    call(41, M, {Variant(70000)}, kOverflow, std::nullopt, 0u);
    // Strings only where strings are expected, and the other way round; the
    // index of the bad argument comes back.
    call(30, M, {Variant(5)}, kTypeMismatch, std::nullopt, 0u);
    call(11, M, {Variant("0")}, kTypeMismatch, std::nullopt, 0u);
    call(32, M, {"N", "C", "x", 139.0, 0.0, zero, zero, 0.0}, kTypeMismatch, std::nullopt, 2u);
    call(10, M, {}, kOk, Variant(std::int32_t{0}));
    // Outputs must be references of their own type.
    double d = 0;
    std::int32_t l = 0;
    call(18, M, {&d, &l}, kTypeMismatch, std::nullopt, 0u);
    call(22, M, {0, 0, 0, &d, &d, static_cast<double*>(nullptr)}, kTypeMismatch, std::nullopt, 5u);
    // Boolean results are automation booleans.
    call(30, M, {"T"}, kOk, Variant(true));
    call(25, M, {5}, kOk, Variant(false));
    // Properties: one value to put, none to get, and it must fit.
    call(1, Put, {4800}, kOk);
    call(1, Get, {}, kOk, Variant(std::int32_t{4800}));
    call(2, Put, {}, kBadParamCount);
    call(2, Put, {100000}, kOverflow);
    call(2, Put, {"3"}, kTypeMismatch);
    call(2, Get, {1}, kBadParamCount);
    call(2, 0, {}, kMemberNotFound);
    EXPECT_TRUE(ctrl->IsModified());
    // A transfer opens the port with the properties as they are now; the port
    // is the low byte.
    for (const auto& [dispid, value] :
         std::vector<std::pair<int, int>>{{2, 0x0103}, {3, 2}, {4, 7}, {5, 2}})
        call(dispid, Put, {std::int16_t(value)}, kOk);
    const PortSettings s = ctrl->LineSettings();
    EXPECT_EQ(std::tuple(s.port, s.baudRate, s.parity, s.dataBits, s.stopBits),
              std::tuple(3, 4800u, 2, 7, 2));
}

}  // namespace
}  // namespace sorvane
