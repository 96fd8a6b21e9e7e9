#include "data/map_server_script.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "data_test_support.h"

namespace tobrel {
namespace {

std::string Script(const TobrelFile& s, bool tracks, bool waypoints, bool routes,
                   const std::uint32_t* palette = nullptr, int paletteSize = 0) {
    std::string out;
    EXPECT_TRUE(EncodeMapServerScript(s, out, tracks, waypoints, routes, palette, paletteSize, 2));
    return out;
}

// The quoted values that follow every occurrence of `key` in the text.
std::vector<std::string> Values(const std::string& text, const std::string& key) {
    std::vector<std::string> out;
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const auto from = at + key.size();
        out.push_back(text.substr(from, text.find('"', from) - from));
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        out.push_back(text.substr(at, end - at));
    return out;
}

using testing::AddTrack;

TEST(MapServerScriptWrite, TrackWaypointsAndRoute) {
    // The two-point track, the waypoint ABC, and a blank before a one-digit latitude.
    TobrelFile s;
    AddTrack(s, "T1", {{1, 35.5, 139.25}, {1, 35.6, 139.3}});
    s.AddWaypoints(2);
    s.SetWaypoint(0, "ABC", "ignored", 35.5, 139.25, 0, 0, 0, 0);
    s.SetWaypoint(1, "S", "", 5.5, -0.125, 0, 0, 0, 0);
    s.AppendRoute();
    s.SetRouteName(0, "R");
    s.InsertRouteWaypoint(0, 99999, "A", "", 5.5, 139.25, 0, 0, 0, 0);
    s.InsertRouteWaypoint(0, 99999, "B", "", 35.6, 139.3, 0, 0, 0, 0);
    // A statement or two per line here; the file ends every line with CR LF.
    const std::string group0 =
        "group gid=\"0\"\r\npointstyle = \"mark#0\"\r\nlinergb = \"0,0,255\"\r\nlinewidth= "
        "\"2\";\r\n";
    EXPECT_EQ(Script(s, true, true, true),
              "mapserver script ver=\"1.0\";\r\n" + group0 +
                  "line\tgid=\"0\"\r\npos=\">\r\n35.500000,139.250000,\r\n35.600000,139.300000,\r\n"
                  "\"\r\nstr=\"-T1:1-(2)\";\r\n\r\n"
                  "group gid=\"999\"\r\npointstyle = \"mark#0\"\r\n;\r\n"
                  "point\tgid=\"999\"\t\r\npos=\"35.500000,139.250000\"\r\nstr=\"ABC\";\r\n"
                  "point\tgid=\"999\"\t\r\npos=\" 5.500000, -0.125000\"\r\nstr=\"S\";\r\n" +
                  group0 +
                  "point \t\r\npos=\"  5.500000,139.250000\"\r\nstr=\"A\";\r\n"
                  "point \t\r\npos=\" 35.600000,139.300000\"\r\nstr=\"B\";\r\n"
                  "line\tgid=\"0\"\r\npos=\"\r\n 5.500000,139.250000,\r\n35.600000,139.300000,\r\n"
                  "\"\r\nstr=\"-R-\";\r\n\r\n"
                  "mapserver end;\r\n");
}

TEST(MapServerScriptWrite, SegmentsSplitAtFifteenHundredPointsAndReadBackAsTheirParts) {
    TobrelFile l3001, l1500, l1501, onePoint, absurd;
    testing::FillLongTrack(l3001, 3001);
    testing::FillLongTrack(l1500, 1500);
    testing::FillLongTrack(l1501, 1501);
    AddTrack(onePoint, "X", {{1, 1, 1}, {2, 2, 2}, {2, 3, 3}}, 3);  // segment 1 is one point
    AddTrack(absurd, "Y", {{1, 1, 1}, {1, 2, 2}}, 2147483647);      // must not stall
    const struct {
        const TobrelFile& s;
        std::vector<std::string> labels;
        std::vector<int> pointLines;
    } rows[] = {{l3001, {"-LONG:1-(1500)", "-LONG:1-(3000)", "-LONG:1-(3001)"}, {1500, 1501, 2}},
                {l1500, {"-LONG:1-(1500)"}, {1500}},
                {l1501, {"-LONG:1-(1500)", "-LONG:1-(1501)"}, {1500, 2}},
                {onePoint, {"-X:2-(2)"}, {2}},
                {absurd, {"-Y:1-(2)"}, {2}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.labels.back());
        TobrelFile r;
        const std::string text = Script(row.s, true, false, false);
        EXPECT_EQ(Values(text, "str=\""), row.labels);
        const std::vector<std::string> pos = Values(text, "pos=\">\r\n");
        ASSERT_EQ(pos.size(), row.pointLines.size());
        ReadMapServerScriptText(r, text, kReadLines);
        ASSERT_EQ(r.GetTrackCount(), static_cast<int>(pos.size()));
        std::vector<std::string> before;
        for (std::size_t i = 0; i < pos.size(); ++i) {
            const std::vector<std::string> lines = Lines(pos[i]);
            ASSERT_EQ(static_cast<int>(lines.size()), row.pointLines[i]) << i;
            EXPECT_EQ(r.GetTrackPointCount(static_cast<int>(i)), row.pointLines[i]) << i;
            if (i > 0) {  // a new statement starts with the last point of the one before
                EXPECT_EQ(lines.front(), before.back()) << i;
            }
            before = lines;
        }
    }
}

TEST(MapServerScriptWrite, PalettesAndLineWidth) {
    TobrelFile s;
    s.AddTracks(9);
    EXPECT_EQ(Values(Script(s, true, false, false), "linergb = \""),
              (std::vector<std::string>{"0,0,255", "255,0,0", "255,0,255", "255,255,0", "0,128,128",
                                        "0,255,0", "0,255,255", "0,128,0", "0,0,255"}));
    const std::uint32_t three[] = {0x00102030, 0x00405060, 0x00708090};
    s.SetTrackCount(4);
    s.AppendRoute();  // its group repeats group 0
    std::string out;
    ASSERT_TRUE(EncodeMapServerScript(s, out, true, false, true, three, 3, 5));
    EXPECT_EQ(
        Values(out, "linergb = \""),
        (std::vector<std::string>{"16,32,48", "64,80,96", "112,128,144", "16,32,48", "16,32,48"}));
    EXPECT_EQ(Values(out, "group gid=\""), (std::vector<std::string>{"0", "1", "2", "3", "0"}));
    EXPECT_EQ(Values(out, "linewidth= \""), std::vector<std::string>(5, "5"));
    EXPECT_FALSE(EncodeMapServerScript(s, out, true, false, false, three, 0, 2));
}

TEST(MapServerStatementParse, JoinRules) {
    EXPECT_EQ(JoinStatementLines("\r\npoint\tgid=\"999\"\t\r\npos=\"1,2\"\r\nstr=\"A B\""),
              "point gid=\"999\" pos=\"1,2\"str=\"A B\"");
    // The comment adds its own blank, even after one.
    EXPECT_EQ(JoinStatementLines("  line   a\t\tb // note\nc"), "line a b  c");
    EXPECT_EQ(JoinStatementLines("// only a comment\nline"), "line");
    EXPECT_EQ(JoinStatementLines("a \nb\t\n"), "a b\t");  // a blank ending a line stays
    EXPECT_EQ(JoinStatementLines("x=\"a // b\r\nc\\\"d\" e"), "x=\"a // b\rc\\\"d\" e");
    // A double-byte character whose second byte is a backslash escapes nothing.
    EXPECT_EQ(JoinStatementLines("s=\"\x95\x5c\" t"), "s=\"\x95\x5c\" t");
}

TEST(MapServerScriptRead, SampleReadsBackAndReadingTwiceDoublesIt) {
    TobrelFile s, r;
    testing::FillSample(s);
    const std::string text = Script(s, true, true, true);
    ReadMapServerScriptText(r, text, kReadLines);
    EXPECT_EQ(r.GetWaypointCount(), 0);
    std::vector<std::string> names;
    std::vector<int> points;
    for (int t = 0; t < r.GetTrackCount(); ++t) {
        names.emplace_back(r.GetTrackName(t));
        points.push_back(r.GetTrackPointCount(t));
        EXPECT_EQ(r.GetTrackSegmentCount(t), 1);
    }
    const std::string tokyo = "-\x93\x8c\x8b\x9e-\x95\x5c:";  // the 0x5C trail byte survives
    EXPECT_EQ(names, (std::vector<std::string>{tokyo + "1-(2)", tokyo + "2-(2)", "-T2:1-(2)",
                                               "-ROUTE A-", "-EMPTY-"}));
    EXPECT_EQ(points, (std::vector<int>{2, 2, 2, 2, 0}));
    const TrackData& p = r.GetTrackData(1)[1];
    EXPECT_EQ(std::make_tuple(+p.latitude, +p.longitude, +p.segment, +p.time),
              std::make_tuple(35.2, 139.1, 1, 0u));
    EXPECT_NEAR(p.distance, GreatCircleDistance(35.1, 139.1, 35.2, 139.1, 0), 1e-3);

    ReadMapServerScriptText(r, text, kReadPoints);
    EXPECT_EQ(r.GetTrackCount(), 5);
    std::vector<std::string> idents;  // the free waypoints, then the route points
    for (int i = 0; i < r.GetWaypointCount(); ++i)
        idents.emplace_back(r.GetWaypointIdent(i));
    EXPECT_EQ(idents, (std::vector<std::string>{"WPT01", "\x83\x7c\x83\x43\x83\x93\x83\x67",
                                                "LONGNAME-ABCDEFGHIJKLMN", "RW_0", "RW_1"}));
    const WaypointData& w = *r.GetWaypointData(1);
    EXPECT_EQ(std::make_tuple(+w.latitude, +w.longitude, +w.altitude, +w.symbol, +w.display),
              std::make_tuple(5.5, -0.125, 0.0f, 18, 0));
    EXPECT_STREQ(r.GetWaypointComment(0), "");

    ReadMapServerScriptText(r, text, kReadLines);
    ReadMapServerScriptText(r, text, kReadPoints);
    EXPECT_EQ(r.GetTrackCount(), 10);
    EXPECT_EQ(r.GetWaypointCount(), 10);
}

TEST(MapServerScriptRead, LooseScripts) {
    TobrelFile r;
    // No str, an odd token count, no pos, statements cut short, and a last pos
    // without its closing quote.
    const std::string text =
        "mapserver script ver=\"1.0\";\n"
        "point gid=\"1\" pos=\"35:30:15,139 15 00\";\n"
        "line pos=\"1.0,2.0,3.0,4.0,5.0\" str=\"ODD\";\n"
        "line gid=\"2\" str=\"NOPOS-LINE\";\n"
        "point gid=\"3\" str=\"NOPOS\";\n"
        "p;point;line pos;pointpos=\";point str=\";line\";linestr=\"abcdefgh;\n"
        "point str=\"Q\" pos=\"3.500000,4.500000";
    ReadMapServerScriptText(r, text, kReadPoints);
    ASSERT_EQ(r.GetWaypointCount(), 6);
    EXPECT_STREQ(r.GetWaypointIdent(0), "");
    EXPECT_NEAR(r.GetWaypointData(0)->latitude, 35.504166666666, 1e-9);
    EXPECT_NEAR(r.GetWaypointData(0)->longitude, 139.25, 1e-12);
    EXPECT_STREQ(r.GetWaypointIdent(1), "NOPOS");
    EXPECT_EQ(std::make_pair(+r.GetWaypointData(1)->latitude, +r.GetWaypointData(1)->longitude),
              std::make_pair(0.0, 0.0));
    EXPECT_STREQ(r.GetWaypointIdent(5), "Q");
    EXPECT_EQ(std::make_pair(+r.GetWaypointData(5)->latitude, +r.GetWaypointData(5)->longitude),
              std::make_pair(3.5, 4.5));
    ReadMapServerScriptText(r, text, kReadLines);
    ReadMapServerScriptText(r, text, 3);  // other modes do nothing
    ASSERT_EQ(r.GetTrackCount(), 5);
    EXPECT_EQ(r.GetTrackPointCount(0), 2);  // five tokens: two points
    EXPECT_EQ(r.GetTrackPointCount(1), 0);
    EXPECT_EQ(r.GetTrackSegmentCount(1), 1);
    // The text ends at a NUL byte.
    const char withNul[] = "point pos=\"1.5,2.5\" str=\"A\";\0point pos=\"3,4\" str=\"B\";";
    ReadMapServerScriptText(r, std::string(withNul, sizeof withNul - 1), kReadPoints);
    EXPECT_EQ(r.GetWaypointCount(), 7);
}

}  // namespace
}  // namespace tobrel
