// Walks the whole dispatch table: every DISPID resolves by name and back, every
// member called through Invoke answers as the typed wrapper's call does, and a
// control without a store answers with the fixed no-store values.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "control/dispatch_members.h"
#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "control_fixture.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using controltest::MakeObject;
using controltest::ObjectRef;

// One sample argument of each type; outputs start from a sentinel so that
// "left untouched" can be seen.
template <AutoType T>
struct Sample;

template <>
struct Sample<AutoType::svI4> {
    std::int32_t v = 1;
    Variant ToVariant() { return Variant(v); }
    std::int32_t Typed() { return v; }
};
template <>
struct Sample<AutoType::svI2> {
    std::int16_t v = 1;
    Variant ToVariant() { return Variant(v); }
    std::int16_t Typed() { return v; }
};
template <>
struct Sample<AutoType::svR8> {
    double v = 35.25;
    Variant ToVariant() { return Variant(v); }
    double Typed() { return v; }
};
template <>
struct Sample<AutoType::svPBstr> {
    std::string v = "Tokyo";
    Variant ToVariant() { return Variant(v); }
    const std::string& Typed() { return v; }
};
template <>
struct Sample<AutoType::svPI4> {
    std::int32_t v = 777;
    Variant ToVariant() { return Variant(&v); }
    std::int32_t* Typed() { return &v; }
};
template <>
struct Sample<AutoType::svPI2> {
    std::int16_t v = 77;
    Variant ToVariant() { return Variant(&v); }
    std::int16_t* Typed() { return &v; }
};
template <>
struct Sample<AutoType::svPR8> {
    double v = 7.5;
    Variant ToVariant() { return Variant(&v); }
    double* Typed() { return &v; }
};

template <AutoType R, class V>
Variant AsVariant(V&& v) {
    if constexpr (R == AutoType::svI2)
        return Variant(static_cast<std::int16_t>(v));
    else if constexpr (R == AutoType::svI4)
        return Variant(static_cast<std::int32_t>(v));
    else if constexpr (R == AutoType::svR8)
        return Variant(static_cast<double>(v));
    else if constexpr (R == AutoType::svBool)
        return Variant(static_cast<bool>(v));
    else
        return Variant(std::string(v));
}

// What a call gave: its result and the values of its arguments afterwards.
struct Outcome {
    HResult hr = kOk;
    Variant result;
    std::vector<Variant> args;  // outputs read back as values
};

template <class Tuple>
std::vector<Variant> ArgValues(Tuple& samples) {
    std::vector<Variant> out;
    std::apply([&](auto&... s) { (out.push_back(Variant(s.v)), ...); }, samples);
    return out;
}

template <AutoType R, AutoType... P>
Outcome ThroughInvoke(CSorvaneCtrl& ctrl, std::int32_t dispid) {
    std::tuple<Sample<P>...> samples;
    std::vector<Variant> args;
    std::apply([&](auto&... s) { (args.push_back(s.ToVariant()), ...); }, samples);
    Outcome o;
    o.hr = ctrl.Invoke(dispid, kDispatchMethod, args, &o.result);
    o.args = ArgValues(samples);
    return o;
}

template <AutoType R, AutoType... P, class Call>
Outcome ThroughWrapper(TSorvane& wrapper, Call&& call) {
    std::tuple<Sample<P>...> samples;
    Outcome o;
    if constexpr (R == AutoType::svVoid) {
        std::apply([&](auto&... s) { call(s.Typed()...); }, samples);
    } else {
        o.result =
            AsVariant<R>(std::apply([&](auto&... s) { return call(s.Typed()...); }, samples));
    }
    o.hr = wrapper.LastResult();
    o.args = ArgValues(samples);
    return o;
}

struct MemberCall {
    std::int32_t dispid;
    const char* name;
    std::function<Outcome(CSorvaneCtrl&)> invoke;
    std::function<Outcome(TSorvane&)> typed;
};

#define WALK_TYPE(i, T, n) , AutoType::T
#define WALK_METHOD(id, name, R, ...)                                                             \
    MemberCall{id, #name,                                                                         \
               [](CSorvaneCtrl& c) {                                                              \
                   return ThroughInvoke<AutoType::R SORVANE_PP_FOR_EACH(WALK_TYPE __VA_OPT__(, )  \
                                                                            __VA_ARGS__)>(c, id); \
               },                                                                                 \
               [](TSorvane& w) {                                                                  \
                   return ThroughWrapper<AutoType::R SORVANE_PP_FOR_EACH(WALK_TYPE __VA_OPT__(, ) \
                                                                             __VA_ARGS__)>(       \
                       w, [&](auto&&... a) -> decltype(auto) { return w.name(a...); });           \
               }},

const std::vector<MemberCall>& MethodCalls() {
    static const std::vector<MemberCall> calls = {SORVANE_DISPATCH_METHODS(WALK_METHOD)};
    return calls;
}

#undef WALK_METHOD
#undef WALK_TYPE

bool SameVariant(const Variant& a, const Variant& b) {
    if (a.type() == Variant::Type::R8 && b.type() == Variant::Type::R8 && std::isnan(a.AsR8()))
        return std::isnan(b.AsR8());
    return a == b;
}

class DispatchWalk : public ::testing::Test {
  protected:
    // Transfers and the NMEA receiver find no device behind port 1.
    testsupport::ScopedEnv port_{"SORVANE_COM1", controltest::kMissingPort};
};

TEST_F(DispatchWalk, TableHoldsDispids1To76InOrderWithUniqueNames) {
    ASSERT_EQ(kDispatchMemberCount, 76);
    std::set<std::string> names;
    for (int i = 0; i < kDispatchMemberCount; ++i) {
        const MemberInfo& m = kDispatchMembers[i];
        EXPECT_EQ(m.dispid, i + 1);
        EXPECT_EQ(m.kind, i < 5 ? MemberKind::Property : MemberKind::Method) << m.name;
        EXPECT_TRUE(names.insert(m.name).second) << m.name;
    }
    ASSERT_EQ(kEventCount, 2);
    EXPECT_STREQ(kEventMembers[0].name, "Receiving");
    EXPECT_EQ(kEventMembers[0].paramCount, 2);
    EXPECT_STREQ(kEventMembers[1].name, "NMEAReceived");
    EXPECT_EQ(kEventMembers[1].paramCount, 7);
    EXPECT_EQ(kEventMembers[1].params[6].type, AutoType::svI2);
    EXPECT_EQ(MethodCalls().size(), 71u);
}

TEST_F(DispatchWalk, EveryDispidResolvesByNameAndBack) {
    for (const MemberInfo& m : DispatchMembers()) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(FindMember(m.dispid), &m);
        EXPECT_EQ(DispidOfName(m.name), m.dispid);
        EXPECT_EQ(sorvane_get_dispid(m.name), m.dispid);
        EXPECT_STREQ(sorvane_get_name(m.dispid), m.name);
        // Automation names do not depend on letter case.
        std::string upper = m.name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(DispidOfName(upper), m.dispid);
    }
    for (const MemberInfo& e : EventMembers()) {
        EXPECT_EQ(sorvane_get_event_dispid(e.name), e.dispid);
        EXPECT_STREQ(sorvane_get_event_name(e.dispid), e.name);
    }
    EXPECT_EQ(DispidOfName("NoSuchMember"), -1);
    EXPECT_EQ(DispidOfName(""), -1);
    EXPECT_EQ(sorvane_get_dispid(nullptr), -1);
    EXPECT_EQ(sorvane_get_name(0), nullptr);
    EXPECT_EQ(sorvane_get_name(77), nullptr);
    EXPECT_EQ(sorvane_get_param_count(33), 9);
    EXPECT_EQ(sorvane_get_param_count(1), 0);
    EXPECT_EQ(sorvane_get_param_count(-5), -1);
}

void ExpectInvokeMatchesWrapper(bool withStore) {
    ObjectRef a(MakeObject(withStore));
    ObjectRef b(MakeObject(withStore));
    TSorvane wrapper(b.object);
    ASSERT_TRUE(wrapper.ok());
    for (const MemberCall& call : MethodCalls()) {
        SCOPED_TRACE(call.name);
        const Outcome viaInvoke = call.invoke(a.ctrl());
        const Outcome viaWrapper = call.typed(wrapper);
        EXPECT_EQ(viaInvoke.hr, kOk);
        EXPECT_EQ(viaWrapper.hr, kOk);
        EXPECT_TRUE(SameVariant(viaInvoke.result, viaWrapper.result))
            << VariantTypeName(viaInvoke.result.type()) << " vs "
            << VariantTypeName(viaWrapper.result.type());
        ASSERT_EQ(viaInvoke.args.size(), viaWrapper.args.size());
        for (std::size_t i = 0; i < viaInvoke.args.size(); ++i)
            EXPECT_TRUE(SameVariant(viaInvoke.args[i], viaWrapper.args[i])) << "argument " << i;
    }
    // Properties both ways.
    EXPECT_EQ(wrapper.get_BaudRate(), a.ctrl().GetBaudRate());
    wrapper.set_CommPort(4);
    Variant four(static_cast<std::int16_t>(4));
    std::vector<Variant> put = {four};
    ASSERT_EQ(a.ctrl().Invoke(2, kDispatchPropertyPut, put, nullptr), kOk);
    EXPECT_EQ(b.ctrl().GetCommPort(), a.ctrl().GetCommPort());
}

TEST_F(DispatchWalk, InvokeAnswersAsTheTypedWrapperWithAStore) {
    ExpectInvokeMatchesWrapper(true);
}

TEST_F(DispatchWalk, InvokeAnswersAsTheTypedWrapperWithoutAStore) {
    ExpectInvokeMatchesWrapper(false);
}

TEST_F(DispatchWalk, NoStoreValuesOfEveryMember) {
    const Variant kError("ERROR");
    const Variant kBad(-9999.9);
    const Variant kFalse(false);
    const Variant kEmpty;
    const Variant kZero(std::int32_t{0});
    // Result of each method called with the samples (long 1, short 1, double
    // 35.25, string "Tokyo") on a control whose store could not be created.
    const std::map<std::string, Variant> expected = {
        {"DownloadTrack", Variant(std::int32_t{1})},
        {"GetVersion", Variant(std::int32_t{196613})},
        {"GetTrackCount", kZero},
        {"DownloadWaypoint", Variant(std::int32_t{1})},
        {"GetWaypointCount", kZero},
        {"GetWaypointID", kError},
        {"GetWaypointComment", kError},
        {"GetWaypointLatitude", kBad},
        {"GetWaypointLongitude", kBad},
        {"DownloadRoute", Variant(std::int32_t{1})},
        {"GetRouteCount", kZero},
        {"GetRouteWaypointCount", kZero},
        {"ReadProductID", kError},
        {"GetTrackName", kError},
        {"UploadTrack", kFalse},
        {"GetTrackSegmentCount", kZero},
        {"GetTrackPosition", kFalse},
        {"UploadWaypoint", kFalse},
        {"UploadRoute", kFalse},
        {"AddTrackSegment", kFalse},
        {"AddTrackData", kFalse},
        {"DeleteTrackAll", kEmpty},
        {"DeleteWaypointAll", kEmpty},
        {"DeleteRouteAll", kEmpty},
        {"AddTrack", kFalse},
        {"AddRoute", kFalse},
        {"AddWaypoint", kFalse},
        {"AddRouteWaypoint", kFalse},
        {"GetDatumCount", kZero},
        {"SelectDatum", kEmpty},
        {"GetDatumName", kError},
        {"StartNMEAReceiving", kFalse},
        {"StopNMEAReceiving", kEmpty},
        {"GetNumSatellite", kZero},
        {"GetSatelliteData", kFalse},
        {"UploadSingleRoute", kFalse},
        {"SetProductID", kFalse},
        {"TransformDatumWGS84IntoLocal", kFalse},
        {"TransformDatumLocalIntoWGS84", kFalse},
        {"GetTrackDataCount", kZero},
        {"GetTrackSegmentDataCount", kZero},
        {"GetRouteName", kError},
        {"GetWaypointAltitude", kBad},
        {"GetRouteWaypointLatitude", kBad},
        {"GetRouteWaypointLongitude", kBad},
        {"GetRouteWaypointAltitude", kBad},
        {"GetRouteWaypointID", kError},
        {"GetRouteWaypointComment", kError},
        {"GetWaypointDst", Variant(-1.0)},
        {"GetWaypointSmbl", Variant(std::int16_t{0})},
        {"GetWaypointDspl", Variant(std::int16_t{-1})},
        {"GetRouteWaypointDst", Variant(-1.0)},
        {"GetRouteWaypointSmbl", Variant(std::int16_t{0})},
        {"GetRouteWaypointDspl", Variant(std::int16_t{0})},
        {"AbortTransfer", kEmpty},
        {"CalcDistance", Variant(0.0)},
        {"GetEntryDatumName", kError},
        {"GetEntryDatumName2", kError},
        {"GetSelectedDatumNumber", Variant(std::int32_t{-1})},
        {"GetMapDatumDeltaA", Variant(0.0)},
        {"GetMapDatumDeltaF", Variant(0.0)},
        {"GetMapDatumDeltaX", Variant(0.0)},
        {"GetMapDatumDeltaY", Variant(0.0)},
        {"GetMapDatumDeltaZ", Variant(0.0)},
        {"GetTrackUnixTime", kZero},
        {"GetWaypointSymbolCount", kZero},
        {"GetWaypointSymbolName", kError},
        {"toWaypointSymbolName", kError},
        {"toWaypointSymbolNo", kZero},
        {"SelectDatumByName", kZero},
        {"GetErrorCode", Variant(std::int32_t{-1})},
    };
    ASSERT_EQ(expected.size(), 71u);

    ObjectRef object(MakeObject(false));
    CSorvaneCtrl& ctrl = object.ctrl();
    ASSERT_FALSE(ctrl.HasStore());
    for (const MemberCall& call : MethodCalls()) {
        SCOPED_TRACE(call.name);
        const auto it = expected.find(call.name);
        ASSERT_NE(it, expected.end());
        const Outcome o = call.invoke(ctrl);
        ASSERT_EQ(o.hr, kOk);
        EXPECT_TRUE(SameVariant(o.result, it->second))
            << VariantTypeName(o.result.type()) << " " << o.result.AsString();
        const std::string name = call.name;
        // Outputs: only ReadProductID writes (-1 to id); the transformations
        // copy their inputs; everything else leaves them alone.
        if (name == "ReadProductID") {
            EXPECT_EQ(o.args[0], Variant(std::int32_t{-1}));
            EXPECT_EQ(o.args[1], Variant(std::int32_t{777}));
        } else if (name == "GetTrackPosition") {
            for (int i = 3; i < 6; ++i)
                EXPECT_EQ(o.args[i], Variant(7.5));
        } else if (name.starts_with("TransformDatum")) {
            for (int i = 3; i < 6; ++i)
                EXPECT_EQ(o.args[i], Variant(35.25));
        } else if (name == "GetSatelliteData") {
            for (int i = 1; i < 5; ++i)
                EXPECT_EQ(o.args[i], Variant(std::int16_t{77}));
        }
    }
    // The properties work without a store.
    EXPECT_EQ(ctrl.GetBaudRate(), 9600);
    EXPECT_EQ(ctrl.GetCommPort(), 1);
}

}  // namespace
}  // namespace sorvane
