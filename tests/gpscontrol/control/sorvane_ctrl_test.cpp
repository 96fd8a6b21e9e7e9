// The control's members at their edges, through the same dispatch path a host
// uses, and the rules of Invoke itself.

#include "control/sorvane_ctrl.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "control/dispatch_members.h"
#include "control/tsorvane.h"
#include "control_fixture.h"
#include "link/product_table.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using ::testing::ElementsAre;

class ControlMembers : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetProductTable();
        controltest::Fill(gps_);
    }
    void TearDown() override { ResetProductTable(); }

    testsupport::ScopedEnv port_{"SORVANE_COM1", controltest::kMissingPort};
    controltest::ObjectRef object_{controltest::MakeObject(true)};
    TSorvane gps_{object_.object};
};

// An expression on the wrapper g and the value it must give, compared as
// variants of the expression's type. Rows run in order on one control.
struct Row {
    const char* call;
    std::function<std::pair<Variant, Variant>(TSorvane&)> run;
};

template <class T, class W>
std::pair<Variant, Variant> GotAndWant(T got, W want) {
    return {Variant(got), Variant(T(want))};
}
// clang-format off
#define ROW(expr, want) Row{#expr, [](TSorvane& g) { return GotAndWant(expr, want); }}
// clang-format on

TEST_F(ControlMembers, FixedValuesAtTheEdgesAndWhatTheStoreHolds) {
    // Positions go in and come out in the selected datum (one Molodensky step
    // each way, so not to the last digit).
    EXPECT_NEAR(gps_.GetWaypointLatitude(0), 35.0, 1e-5);
    EXPECT_NEAR(gps_.GetWaypointLongitude(1), 139.1, 1e-5);
    EXPECT_NEAR(gps_.GetRouteWaypointAltitude(1, 1), 4.0, 0.1);
    const Row rows[] = {
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
        // Transfers on a missing port fail and keep the store.
        ROW(g.DownloadWaypoint(), 0), ROW(g.DownloadTrack(), 0), ROW(g.DownloadRoute(), 0),
        ROW(g.UploadWaypoint(), false), ROW(g.GetWaypointID(0), "A"),
        ROW(g.GetErrorCode() != 0, true),
        // Each delete empties its own collection only.
        ROW((g.DeleteTrackAll(), g.GetTrackCount()), 0), ROW(g.GetWaypointCount(), 2),
        ROW((g.DeleteWaypointAll(), g.GetWaypointCount()), 0), ROW(g.GetRouteCount(), 2),
        ROW((g.DeleteRouteAll(), g.GetRouteCount()), 0),
        // Product 119 has the long symbol table; 41 (record type 4101) none.
        ROW(g.GetWaypointSymbolCount(), 126), ROW(g.SetProductID(41), true),
        ROW(g.GetWaypointSymbolCount(), 0), ROW(g.toWaypointSymbolNo("dot"), -1),
        ROW(g.toWaypointSymbolName(0), ""), ROW(g.GetWaypointSymbolName(0), "")};
    for (const Row& row : rows) {
        const auto [got, want] = row.run(gps_);
        EXPECT_EQ(got, want) << row.call;
    }
}

#undef ROW

TEST_F(ControlMembers, TrackPositionWithBadIndexIsTrueWithZeros) {
    double p[3] = {1.0, 2.0, 3.0};
    EXPECT_TRUE(gps_.GetTrackPosition(0, 0, 2, &p[0], &p[1], &p[2]));
    EXPECT_THAT(p, ElementsAre(0.0, 0.0, 0.0));
    p[0] = p[1] = p[2] = 9.0;
    EXPECT_TRUE(gps_.GetTrackPosition(-1, 0, 0, &p[0], &p[1], &p[2]));
    EXPECT_THAT(p, ElementsAre(0.0, 0.0, 0.0));
    EXPECT_TRUE(gps_.GetTrackPosition(0, 1, 1, &p[0], &p[1], &p[2]));
    EXPECT_NEAR(p[0], 35.01, 1e-5);
    EXPECT_NEAR(p[1], 139.01, 1e-5);
    EXPECT_NEAR(p[2], 13.0, 0.1);
}

TEST_F(ControlMembers, ReadProductIdOnAnUnconnectedPort) {
    std::int32_t id = 55;
    std::int32_t ver = 4242;
    EXPECT_EQ(gps_.ReadProductID(&id, &ver), "");
    EXPECT_EQ(id, -1);
    EXPECT_EQ(ver, 4242);
    EXPECT_NE(gps_.GetErrorCode(), 0);  // the failed open left its code
}

TEST_F(ControlMembers, TransformationsGoEachTheirWay) {
    double lat = 0, lon = 0, alt = 0, back[3];
    ASSERT_TRUE(gps_.TransformDatumWGS84IntoLocal(35.0, 139.0, 0.0, &lat, &lon, &alt));
    EXPECT_LT(lat, 35.0 - 1e-3);  // Tokyo lies south of WGS 84 here
    ASSERT_TRUE(gps_.TransformDatumLocalIntoWGS84(lat, lon, alt, &back[0], &back[1], &back[2]));
    EXPECT_NEAR(back[0], 35.0, 1e-5);
    EXPECT_NEAR(back[1], 139.0, 1e-5);
    EXPECT_GT(gps_.CalcDistance(35.0, 139.0, 35.0, 140.0), 90000.0);
}

TEST_F(ControlMembers, StringsCrossAsUtf8AndAreStoredAsCodePage932) {
    // "東京" is 0x93 0x8C 0x8B 0x9E in code page 932.
    ASSERT_TRUE(gps_.AddTrack("東京"));
    EXPECT_EQ(object_.ctrl().Store()->GetTrackName(2), "\x93\x8c\x8b\x9e");
    EXPECT_EQ(gps_.GetTrackName(2), "東京");
    ASSERT_TRUE(gps_.AddWaypoint("ﾄｳｷｮｳ", "駅", 35.0, 139.0, 0.0, 0, 0, 0.0));
    EXPECT_EQ(gps_.GetWaypointID(2), "ﾄｳｷｮｳ");
    EXPECT_EQ(gps_.GetWaypointComment(2), "駅");
}

TEST_F(ControlMembers, LineSettingsAreReadAfreshFromTheProperties) {
    CSorvaneCtrl& c = object_.ctrl();
    c.SetCommPort(0x0103);
    c.SetBaudRate(4800);
    c.SetParity(2);
    c.SetDataLength(7);
    c.SetStopBit(2);
    const PortSettings s = c.LineSettings();
    EXPECT_EQ(s.port, 3);  // the low byte
    EXPECT_EQ(s.baudRate, 4800u);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, 2);
}

// ---- Invoke itself ---------------------------------------------------------------

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
        if (want) {
            EXPECT_EQ(result, *want);
        }
        if (wantArgErr) {
            EXPECT_EQ(argErr, *wantArgErr);
        }
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
}

}  // namespace
}  // namespace sorvane
