#include "link/device_records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "link/packet.h"
#include "link/product_table.h"

namespace sorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::span<const std::uint8_t> DataOf(const Bytes& packet) {
    return PacketData(packet.data(), packet.size());
}

Bytes Slice(const Bytes& packet, std::size_t dataOffset, std::size_t n) {
    return Bytes(packet.begin() + 3 + dataOffset, packet.begin() + 3 + dataOffset + n);
}

bool ChecksumOk(const Bytes& p) {
    return PacketChecksum(p.data(), p.size()) == p[p.size() - 3];
}

WaypointRecord MakeWaypoint(const char* name, const char* comment) {
    WaypointRecord w;
    std::strncpy(w.name, name, kNameMax);
    std::strncpy(w.comment, comment, kCommentMax);
    w.latitude = 36.0;
    w.longitude = -35.5;
    w.altitude = 120.25;
    w.symbol = 0x1234;
    w.display = 2;
    w.proximity = 50.0f;
    return w;
}

// --- Encodings ---------------------------------------------------------------

TEST(PositionEncoding, WaypointsRoundHalfUpAndTrackPointsTruncate) {
    EXPECT_EQ(WaypointPositionToWire(36.0), 429496730);
    EXPECT_EQ(TrackPositionToWire(36.0), 429496729);
    EXPECT_EQ(WaypointPositionToWire(-35.5), -423531496);
    EXPECT_EQ(TrackPositionToWire(-35.5), -423531497);
    EXPECT_EQ(WaypointPositionToWire(0.0), 0);
}

TEST(PositionEncoding, ReceivedUnitsBecomeDegrees) {
    EXPECT_DOUBLE_EQ(PositionFromWire(429496730), 429496730 * 8.381903171539307e-8);
    EXPECT_NEAR(PositionFromWire(429496730), 36.0, 1e-7);
    EXPECT_NEAR(PositionFromWire(std::numeric_limits<std::int32_t>::min()), -180.0, 1e-9);
}

TEST(PositionEncoding, OutOfRangeDegreesAreClampedNotUndefined) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(WaypointPositionToWire(std::nan("")), 0);
    EXPECT_EQ(TrackPositionToWire(inf), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(TrackPositionToWire(-inf), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(WaypointPositionToWire(1e300), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(TrackPositionToWire(180.0), std::numeric_limits<std::int32_t>::max());
}

TEST(TimeEncoding, ReceiverSecondsAreOffsetFromUnixTime) {
    EXPECT_EQ(ReceiverTimeToUnix(0), 631065600);
    EXPECT_EQ(ReceiverTimeToUnix(0xFFFFFFFFu), 631065600LL + 0xFFFFFFFFLL);
    EXPECT_EQ(UnixToReceiverTime(631065600 + 42), 42u);
    EXPECT_EQ(UnixToReceiverTime(0), 0u);
    EXPECT_EQ(UnixToReceiverTime(1LL << 40), 0xFFFFFFFFu);
}

TEST(AltitudeEncoding, NewerWaypointAltitudeIsKeptOrBecomesNone) {
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(100.0f), 100.0);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(-12.25f), -12.25);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(1.0e25f), -9999.0);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(-10000.0f), -9999.0);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(-9999.5f), -9999.0);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(99999.0f), 99999.0);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(99999.5f), -9999.0);
    EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(std::nanf("")), -9999.0);
}

TEST(FieldAccess, LittleEndianAndZeroBeyondTheEnd) {
    const Bytes d = {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F};
    EXPECT_EQ(GetU16(d, 0), 0x1234);
    EXPECT_EQ(GetS16(d, 2), -1);
    EXPECT_EQ(GetS32(d, 0), static_cast<std::int32_t>(0xFFFF1234u));
    EXPECT_FLOAT_EQ(GetF32(d, 4), 1.0f);
    EXPECT_EQ(GetU16(d, 7), 0x3F);
    EXPECT_EQ(GetU32(d, 100), 0u);
}

// --- Names -------------------------------------------------------------------

TEST(WaypointNames, CharacterSet1UploadUpperCasesAndCuts) {
    EXPECT_EQ(UploadWaypointName("ab", 1, false), "AB");
    EXPECT_EQ(UploadWaypointName("home-base1", 1, false), "HOME-B");
    EXPECT_EQ(UploadWaypointName("home-base1x", 1, true), "HOME-BASE1");
    EXPECT_EQ(UploadWaypointName(std::string_view("ab\0cd", 5), 1, true), "AB");
}

TEST(WaypointNames, CharacterSet2UploadTranslates) {
    // Half-width katakana, a digit, a blank and a letter the receiver lacks.
    const std::string name =
        "\xB1\xC0"
        "5 A";
    EXPECT_EQ(UploadWaypointName(name, 2, false), "\x21\x30\x57\x20\x52");
}

TEST(WaypointNames, CharacterSet2DownloadPadsTheFirstSixWithBlanks) {
    char name[kNameMax + 1];
    const Bytes field = {0x21, 0x52, 0x00, 0x00, 0x00, 0x00};
    DownloadWaypointName(field, 2, false, name);
    EXPECT_STREQ(name, "\xB1\x30    ");
}

TEST(WaypointNames, CharacterSet2NewerNamesAreTranslatedToTheirEnd) {
    char name[kNameMax + 1];
    // Eight receiver characters: characters 7 and 8 are translated too.
    Bytes area = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x52, 0x5C, 0, 0, 0, 0};
    DownloadWaypointName(area, 2, true, name);
    EXPECT_STREQ(name,
                 "\xB1\xB2\xB3\xB4\xB5\xB6"
                 "0-");
    // Short names come out padded to six.
    area = {0x53, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    DownloadWaypointName(area, 2, true, name);
    EXPECT_STREQ(name, "1     ");
}

TEST(WaypointNames, CharacterSet1DownloadKeepsBytes) {
    char name[kNameMax + 1];
    const Bytes older = {'a', 'B', ' ', ' ', ' ', ' '};
    DownloadWaypointName(older, 1, false, name);
    EXPECT_STREQ(name, "aB    ");
    const Bytes newer = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L'};
    DownloadWaypointName(newer, 1, true, name);
    EXPECT_STREQ(name, "ABCDEFGHIJ");
}

TEST(WaypointNames, CharacterSet2TablesRoundTripEveryKatakanaTheReceiverShows) {
    for (int code = 0x21; code <= 0x5E; ++code) {
        const std::uint8_t shown = Charset2Download(static_cast<std::uint8_t>(code));
        EXPECT_EQ(Charset2Upload(shown), code) << "receiver code " << code;
    }
    // Everything without an entry goes up as the digit 0 (receiver 0x52).
    EXPECT_EQ(Charset2Upload('A'), 0x52);
    EXPECT_EQ(Charset2Upload(0xA7), 0x52);
    EXPECT_EQ(Charset2Download(0x80), 0x20);
    EXPECT_EQ(Charset2Download(0xFF), 0x20);
    EXPECT_EQ(Charset2Download(0x5F), 0x20);
}

// --- Fixed packets ---------------------------------------------------------------

TEST(ControlPackets, CommandRecordsAndTransferComplete) {
    EXPECT_THAT(BuildCommandPacket(kCommandTransferWaypoints),
                ElementsAre(0x10, 0x0A, 0x02, 0x07, 0x00, 0xED, 0x10, 0x03));
    EXPECT_THAT(BuildRecordsPacket(0x1234),
                ElementsAre(0x10, 0x1B, 0x02, 0x34, 0x12, 0x9D, 0x10, 0x03));
    EXPECT_THAT(BuildTransferCompletePacket(29),
                ElementsAre(0x10, 0x0C, 0x02, 0x1D, 0x00, 0xD5, 0x10, 0x03));
    const Bytes request = BuildProductRequestPacket();
    EXPECT_EQ(StuffFrame(request.data(), request.size()),
              (Bytes{0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}));
}

TEST(ControlPackets, RecordsCountIsSigned16) {
    EXPECT_EQ(ParseRecordsCount(Bytes{0xFF, 0x7F}), 32767);
    EXPECT_EQ(ParseRecordsCount(Bytes{0xFF, 0xFF}), -1);
    EXPECT_EQ(ParseRecordsCount(Bytes{0x05}), 5);
}

// --- Waypoint layouts ------------------------------------------------------------

TEST(WaypointLayouts, PacketLengthsPerType) {
    const WaypointRecord w = MakeWaypoint("ab", "note");
    EXPECT_EQ(BuildWaypointPacket(4101, 1, kPidWaypoint, w).size(), 64u);
    EXPECT_EQ(BuildWaypointPacket(4103, 1, kPidWaypoint, w).size(), 66u);
    EXPECT_EQ(BuildWaypointPacket(4104, 1, kPidWaypoint, w).size(), 71u);
    EXPECT_EQ(BuildWaypointPacket(4108, 1, kPidWaypoint, w).size(), 70u);
    EXPECT_EQ(BuildWaypointPacket(4109, 1, kPidRouteWaypoint, w).size(), 74u);
    EXPECT_EQ(BuildWaypointPacket(500, 1, kPidWaypoint, w).size(), 64u);  // unknown: 4101
}

TEST(WaypointLayouts, Older4103ByteForByte) {
    const WaypointRecord w = MakeWaypoint("ab", "note");
    const Bytes p = BuildWaypointPacket(4103, 1, kPidRouteWaypoint, w);
    ASSERT_EQ(p.size(), 66u);
    EXPECT_THAT(Bytes(p.begin(), p.begin() + 3), ElementsAre(0x10, 30, 60));
    EXPECT_THAT(Slice(p, 0, 6), ElementsAre('A', 'B', ' ', ' ', ' ', ' '));
    EXPECT_THAT(Slice(p, 6, 4), ElementsAre(0x9A, 0x99, 0x99, 0x19));   // 429496730
    EXPECT_THAT(Slice(p, 10, 4), ElementsAre(0x18, 0x6C, 0xC1, 0xE6));  // -423531496
    EXPECT_THAT(Slice(p, 14, 4), ElementsAre(0, 0, 0, 0));
    Bytes comment = {'n', 'o', 't', 'e'};
    comment.resize(40, ' ');
    EXPECT_EQ(Slice(p, 18, 40), comment);
    EXPECT_EQ(p[3 + 58], 0x34);  // low byte of the symbol
    EXPECT_EQ(p[3 + 59], 2);
    EXPECT_THAT(Bytes(p.end() - 2, p.end()), ElementsAre(0x10, 0x03));
    EXPECT_TRUE(ChecksumOk(p));
}

TEST(WaypointLayouts, Older4104CarriesProximityAndFullSymbol) {
    const WaypointRecord w = MakeWaypoint("abcdefgh", std::string(50, 'c').c_str());
    const Bytes p = BuildWaypointPacket(4104, 1, kPidWaypoint, w);
    EXPECT_THAT(Slice(p, 0, 6), ElementsAre('A', 'B', 'C', 'D', 'E', 'F'));
    EXPECT_EQ(Slice(p, 18, 40), Bytes(40, 'c'));
    EXPECT_THAT(Slice(p, 58, 4), ElementsAre(0x00, 0x00, 0x48, 0x42));  // 50.0f
    EXPECT_THAT(Slice(p, 62, 3), ElementsAre(0x34, 0x12, 2));
}

TEST(WaypointLayouts, Newer4108ByteForByte) {
    const WaypointRecord w = MakeWaypoint("ab", "not sent");
    const Bytes p = BuildWaypointPacket(4108, 1, kPidWaypoint, w);
    ASSERT_EQ(p.size(), 70u);
    EXPECT_EQ(p[2], 64);
    EXPECT_THAT(Slice(p, 0, 6), ElementsAre(0x00, 0xFF, 0x00, 0x60, 0x34, 0x12));
    EXPECT_EQ(Slice(p, 6, 6), Bytes(6, 0x00));
    EXPECT_EQ(Slice(p, 12, 12), Bytes(12, 0xFF));
    EXPECT_THAT(Slice(p, 24, 4), ElementsAre(0x9A, 0x99, 0x99, 0x19));
    EXPECT_THAT(Slice(p, 32, 4), ElementsAre(0x00, 0x80, 0xF0, 0x42));  // 120.25f
    EXPECT_EQ(Slice(p, 36, 12), Bytes(12, 0x00));
    Bytes name = {'A', 'B'};
    name.resize(12, 0);
    EXPECT_EQ(Slice(p, 48, 12), name);
    EXPECT_EQ(Slice(p, 60, 4), Bytes(4, 0x00));
    EXPECT_TRUE(ChecksumOk(p));
}

TEST(WaypointLayouts, Newer4109HasItsNameAtOffset52) {
    const WaypointRecord w = MakeWaypoint("abcdefghijkl", "");
    const Bytes p = BuildWaypointPacket(4109, 1, kPidWaypoint, w);
    ASSERT_EQ(p.size(), 74u);
    EXPECT_EQ(Slice(p, 48, 4), Bytes(4, 0xFF));
    EXPECT_THAT(Slice(p, 52, 12),
                ElementsAre('A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 0, 0));
    EXPECT_EQ(Slice(p, 64, 4), Bytes(4, 0x00));
}

class WaypointRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(WaypointRoundTrip, ParsedRecordMatchesWhatWasBuilt) {
    const int type = GetParam();
    const WaypointRecord w = MakeWaypoint("PIER1", "FERRY PIER");
    const Bytes p = BuildWaypointPacket(type, 1, kPidWaypoint, w);
    WaypointRecord r;
    ASSERT_TRUE(ParseWaypoint(type, 1, DataOf(p), &r));
    EXPECT_DOUBLE_EQ(r.latitude, PositionFromWire(429496730));
    // Rounding half up leaves negative positions 1.24 units short.
    EXPECT_DOUBLE_EQ(r.longitude, PositionFromWire(-423531496));
    if (IsNewerFamilyType(type)) {
        EXPECT_STREQ(r.name, "PIER1");
        EXPECT_STREQ(r.comment, "");
        EXPECT_DOUBLE_EQ(r.altitude, 120.25);
        EXPECT_EQ(r.symbol, 0x1234);
        EXPECT_EQ(r.display, 0);
    } else {
        EXPECT_STREQ(r.name, "PIER1 ");
        EXPECT_EQ(std::string(r.comment), "FERRY PIER" + std::string(30, ' '));
        EXPECT_DOUBLE_EQ(r.altitude, 0.0);
        EXPECT_EQ(r.symbol, type == 4103 ? 0x34 : type == 4104 ? 0x1234 : 0);
        EXPECT_EQ(r.display, type == 4101 ? 0 : 2);
        EXPECT_FLOAT_EQ(r.proximity, type == 4104 ? 50.0f : 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, WaypointRoundTrip,
                         ::testing::Values(4101, 4103, 4104, 4108, 4109));

TEST(WaypointParsing, ShortRecordsAreReportedAndReadAsZero) {
    WaypointRecord r;
    const Bytes shortRecord = {'A', 'B', 'C'};
    for (int type : {4101, 4103, 4104, 4108, 4109}) {
        EXPECT_FALSE(ParseWaypoint(type, 1, shortRecord, &r)) << type;
    }
    EXPECT_FALSE(ParseWaypoint(4108, 2, {}, &r));
    EXPECT_STREQ(r.name, "      ");
    EXPECT_DOUBLE_EQ(r.latitude, 0.0);
}

TEST(WaypointParsing, EmapAfterTheSwitchReadsNamesAtOffset52) {
    Bytes d(68, 0);
    std::memcpy(d.data() + 48, "OLD", 3);
    std::memcpy(d.data() + 52, "NEW", 3);
    WaypointRecord r;
    ParseWaypoint(4108, 1, d, &r);
    EXPECT_STREQ(r.name, "OLD");
    ParseWaypoint(4109, 1, d, &r);
    EXPECT_STREQ(r.name, "NEW");
}

// --- Routes and tracks -------------------------------------------------------------

TEST(RouteRecords, HeaderLayouts) {
    const Bytes older = BuildRouteHeaderPacket(4201, 7, "bay walk");
    ASSERT_EQ(older.size(), 27u);
    EXPECT_EQ(older[3], 7);
    Bytes name = {'b', 'a', 'y', ' ', 'w', 'a', 'l', 'k'};
    name.resize(20, ' ');
    EXPECT_EQ(Slice(older, 1, 20), name);

    const Bytes newer = BuildRouteHeaderPacket(4202, 7, std::string(50, 'R'));
    ASSERT_EQ(newer.size(), 46u);
    EXPECT_EQ(Slice(newer, 0, 40), Bytes(40, 'R'));
    const Bytes shortName = BuildRouteHeaderPacket(4202, 0, "X");
    EXPECT_EQ(shortName[3], 'X');
    EXPECT_EQ(Slice(shortName, 1, 39), Bytes(39, 0));
    EXPECT_TRUE(ChecksumOk(newer));
}

TEST(RouteRecords, LinkIsFixed) {
    const Bytes p = BuildRouteLinkPacket();
    ASSERT_EQ(p.size(), 27u);
    EXPECT_EQ(p[1], 98);
    Bytes expected = {0x03, 0, 0, 0, 0, 0, 0, 0};
    expected.insert(expected.end(), 12, 0xFF);
    expected.push_back(0);
    EXPECT_EQ(Slice(p, 0, 21), expected);
}

TEST(RouteRecords, HeadersAreReadByFamily) {
    Bytes d = {3};
    for (char c : std::string("ROUTE ONE"))
        d.push_back(static_cast<std::uint8_t>(c));
    d.resize(21, ' ');
    const RouteHeader older = ParseRouteHeader(false, d);
    EXPECT_EQ(older.number, 3);
    EXPECT_EQ(std::string(older.name), "ROUTE ONE" + std::string(63 - 9, ' '));

    const Bytes n = {'T', 'o', 'k', 'y', 'o', 0, 'x'};
    const RouteHeader newer = ParseRouteHeader(true, n);
    EXPECT_EQ(newer.number, 0);
    EXPECT_STREQ(newer.name, "Tokyo");
    const RouteHeader unterminated = ParseRouteHeader(true, Bytes(100, 'Z'));
    EXPECT_EQ(std::string(unterminated.name), std::string(63, 'Z'));
}

TEST(TrackRecords, HeaderFlagsOnlyTheActiveLog) {
    const Bytes active = BuildTrackHeaderPacket("Active Log");
    EXPECT_EQ(active[2], 13);
    EXPECT_THAT(Slice(active, 0, 13),
                ElementsAre(1, 0xFF, 'A', 'c', 't', 'i', 'v', 'e', ' ', 'L', 'o', 'g', 0));
    EXPECT_EQ(BuildTrackHeaderPacket("Active Log 2")[3], 0);
    EXPECT_EQ(BuildTrackHeaderPacket("ACTIVE LOG")[3], 1);
    EXPECT_EQ(BuildTrackHeaderPacket("")[2], 3);

    char name[kNameMax + 1];
    ParseTrackHeaderName(DataOf(BuildTrackHeaderPacket("ferry")), name);
    EXPECT_STREQ(name, "ferry");
    Bytes longName = {0, 0xFF};
    longName.insert(longName.end(), 40, 'N');
    ParseTrackHeaderName(longName, name);
    EXPECT_EQ(std::string(name), std::string(23, 'N'));
    ParseTrackHeaderName(Bytes{1}, name);
    EXPECT_STREQ(name, "");
}

TEST(TrackRecords, PointLayouts) {
    TrackPoint pt;
    pt.latitude = 36.0;
    pt.longitude = -35.5;
    pt.time = 0x01020304;
    pt.altitude = 12.5;
    const Bytes older = BuildTrackPointPacket(false, pt, true);
    ASSERT_EQ(older.size(), 19u);
    EXPECT_THAT(Slice(older, 0, 13), ElementsAre(0x99, 0x99, 0x99, 0x19, 0x17, 0x6C, 0xC1, 0xE6,
                                                 0x04, 0x03, 0x02, 0x01, 1));
    const Bytes newer = BuildTrackPointPacket(true, pt, false);
    ASSERT_EQ(newer.size(), 30u);
    EXPECT_THAT(Slice(newer, 12, 12),
                ElementsAre(0x00, 0x00, 0x48, 0x41, 0x51, 0x59, 0x04, 0x69, 0, 0xFF, 0xFF, 0xFF));

    ReceivedTrackPoint r;
    ASSERT_TRUE(ParseTrackPoint(false, DataOf(older), &r));
    EXPECT_TRUE(r.newSegment);
    EXPECT_EQ(r.point.time, 0x01020304u);
    EXPECT_DOUBLE_EQ(r.point.altitude, 0.0);
    EXPECT_DOUBLE_EQ(r.point.latitude, 429496729 * kWireToDegrees);
    ASSERT_TRUE(ParseTrackPoint(true, DataOf(newer), &r));
    EXPECT_FALSE(r.newSegment);
    EXPECT_DOUBLE_EQ(r.point.altitude, 12.5);
    EXPECT_FALSE(ParseTrackPoint(true, DataOf(older), &r));
}

// --- Product data and capabilities ---------------------------------------------------

TEST(ProductRecords, ProductDataFields) {
    Bytes d = {0x82, 0x00, 0xFA, 0x00};
    for (char c : std::string("eTrex Software Version 2.50"))
        d.push_back(c);
    d.push_back(0);
    for (char c : std::string("second string"))
        d.push_back(c);
    d.push_back(0);
    ProductData pd;
    ASSERT_TRUE(ParseProductData(d, &pd));
    EXPECT_EQ(pd.productId, 130);
    EXPECT_EQ(pd.softwareVersion, 250);
    EXPECT_EQ(pd.description, "eTrex Software Version 2.50");

    const Bytes negative = {0xFF, 0xFF, 0x00, 0x80};
    ASSERT_TRUE(ParseProductData(negative, &pd));
    EXPECT_EQ(pd.productId, -1);
    EXPECT_EQ(pd.softwareVersion, -32768);
    EXPECT_EQ(pd.description, "");

    Bytes longText = {1, 0, 1, 0};
    longText.insert(longText.end(), 100, 'd');  // no terminator at all
    ASSERT_TRUE(ParseProductData(longText, &pd));
    EXPECT_EQ(pd.description, std::string(63, 'd'));

    EXPECT_FALSE(ParseProductData(Bytes{1, 0, 1}, &pd));
}

TEST(ProductRecords, CapabilityByteIsDataOffset13) {
    Bytes list;
    const char tags[] = "PLCWD";
    const std::uint16_t values[] = {0, 1, 10, 100, 109};
    for (int i = 0; i < 5; ++i) {
        list.push_back(static_cast<std::uint8_t>(tags[i]));
        list.push_back(static_cast<std::uint8_t>(values[i]));
        list.push_back(static_cast<std::uint8_t>(values[i] >> 8));
    }
    EXPECT_EQ(CapabilityByte(list), std::optional<std::uint8_t>(109));
    list.resize(13);
    EXPECT_EQ(CapabilityByte(list), std::nullopt);
}

}  // namespace
}  // namespace sorvane
