// The control's members at their edges, through the same dispatch path a host uses.

#include "control/sorvane_ctrl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "control/dispatch_members.h"
#include "control/tsorvane.h"
#include "control_fixture.h"
#include "link/product_table.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using controltest::MakeObject;
using controltest::ObjectRef;

class ControlMembers : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }

    testsupport::ScopedEnv port_{"SORVANE_COM1", controltest::kMissingPort};
    ObjectRef object_{MakeObject(true)};
    TSorvane gps_{object_.object};
};

TEST_F(ControlMembers, BadWaypointIndexesGiveTheirFixedValues) {
    ASSERT_TRUE(gps_.AddWaypoint("A", "first", 35.0, 139.0, 10.0, 18, 2, 50.0));
    ASSERT_TRUE(gps_.AddWaypoint("B", "second", 35.1, 139.1, 20.0, 8, 1, 0.0));
    const std::int32_t count = gps_.GetWaypointCount();
    ASSERT_EQ(count, 2);
    for (std::int32_t bad : {-1, count}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(gps_.GetWaypointLatitude(bad), -9999.9);
        EXPECT_EQ(gps_.GetWaypointLongitude(bad), -9999.9);
        EXPECT_EQ(gps_.GetWaypointAltitude(bad), -9999.9);
        EXPECT_EQ(gps_.GetWaypointDst(bad), -1.0);
        EXPECT_EQ(gps_.GetWaypointSmbl(bad), 0);
        EXPECT_EQ(gps_.GetWaypointDspl(bad), -1);
        EXPECT_EQ(gps_.GetWaypointID(bad), "");
        EXPECT_EQ(gps_.GetWaypointComment(bad), "");
    }
    EXPECT_EQ(gps_.GetWaypointID(1), "B");
    EXPECT_EQ(gps_.GetWaypointSmbl(0), 18);
    EXPECT_EQ(gps_.GetWaypointDspl(0), 2);
    EXPECT_DOUBLE_EQ(gps_.GetWaypointDst(0), 50.0);
    // Positions go in and come out in the selected datum (one Molodensky step
    // each way, so not to the last digit).
    EXPECT_NEAR(gps_.GetWaypointLatitude(0), 35.0, 1e-5);
    EXPECT_NEAR(gps_.GetWaypointLongitude(0), 139.0, 1e-5);
}

TEST_F(ControlMembers, BadRouteWaypointDisplayIsZeroNotMinusOne) {
    ASSERT_TRUE(gps_.AddRoute("R1"));
    ASSERT_TRUE(gps_.AddRouteWaypoint(0, "P", "", 35.0, 139.0, 0.0, 3, 5, 1.5));
    EXPECT_FALSE(gps_.AddRouteWaypoint(1, "Q", "", 35.0, 139.0, 0.0, 3, 5, 1.5));
    EXPECT_EQ(gps_.GetRouteWaypointDspl(0, 1), 0);
    EXPECT_EQ(gps_.GetRouteWaypointDspl(-1, 0), 0);
    EXPECT_EQ(gps_.GetRouteWaypointDspl(0, 0), 5);
    EXPECT_EQ(gps_.GetRouteWaypointDst(0, 1), -1.0);
    EXPECT_EQ(gps_.GetRouteWaypointLatitude(0, 1), -9999.9);
    EXPECT_EQ(gps_.GetRouteWaypointCount(0), 1);
    EXPECT_EQ(gps_.GetRouteWaypointCount(1), 0);
    EXPECT_EQ(gps_.GetRouteName(0), "R1");
}

TEST_F(ControlMembers, TrackPositionWithBadIndexIsTrueWithZeros) {
    ASSERT_TRUE(gps_.AddTrack("T"));
    ASSERT_TRUE(gps_.AddTrackSegment(0));
    ASSERT_TRUE(gps_.AddTrackData(0, 0, 35.0, 139.0, 12.0, 123456));
    double lat = 1.0, lon = 2.0, alt = 3.0;
    EXPECT_TRUE(gps_.GetTrackPosition(0, 0, 1, &lat, &lon, &alt));
    EXPECT_EQ(lat, 0.0);
    EXPECT_EQ(lon, 0.0);
    EXPECT_EQ(alt, 0.0);
    lat = lon = alt = 9.0;
    EXPECT_TRUE(gps_.GetTrackPosition(-1, 0, 0, &lat, &lon, &alt));
    EXPECT_EQ(lat + lon + alt, 0.0);
    EXPECT_TRUE(gps_.GetTrackPosition(0, 0, 0, &lat, &lon, &alt));
    EXPECT_NEAR(lat, 35.0, 1e-5);
    EXPECT_NEAR(lon, 139.0, 1e-5);
    EXPECT_NEAR(alt, 12.0, 0.1);
    // The time stamp comes back exactly as given (receiver seconds).
    EXPECT_EQ(gps_.GetTrackUnixTime(0, 0, 0), 123456);
    EXPECT_EQ(gps_.GetTrackUnixTime(0, 0, 1), 0);
    EXPECT_EQ(gps_.GetTrackDataCount(0), 1);
    EXPECT_FALSE(gps_.AddTrackData(0, 1, 35.0, 139.0, 0.0, 0));
}

TEST_F(ControlMembers, ReadProductIdOnAnUnconnectedPort) {
    std::int32_t id = 55;
    std::int32_t ver = 4242;
    EXPECT_EQ(gps_.ReadProductID(&id, &ver), "");
    EXPECT_EQ(id, -1);
    EXPECT_EQ(ver, 4242);
    // The failed open left its error code.
    EXPECT_NE(gps_.GetErrorCode(), 0);
}

TEST_F(ControlMembers, DatumSelectionFallsBackToTokyo) {
    EXPECT_EQ(gps_.GetDatumCount(), 124);
    gps_.SelectDatum(121);
    EXPECT_EQ(gps_.GetDatumName(), "WGS 84");
    gps_.SelectDatum(1000);
    EXPECT_EQ(gps_.GetDatumName(), "Tokyo");
    EXPECT_EQ(gps_.GetSelectedDatumNumber(), 116);
    EXPECT_EQ(gps_.SelectDatumByName("WGS 84"), 121);
    EXPECT_EQ(gps_.SelectDatumByName("wgs 84"), 116);
    EXPECT_EQ(gps_.GetDatumName(), "Tokyo");
    EXPECT_EQ(gps_.GetEntryDatumName(0), "Adindan");
    EXPECT_EQ(gps_.GetEntryDatumName2(116), "Bessel_1841");
    EXPECT_EQ(gps_.GetEntryDatumName(124), "");
    EXPECT_DOUBLE_EQ(gps_.GetMapDatumDeltaA(), 739.845);
    EXPECT_DOUBLE_EQ(gps_.GetMapDatumDeltaF(), 0.10037483 * 0.0001);
    EXPECT_DOUBLE_EQ(gps_.GetMapDatumDeltaX(), -128.0);
    EXPECT_DOUBLE_EQ(gps_.GetMapDatumDeltaY(), 481.0);
    EXPECT_DOUBLE_EQ(gps_.GetMapDatumDeltaZ(), 664.0);
}

TEST_F(ControlMembers, TransformationsRoundTripAndCopyOnFailure) {
    double lat = 0, lon = 0, alt = 0;
    ASSERT_TRUE(gps_.TransformDatumWGS84IntoLocal(35.0, 139.0, 0.0, &lat, &lon, &alt));
    EXPECT_GT(std::abs(lat - 35.0), 1e-4);  // Tokyo lies visibly off WGS 84 here
    double back[3];
    ASSERT_TRUE(gps_.TransformDatumLocalIntoWGS84(lat, lon, alt, &back[0], &back[1], &back[2]));
    EXPECT_NEAR(back[0], 35.0, 1e-5);
    EXPECT_NEAR(back[1], 139.0, 1e-5);
    // A computation that cannot succeed copies the input.
    const double nan = std::nan("");
    EXPECT_FALSE(gps_.TransformDatumWGS84IntoLocal(nan, 139.0, 5.0, &lat, &lon, &alt));
    EXPECT_TRUE(std::isnan(lat));
    EXPECT_EQ(lon, 139.0);
    EXPECT_EQ(alt, 5.0);
    EXPECT_GT(gps_.CalcDistance(35.0, 139.0, 35.0, 140.0), 90000.0);
}

TEST_F(ControlMembers, VersionAndProductSelection) {
    EXPECT_EQ(gps_.GetVersion(), 196613);
    EXPECT_TRUE(gps_.SetProductID(96));
    EXPECT_FALSE(gps_.SetProductID(999));
    EXPECT_EQ(object_.ctrl().Store()->GetProductID(), 96);
    EXPECT_EQ(object_.ctrl().Store()->GetWaypointType(), 4103);
}

TEST_F(ControlMembers, SymbolsFollowTheProduct) {
    // Product 119 (record type 4104) has the long table.
    EXPECT_EQ(gps_.GetWaypointSymbolCount(), 126);
    EXPECT_EQ(gps_.GetWaypointSymbolName(0), "Airport");
    EXPECT_EQ(gps_.GetWaypointSymbolName(126), "");
    EXPECT_EQ(gps_.toWaypointSymbolNo("Zoo"), 8219);
    EXPECT_EQ(gps_.toWaypointSymbolNo("zoo"), 18);
    EXPECT_EQ(gps_.toWaypointSymbolName(177), "Waypoint dot");
    // Product 41 (record type 4101) has no symbol set.
    ASSERT_TRUE(gps_.SetProductID(41));
    EXPECT_EQ(gps_.GetWaypointSymbolCount(), 0);
    EXPECT_EQ(gps_.toWaypointSymbolNo("dot"), -1);
    EXPECT_EQ(gps_.toWaypointSymbolName(0), "");
    EXPECT_EQ(gps_.GetWaypointSymbolName(0), "");
}

TEST_F(ControlMembers, StringsCrossAsUtf8AndAreStoredAsCodePage932) {
    // "東京" is 0x93 0x8C 0x8B 0x9E in code page 932.
    ASSERT_TRUE(gps_.AddTrack("東京"));
    EXPECT_EQ(object_.ctrl().Store()->GetTrackName(0), "\x93\x8c\x8b\x9e");
    EXPECT_EQ(gps_.GetTrackName(0), "東京");
    // A name cut at 23 bytes keeps whole characters.
    const std::string twelve = "東京東京東京東京東京東京";
    ASSERT_TRUE(gps_.AddTrack(twelve));
    EXPECT_EQ(gps_.GetTrackName(1), "東京東京東京東京東京東");
    ASSERT_TRUE(gps_.AddWaypoint("ﾄｳｷｮｳ", "駅", 35.0, 139.0, 0.0, 0, 0, 0.0));
    EXPECT_EQ(gps_.GetWaypointID(0), "ﾄｳｷｮｳ");
    EXPECT_EQ(gps_.GetWaypointComment(0), "駅");
}

TEST_F(ControlMembers, UploadSingleRouteWithBadIndexFailsWithoutOpeningThePort) {
    ASSERT_TRUE(gps_.AddRoute("R"));
    object_.ctrl().Store()->SetErrorCode(12345);
    EXPECT_FALSE(gps_.UploadSingleRoute(5));
    EXPECT_EQ(gps_.GetErrorCode(), 12345);
}

TEST_F(ControlMembers, TransfersOnAMissingPortFailAndKeepTheStore) {
    ASSERT_TRUE(gps_.AddWaypoint("KEEP", "", 35.0, 139.0, 0.0, 0, 0, 0.0));
    EXPECT_EQ(gps_.DownloadWaypoint(), 0);
    EXPECT_EQ(gps_.DownloadTrack(), 0);
    EXPECT_EQ(gps_.DownloadRoute(), 0);
    EXPECT_FALSE(gps_.UploadWaypoint());
    EXPECT_EQ(gps_.GetWaypointID(0), "KEEP");
    EXPECT_NE(gps_.GetErrorCode(), 0);
}

TEST_F(ControlMembers, DeleteAllEmptiesEachCollection) {
    ASSERT_TRUE(gps_.AddTrack("T"));
    ASSERT_TRUE(gps_.AddWaypoint("W", "", 35.0, 139.0, 0.0, 0, 0, 0.0));
    ASSERT_TRUE(gps_.AddRoute("R"));
    gps_.DeleteTrackAll();
    EXPECT_EQ(gps_.GetTrackCount(), 0);
    EXPECT_EQ(gps_.GetWaypointCount(), 1);
    gps_.DeleteWaypointAll();
    gps_.DeleteRouteAll();
    EXPECT_EQ(gps_.GetWaypointCount(), 0);
    EXPECT_EQ(gps_.GetRouteCount(), 0);
}

TEST_F(ControlMembers, AbortOutsideATransferOnlySetsTheFlag) {
    gps_.AbortTransfer();
    EXPECT_TRUE(object_.ctrl().Store()->IsAbortRequested());
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

class InvokeRules : public ::testing::Test {
  protected:
    HResult Call(std::int32_t dispid, std::uint16_t flags, std::vector<Variant> args,
                 Variant* result = nullptr, std::uint32_t* argErr = nullptr) {
        args_ = std::move(args);
        return ctrl_->Invoke(dispid, flags, args_, result, argErr);
    }
    std::unique_ptr<CSorvaneCtrl> ctrl_ = controltest::MakeControl(true);
    std::vector<Variant> args_;
};

TEST_F(InvokeRules, UnknownDispidAndWrongCounts) {
    Variant r;
    EXPECT_EQ(Call(0, kDispatchMethod, {}), kMemberNotFound);
    EXPECT_EQ(Call(77, kDispatchMethod, {}), kMemberNotFound);
    EXPECT_EQ(Call(11, kDispatchMethod, {}), kBadParamCount);
    EXPECT_EQ(Call(7, kDispatchMethod, {Variant(1)}), kBadParamCount);
    EXPECT_EQ(Call(7, kDispatchPropertyPut, {Variant(1)}), kMemberNotFound);
    EXPECT_EQ(Call(7, kDispatchMethod, {}, &r), kOk);
    EXPECT_EQ(r, Variant(std::int32_t{196613}));
    // A method without arguments can be read as a property.
    EXPECT_EQ(Call(7, kDispatchPropertyGet, {}, &r), kOk);
}

TEST_F(InvokeRules, ArgumentsAreCoercedOrRefused) {
    Variant r;
    std::uint32_t argErr = 99;
    // A short for a long, a long for a short, a double for a long.
    EXPECT_EQ(Call(35, kDispatchMethod, {Variant(std::int16_t{121})}), kOk);
    EXPECT_EQ(ctrl_->GetDatumName(), "WGS 84");
    EXPECT_EQ(Call(35, kDispatchMethod, {Variant(116.4)}), kOk);
    EXPECT_EQ(ctrl_->GetSelectedDatumNumber(), 116);
    EXPECT_EQ(Call(41, kDispatchMethod, {Variant(std::int32_t{70000})}, &r, &argErr), kOverflow);
    EXPECT_EQ(argErr, 0u);
    // Strings only where strings are expected, and the other way round.
    EXPECT_EQ(Call(30, kDispatchMethod, {Variant(5)}, &r, &argErr), kTypeMismatch);
    EXPECT_EQ(Call(11, kDispatchMethod, {Variant("0")}, &r, &argErr), kTypeMismatch);
    // The third argument of AddWaypoint is bad: its index comes back.
    EXPECT_EQ(Call(32, kDispatchMethod,
                   {Variant("N"), Variant("C"), Variant("x"), Variant(139.0), Variant(0.0),
                    Variant(std::int16_t{0}), Variant(std::int16_t{0}), Variant(0.0)},
                   &r, &argErr),
              kTypeMismatch);
    EXPECT_EQ(argErr, 2u);
    EXPECT_EQ(ctrl_->GetWaypointCount(), 0);
    // Outputs must be references of their own type.
    double d = 0;
    std::int32_t l = 0;
    EXPECT_EQ(Call(18, kDispatchMethod, {Variant(&d), Variant(&l)}, &r, &argErr), kTypeMismatch);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(Call(22, kDispatchMethod,
                   {Variant(0), Variant(0), Variant(0), Variant(&d), Variant(&d),
                    Variant(static_cast<double*>(nullptr))},
                   &r, &argErr),
              kTypeMismatch);
    EXPECT_EQ(argErr, 5u);
    // A boolean for a number is -1 or 0.
    ctrl_->SelectDatum(121);
    EXPECT_EQ(Call(35, kDispatchMethod, {Variant(true)}), kOk);
    EXPECT_EQ(ctrl_->GetSelectedDatumNumber(), 116);  // -1 is outside the table
}

TEST_F(InvokeRules, BooleanResultsAreAutomationBooleans) {
    Variant r;
    ASSERT_EQ(Call(30, kDispatchMethod, {Variant("T")}, &r), kOk);
    EXPECT_EQ(r.type(), Variant::Type::Bool);
    EXPECT_TRUE(r.AsBool());
    std::int16_t asShort = 0;
    EXPECT_EQ(CoerceToI2(r, &asShort), kOk);
    EXPECT_EQ(asShort, -1);
    ASSERT_EQ(Call(25, kDispatchMethod, {Variant(5)}, &r), kOk);
    EXPECT_FALSE(r.AsBool());
}

TEST_F(InvokeRules, PropertiesGetAndPutAndMarkModified) {
    Variant r;
    EXPECT_FALSE(ctrl_->IsModified());
    ASSERT_EQ(Call(1, kDispatchPropertyGet, {}, &r), kOk);
    EXPECT_EQ(r, Variant(std::int32_t{9600}));
    ASSERT_EQ(Call(2, kDispatchPropertyGet, {}, &r), kOk);
    EXPECT_EQ(r, Variant(std::int16_t{1}));
    EXPECT_FALSE(ctrl_->IsModified());
    ASSERT_EQ(Call(1, kDispatchPropertyPut, {Variant(4800)}), kOk);
    EXPECT_TRUE(ctrl_->IsModified());
    EXPECT_EQ(ctrl_->GetBaudRate(), 4800);
    EXPECT_EQ(Call(2, kDispatchPropertyPut, {}), kBadParamCount);
    EXPECT_EQ(Call(2, kDispatchPropertyPut, {Variant(100000)}), kOverflow);
    EXPECT_EQ(Call(2, kDispatchPropertyPut, {Variant("3")}), kTypeMismatch);
    EXPECT_EQ(Call(2, kDispatchPropertyGet, {Variant(1)}, &r), kBadParamCount);
    EXPECT_EQ(Call(2, 0, {}), kMemberNotFound);
    ASSERT_EQ(Call(5, kDispatchMethod, {}, &r), kOk);
    EXPECT_EQ(r, Variant(std::int16_t{0}));
}

}  // namespace
}  // namespace sorvane
