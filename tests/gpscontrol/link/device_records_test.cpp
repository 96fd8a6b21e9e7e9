#include "link/device_records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "link/packet.h"
#include "records/product_table.h"

namespace sorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& b : parts)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

// Bytes from pairs of hex digits; spaces are skipped.
Bytes Hex(std::string_view hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); ++i) {
        if (hex[i] != ' ')
            out.push_back(
                static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i++, 2)), 0, 16)));
    }
    return out;
}

// text padded with pad to n bytes.
Bytes Text(std::string_view text, std::size_t n, std::uint8_t pad) {
    Bytes out(text.begin(), text.end());
    out.resize(n, pad);
    return out;
}

TEST(Encodings, Positions) {
    // Every position goes to the nearest unit, alike on both sides of zero:
    // 429496729.6 and -423531497.24 units.
    const std::pair<double, std::int32_t> rows[] = {{36.0, 429496730},
                                                    {-36.0, -429496730},
                                                    {-35.5, -423531497},
                                                    {35.5, 423531497},
                                                    {0.0, 0},
                                                    {34.999999925, 417566264},
                                                    {-34.999999925, -417566264},
                                                    {1e-8, 0},
                                                    {-1e-8, 0}};
    for (const auto& [degrees, wire] : rows)
        EXPECT_EQ(PositionToWire(degrees), wire) << degrees;
    EXPECT_DOUBLE_EQ(PositionFromWire(429496730), 429496730 * 8.381903171539307e-8);
    // What came from the wire goes back unchanged, in every quadrant.
    for (std::int32_t v : {417566264, -417566264, 1, -1, 1073741823, -1073741824, 2147483647,
                           -2147483647 - 1, -423531497, -1664299827})
        EXPECT_EQ(PositionToWire(PositionFromWire(v)), v) << v;
    // Out of range is clamped, not undefined.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(PositionToWire(std::nan("")), 0);
    EXPECT_EQ(PositionToWire(inf), kMax);
    EXPECT_EQ(PositionToWire(-inf), kMin);
    EXPECT_EQ(PositionToWire(1e300), kMax);
    EXPECT_EQ(PositionToWire(180.0), kMax);
}

TEST(Encodings, TimesAndAltitudes) {
    EXPECT_EQ(ReceiverTimeToUnix(0), 631065600);
    EXPECT_EQ(ReceiverTimeToUnix(0xFFFFFFFFu), 631065600LL + 0xFFFFFFFFLL);
    EXPECT_EQ(UnixToReceiverTime(631065600 + 42), 42u);
    EXPECT_EQ(UnixToReceiverTime(0), 0u);
    EXPECT_EQ(UnixToReceiverTime(1LL << 40), 0xFFFFFFFFu);
    // A newer-family altitude is kept as received, or becomes none.
    const std::pair<float, double> altitudes[] = {
        {100.0f, 100.0},     {-12.25f, -12.25},   {1.0e25f, -9999.0},  {-10000.0f, -9999.0},
        {-9999.5f, -9999.0}, {99999.0f, 99999.0}, {99999.5f, -9999.0}, {std::nanf(""), -9999.0}};
    for (const auto& [wire, stored] : altitudes)
        EXPECT_DOUBLE_EQ(WaypointAltitudeFromWire(wire), stored) << wire;
}

TEST(WaypointNames, UploadedNames) {
    EXPECT_EQ(UploadWaypointName("ab", 1, false), "AB");
    EXPECT_EQ(UploadWaypointName("home-base1", 1, false), "HOME-B");
    EXPECT_EQ(UploadWaypointName("home-base1x", 1, true), "HOME-BASE1");
    EXPECT_EQ(UploadWaypointName(std::string_view("ab\0cd", 5), 1, true), "AB");
    // Double-byte characters go out whole, whatever their second bytes look
    // like (0x77 'w', 0x74 't', 0x67 'g'); a cut never splits one.
    const std::string station = "\x89\x77\x91\x4F";       // 駅前
    const std::string soft = "\x83\x5C\x83\x74\x83\x67";  // ソフト
    const std::pair<std::string, std::string> rows[] = {
        {station, station},
        {soft, soft},
        {"a" + soft, "A\x83\x5C\x83\x74"},
        {"ab" + station + "cd" + soft, "AB" + station + "CD" + "\x83\x5C"},
    };
    for (const auto& [stored, sent] : rows) {
        const bool newer = stored.size() > 7;
        EXPECT_EQ(UploadWaypointName(stored, 1, newer), sent) << stored;
        // Padded into the record, the name reads back as it was sent.
        WaypointRecord w{};
        std::memcpy(w.name, stored.data(), stored.size());
        const int type = newer ? 4108 : 4103;
        const Bytes packet = BuildWaypointPacket(type, 1, kPidWaypoint, w);
        WaypointRecord back;
        ParseWaypoint(type, 1, PacketData(packet.data(), packet.size()), &back);
        EXPECT_EQ(std::string(back.name), newer ? sent : sent + std::string(6 - sent.size(), ' '));
    }
    // Comments and route names are cut before a character that would not fit.
    WaypointRecord w{};
    const std::string comment = std::string(39, 'c') + station;
    std::memcpy(w.comment, comment.data(), comment.size());
    const Bytes packet = BuildWaypointPacket(4103, 1, kPidWaypoint, w);
    EXPECT_EQ(Bytes(packet.begin() + 3 + 18, packet.begin() + 3 + 58),
              Text(std::string(39, 'c'), 40, ' '));
    EXPECT_EQ(BuildRouteHeaderPacket(4201, 1, std::string(19, 'r') + station),
              BuildPacket(29, Cat({{1}, Text(std::string(19, 'r'), 20, ' ')})));
    // Half-width katakana, a digit, a blank and a letter the receiver lacks.
    EXPECT_EQ(UploadWaypointName("\xB1\xC0"
                                 "5 A",
                                 2, false),
              "\x21\x30\x57\x20\x52");
}

TEST(WaypointNames, DownloadedNames) {
    const auto name = [](const Bytes& field, int characterSet, bool newer) {
        char out[kNameMax + 1];
        DownloadWaypointName(field, characterSet, newer, out);
        return std::string(out);
    };
    EXPECT_EQ(name({'a', 'B', ' ', ' ', ' ', ' '}, 1, false), "aB    ");
    EXPECT_EQ(name(Text("ABCDEFGHIJKL", 12, 0), 1, true), "ABCDEFGHIJ");
    // Character set 2 pads short names to six with blanks.
    EXPECT_EQ(name({0x21, 0x52, 0x00, 0x00, 0x00, 0x00}, 2, false), "\xB1\x30    ");
    EXPECT_EQ(name(Text("\x53", 12, 0), 2, true), "1     ");
    // A newer receiver's characters 7 and 8 are translated too.
    EXPECT_EQ(name(Text("\x21\x22\x23\x24\x25\x26\x52\x5C", 12, 0), 2, true),
              "\xB1\xB2\xB3\xB4\xB5\xB6"
              "0-");
}

TEST(ControlPackets, CommandRecordsTransferCompleteAndProductRequest) {
    EXPECT_THAT(BuildCommandPacket(kCommandTransferWaypoints),
                ElementsAre(0x10, 0x0A, 0x02, 0x07, 0x00, 0xED, 0x10, 0x03));
    EXPECT_THAT(BuildRecordsPacket(0x1234),
                ElementsAre(0x10, 0x1B, 0x02, 0x34, 0x12, 0x9D, 0x10, 0x03));
    EXPECT_THAT(BuildTransferCompletePacket(29),
                ElementsAre(0x10, 0x0C, 0x02, 0x1D, 0x00, 0xD5, 0x10, 0x03));
    const Bytes request = BuildProductRequestPacket();
    EXPECT_EQ(StuffFrame(request.data(), request.size()),
              (Bytes{0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}));
    // Received counts are signed 16-bit.
    EXPECT_EQ(ParseRecordsCount(Bytes{0xFF, 0x7F}), 32767);
    EXPECT_EQ(ParseRecordsCount(Bytes{0xFF, 0xFF}), -1);
    EXPECT_EQ(ParseRecordsCount(Bytes{0x05}), 5);
}

TEST(WaypointLayouts, EachTypeBuiltByteForByteAndParsedBack) {
    // 36.0 and -35.5 degrees are 429496730 and -423531497 units.
    WaypointRecord w{36.0, -35.5, 120.25, "ab", "note", 50.0f, 0x1234, 2};
    const Bytes position = Hex("9a999919 176cc1e6");
    const Bytes older = Cat({Text("AB", 6, ' '), position, Bytes(4, 0), Text("note", 40, ' ')});
    const Bytes newer = Cat({Hex("00ff0060 3412"), Bytes(6, 0), Bytes(12, 0xFF), position,
                             Hex("0080f042"), Bytes(12, 0)});
    const Bytes name = Text("AB", 12, 0);
    const struct {
        int type;
        std::uint8_t id;
        Bytes data;
    } rows[] = {
        {4101, kPidWaypoint, older},
        {500, kPidWaypoint, older},  // unknown: as 4101
        {4103, kPidRouteWaypoint, Cat({older, Hex("34 02")})},
        {4104, kPidWaypoint, Cat({older, Hex("00004842 3412 02")})},
        {4108, kPidWaypoint, Cat({newer, name, Bytes(4, 0)})},
        {4109, kPidRouteWaypoint, Cat({newer, Bytes(4, 0xFF), name, Bytes(4, 0)})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(BuildWaypointPacket(row.type, 1, row.id, w), BuildPacket(row.id, row.data));
        WaypointRecord r;
        ASSERT_TRUE(ParseWaypoint(row.type, 1, row.data, &r));
        const bool newer = IsNewerFamilyType(row.type),
                   older4 = row.type == 4103 || row.type == 4104;
        EXPECT_EQ(std::tuple(std::string(r.name), r.latitude, r.longitude, r.altitude,
                             std::string(r.comment), r.symbol, r.display, r.proximity),
                  std::tuple(newer ? "AB" : "AB    ", PositionFromWire(429496730),
                             PositionFromWire(-423531497), newer ? 120.25 : 0.0,
                             newer ? "" : "note" + std::string(36, ' '),
                             row.type == 4103            ? 0x34
                             : newer || row.type == 4104 ? 0x1234
                                                         : 0,
                             older4 ? 2 : 0, row.type == 4104 ? 50.0f : 0.0f));
    }
}

TEST(WaypointLayouts, ShortRecordsAreReportedAndReadAsZero) {
    WaypointRecord r;
    for (int type : {4101, 4103, 4104, 4108, 4109})
        EXPECT_FALSE(ParseWaypoint(type, 1, Bytes{'A', 'B', 'C'}, &r)) << type;
    EXPECT_FALSE(ParseWaypoint(4108, 2, {}, &r));
    EXPECT_STREQ(r.name, "      ");
    EXPECT_DOUBLE_EQ(r.latitude, 0.0);
}

TEST(RouteRecords, HeadersAndLinks) {
    EXPECT_EQ(BuildRouteHeaderPacket(4201, 7, "bay walk"),
              BuildPacket(29, Cat({{7}, Text("bay walk", 20, ' ')})));
    EXPECT_EQ(BuildRouteHeaderPacket(4202, 7, std::string(50, 'R')),
              BuildPacket(29, Bytes(40, 'R')));
    EXPECT_EQ(BuildRouteHeaderPacket(4202, 0, "X"), BuildPacket(29, Text("X", 40, 0)));
    EXPECT_EQ(BuildRouteLinkPacket(),
              BuildPacket(98, Cat({{3}, Bytes(7, 0), Bytes(12, 0xFF), {0}})));

    // Received headers are read by family.
    const RouteHeader o = ParseRouteHeader(false, Cat({{3}, Text("ROUTE ONE", 20, ' ')}));
    EXPECT_EQ(std::tuple(o.number, std::string(o.name)),
              std::tuple(3, "ROUTE ONE" + std::string(63 - 9, ' ')));
    const RouteHeader n = ParseRouteHeader(true, Bytes{'T', 'o', 'k', 'y', 'o', 0, 'x'});
    EXPECT_EQ(std::tuple(n.number, std::string(n.name)), std::tuple(0, "Tokyo"));
    EXPECT_EQ(std::string(ParseRouteHeader(true, Bytes(100, 'Z')).name), std::string(63, 'Z'));
}

TEST(TrackRecords, HeaderFlagsOnlyTheActiveLog) {
    EXPECT_EQ(BuildTrackHeaderPacket("Active Log"),
              BuildPacket(99, Cat({{1, 0xFF}, Text("Active Log", 11, 0)})));
    EXPECT_EQ(BuildTrackHeaderPacket("Active Log 2")[3], 0);
    EXPECT_EQ(BuildTrackHeaderPacket("ACTIVE LOG")[3], 1);
    EXPECT_EQ(BuildTrackHeaderPacket("")[2], 3);

    char name[kNameMax + 1];
    ParseTrackHeaderName(Cat({{0, 0xFF}, Text("ferry", 6, 0)}), name);
    EXPECT_STREQ(name, "ferry");
    ParseTrackHeaderName(Cat({{0, 0xFF}, Bytes(40, 'N')}), name);
    EXPECT_EQ(std::string(name), std::string(23, 'N'));
    ParseTrackHeaderName(Bytes{1}, name);
    EXPECT_STREQ(name, "");
}

TEST(TrackRecords, PointLayouts) {
    const TrackPoint pt{36.0, -35.5, 12.5, 0x01020304};
    const Bytes points = Hex("9a999919 176cc1e6 04030201");
    const Bytes older = Cat({points, {1}});
    const Bytes newer = Cat({points, Hex("00004841 51590469 00 ffffff")});
    EXPECT_EQ(BuildTrackPointPacket(false, pt, true), BuildPacket(34, older));
    EXPECT_EQ(BuildTrackPointPacket(true, pt, false), BuildPacket(34, newer));
    ReceivedTrackPoint r;
    ASSERT_TRUE(ParseTrackPoint(false, older, &r));
    EXPECT_EQ(std::tuple(r.newSegment, r.point.time, r.point.altitude, r.point.latitude),
              std::tuple(true, 0x01020304u, 0.0, 429496730 * kWireToDegrees));
    ASSERT_TRUE(ParseTrackPoint(true, newer, &r));
    EXPECT_EQ(std::tuple(r.newSegment, r.point.altitude), std::tuple(false, 12.5));
    EXPECT_FALSE(ParseTrackPoint(true, older, &r));
}

TEST(ProductRecords, ProductDataAndCapabilities) {
    ProductData pd;
    const std::string text = "eTrex Software Version 2.50";
    ASSERT_TRUE(ParseProductData(
        Cat({{0x82, 0, 0xFA, 0}, Text(text, text.size() + 1, 0), Text("second string", 14, 0)}),
        &pd));
    EXPECT_EQ(std::tuple(pd.productId, pd.softwareVersion, pd.description),
              std::tuple(130, 250, text));
    ASSERT_TRUE(ParseProductData(Bytes{0xFF, 0xFF, 0x00, 0x80}, &pd));
    EXPECT_EQ(std::tuple(pd.productId, pd.softwareVersion, pd.description),
              std::tuple(-1, -32768, ""));
    // No terminator at all.
    ASSERT_TRUE(ParseProductData(Cat({{1, 0, 1, 0}, Bytes(100, 'd')}), &pd));
    EXPECT_EQ(pd.description, std::string(63, 'd'));
    EXPECT_FALSE(ParseProductData(Bytes{1, 0, 1}, &pd));

    // The capability byte is data offset 13, the low byte of the fifth value.
    Bytes list = Hex("500000 4c0100 430a00 576400 446d00");
    EXPECT_EQ(CapabilityByte(list), std::optional<std::uint8_t>(109));
    list.resize(13);
    EXPECT_EQ(CapabilityByte(list), std::nullopt);
}

// --- Product table ---------------------------------------------------------

class ProductTable : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }
};

TEST_F(ProductTable, RowsAndTheDefaultsOfUnknownProducts) {
    const struct {
        std::int32_t id;
        int waypointType, routeType, characterSet;
    } rows[] = {
        {96, 4103, 4201, 1},  {119, 4104, 4201, 1}, {41, 4101, 4201, 1},  {105, 4103, 4201, 2},
        {62, 4101, 4201, 2},  {153, 4108, 4202, 2}, {130, 4108, 4202, 1}, {129, 4104, 4201, 1},
        {500, 4101, 4201, 1}, {0, 4101, 4201, 1},   {-1, 4101, 4201, 1},  {999, 4101, 4201, 1},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(std::tuple(GetWaypointType(r.id), GetRouteHeaderType(r.id), GetCharacterSet(r.id),
                             IsNewerFamily(r.id), IsKnownProduct(r.id)),
                  std::tuple(r.waypointType, r.routeType, r.characterSet, r.waypointType == 4108,
                             r.id > 0 && r.id < 500))
            << r.id;
    }
    // 26 rows; 96 stands in rows 4 and 11 ("GPS48"), and the first is found.
    EXPECT_EQ(kProductRowCount, 26);
    EXPECT_EQ(std::tuple(ProductTableRow(3).productId, ProductTableRow(10).productId,
                         std::string(ProductTableRow(10).modelName)),
              std::tuple(96, 96, "GPS48"));
}

TEST_F(ProductTable, EmapSwitchesTo4109OnlyForItsCapabilityByteAndForGood) {
    ApplyCapabilityByte(111, 108);
    ApplyCapabilityByte(130, 109);
    EXPECT_EQ(GetWaypointType(111), 4108);
    EXPECT_EQ(GetWaypointType(130), 4108);
    ApplyCapabilityByte(111, 109);
    EXPECT_EQ(GetWaypointType(111), 4109);
    EXPECT_TRUE(IsNewerFamily(111));
    EXPECT_EQ(ProductTableRow(16).waypointType, 4109);
    EXPECT_EQ(GetWaypointType(130), 4108);
    ApplyCapabilityByte(111, 108);
    EXPECT_EQ(GetWaypointType(111), 4109);
}

TEST_F(ProductTable, CharacterSet2Tables) {
    const std::pair<int, int> down[] = {{0x00, 0x20}, {0x20, 0x20}, {0x21, 0xB1}, {0x4D, 0xDD},
                                        {0x4E, 0xA6}, {0x4F, 0xAC}, {0x51, 0xAE}, {0x52, '0'},
                                        {0x5B, '9'},  {0x5C, '-'},  {0x5D, 0xDF}, {0x5E, 0xDE},
                                        {0x5F, 0x20}, {0x7F, 0x20}, {0x80, 0x20}, {0xFF, 0x20}};
    for (const auto& [code, shown] : down)
        EXPECT_EQ(Charset2Download(static_cast<std::uint8_t>(code)), shown) << code;
    // Every katakana the receiver shows goes back to its own code (the listed
    // upload entries cover only part of them).
    for (int code = 0x21; code <= 0x5E; ++code)
        EXPECT_EQ(Charset2Upload(Charset2Download(static_cast<std::uint8_t>(code))), code) << code;
    const std::pair<int, int> up[] = {{0x20, 0x20}, {'0', 0x52},  {'9', 0x5B},  {0xAC, 0x4F},
                                      {0xAE, 0x51}, {0xC0, 0x30}, {0xC9, 0x39}, {0xD1, 0x41},
                                      {0xDD, 0x4D}, {0xB1, 0x21}, {0xBF, 0x2F}, {0xCA, 0x3A},
                                      {0xA6, 0x4E}, {0x00, 0x52}, {'a', 0x52},  {'A', 0x52},
                                      {0xA1, 0x52}, {0xA7, 0x52}, {0xFF, 0x52}};
    for (const auto& [shown, code] : up)
        EXPECT_EQ(Charset2Upload(static_cast<std::uint8_t>(shown)), code) << shown;
}

}  // namespace
}  // namespace sorvane
