// Walks the whole dispatch table: every DISPID resolves by name and back, every
// member called through Invoke answers as the typed wrapper's call does, and a
// control without a store answers with the fixed no-store values.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>
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

template <class Tuple>
std::vector<Variant> ArgValues(Tuple& samples) {
    std::vector<Variant> out;
    std::apply([&](auto&... s) { (out.push_back(Variant(s.v)), ...); }, samples);
    return out;
}

// One member called through Invoke on ctrl and through the wrapper's typed call.
template <AutoType R, AutoType... P, class Call>
std::pair<Outcome, Outcome> CallBothWays(CSorvaneCtrl& ctrl, std::int32_t dispid, TSorvane& wrapper,
                                         Call&& call) {
    std::tuple<Sample<P>...> forInvoke, forWrapper;
    Outcome i, w;
    std::vector<Variant> args;
    std::apply([&](auto&... s) { (args.push_back(s.ToVariant()), ...); }, forInvoke);
    i.hr = ctrl.Invoke(dispid, kDispatchMethod, args, &i.result);
    if constexpr (R == AutoType::svVoid)
        std::apply([&](auto&... s) { call(s.Typed()...); }, forWrapper);
    else
        w.result = Variant(std::apply([&](auto&... s) { return call(s.Typed()...); }, forWrapper));
    w.hr = wrapper.LastResult();
    i.args = ArgValues(forInvoke);
    w.args = ArgValues(forWrapper);
    return {i, w};
}

struct MemberCall {
    const char* name;
    std::function<std::pair<Outcome, Outcome>(CSorvaneCtrl&, TSorvane&)> call;
};

#define WALK_TYPE(i, T, n) , AutoType::T
#define WALK_METHOD(id, name, R, ...)                                                           \
    MemberCall{#name, [](CSorvaneCtrl& c, TSorvane& w) {                                        \
                   return CallBothWays<AutoType::R SORVANE_PP_FOR_EACH(WALK_TYPE __VA_OPT__(, ) \
                                                                           __VA_ARGS__)>(       \
                       c, id, w, [&](auto&&... a) -> decltype(auto) { return w.name(a...); });  \
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
    // Calls every member on two controls in the same state, one through Invoke
    // and one through the wrapper; returns what Invoke gave, by name.
    static std::map<std::string, Outcome> Walk(bool withStore) {
        ObjectRef a(MakeObject(withStore));
        ObjectRef b(MakeObject(withStore));
        TSorvane viaA(a.object);
        TSorvane viaB(b.object);
        EXPECT_TRUE(viaB.ok());
        std::map<std::string, Outcome> outcomes;
        for (const MemberCall& call : MethodCalls()) {
            SCOPED_TRACE(call.name);
            controltest::Fill(viaA);
            controltest::Fill(viaB);
            const auto [viaInvoke, viaWrapper] = call.call(a.ctrl(), viaB);
            EXPECT_EQ(viaInvoke.hr, kOk);
            EXPECT_EQ(viaWrapper.hr, kOk);
            EXPECT_TRUE(SameVariant(viaInvoke.result, viaWrapper.result))
                << VariantTypeName(viaInvoke.result.type()) << " vs "
                << VariantTypeName(viaWrapper.result.type());
            EXPECT_EQ(viaInvoke.args.size(), viaWrapper.args.size());
            for (std::size_t i = 0; i < viaInvoke.args.size(); ++i)
                EXPECT_TRUE(SameVariant(viaInvoke.args[i], viaWrapper.args[i])) << "argument " << i;
            outcomes[call.name] = viaInvoke;
        }
        // Properties both ways.
        EXPECT_EQ(viaB.get_BaudRate(), a.ctrl().GetBaudRate());
        viaB.set_CommPort(4);
        std::vector<Variant> put = {Variant(std::int16_t{4})};
        EXPECT_EQ(a.ctrl().Invoke(2, kDispatchPropertyPut, put, nullptr), kOk);
        EXPECT_EQ(b.ctrl().GetCommPort(), a.ctrl().GetCommPort());
        return outcomes;
    }

    // Transfers and the NMEA receiver find no device behind port 1.
    testsupport::ScopedEnv port_{"SORVANE_COM1", controltest::kMissingPort};
};

TEST_F(DispatchWalk, EveryDispidResolvesByNameAndBack) {
    ASSERT_EQ(kDispatchMemberCount, 76);
    ASSERT_EQ(MethodCalls().size(), 71u);
    std::set<std::string> names;
    for (int i = 0; i < kDispatchMemberCount; ++i) {
        const MemberInfo& m = kDispatchMembers[i];
        SCOPED_TRACE(m.name);
        EXPECT_EQ(m.dispid, i + 1);
        EXPECT_EQ(m.kind, i < 5 ? MemberKind::Property : MemberKind::Method);
        EXPECT_TRUE(names.insert(m.name).second);
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
    ASSERT_EQ(kEventCount, 2);
    for (const MemberInfo& e : EventMembers()) {
        EXPECT_EQ(sorvane_get_event_dispid(e.name), e.dispid);
        EXPECT_STREQ(sorvane_get_event_name(e.dispid), e.name);
    }
    EXPECT_STREQ(sorvane_get_event_name(1), "Receiving");
    EXPECT_STREQ(sorvane_get_event_name(2), "NMEAReceived");
    EXPECT_EQ(DispidOfName("NoSuchMember"), -1);
    EXPECT_EQ(DispidOfName(""), -1);
    EXPECT_EQ(sorvane_get_dispid(nullptr), -1);
    EXPECT_EQ(sorvane_get_name(0), nullptr);
    EXPECT_EQ(sorvane_get_name(77), nullptr);
    EXPECT_EQ(sorvane_get_param_count(33), 9);
    EXPECT_EQ(sorvane_get_param_count(1), 0);
    EXPECT_EQ(sorvane_get_param_count(-5), -1);
}

TEST_F(DispatchWalk, InvokeAnswersAsTheTypedWrapperWithAStore) {
    Walk(true);
}

TEST_F(DispatchWalk, NoStoreValuesOfEveryMember) {
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
    ASSERT_EQ(expected.size(), 71u);

    const std::map<std::string, Outcome> outcomes = Walk(false);
    ASSERT_EQ(outcomes.size(), 71u);
    for (const auto& [name, o] : outcomes) {
        SCOPED_TRACE(name);
        const auto it = expected.find(name);
        ASSERT_NE(it, expected.end());
        EXPECT_TRUE(SameVariant(o.result, it->second))
            << VariantTypeName(o.result.type()) << " " << o.result.AsString();
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
    const std::unique_ptr<CSorvaneCtrl> ctrl = controltest::MakeControl(false);
    ASSERT_FALSE(ctrl->HasStore());
    EXPECT_EQ(ctrl->GetBaudRate(), 9600);
    EXPECT_EQ(ctrl->GetCommPort(), 1);
}

}  // namespace
}  // namespace sorvane
