#include "data/map_server_script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "sample_store.h"

namespace tobrel {
namespace {

// Fields of the packed records are compared as values (unary +): the
// assertions take references, and a reference to such a field may be misaligned.

std::string Script(const TobrelFile& s, bool tracks, bool waypoints, bool routes,
                   const std::uint32_t* palette = nullptr, int paletteSize = 0, int width = 2) {
    std::string out;
    EXPECT_TRUE(
        EncodeMapServerScript(s, out, tracks, waypoints, routes, palette, paletteSize, width));
    return out;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

void TwoPointTrack(TobrelFile& s) {
    s.AddTracks(1);
    s.SetTrackName(0, "T1");
    s.SetTrackPointCount(0, 2);
    s.SetTrackPoint(0, 0, 1, 35.5, 139.25, 0);
    s.SetTrackPoint(0, 1, 1, 35.6, 139.3, 0);
}

TEST(MapServerScriptWrite, TwoPointTrack) {
    TobrelFile s;
    TwoPointTrack(s);
    EXPECT_EQ(Script(s, true, false, false),
              "mapserver script ver=\"1.0\";\r\n"
              "group gid=\"0\"\r\n"
              "pointstyle = \"mark#0\"\r\n"
              "linergb = \"0,0,255\"\r\n"
              "linewidth= \"2\";\r\n"
              "line\tgid=\"0\"\r\n"
              "pos=\">\r\n"
              "35.500000,139.250000,\r\n"
              "35.600000,139.300000,\r\n"
              "\"\r\n"
              "str=\"-T1:1-(2)\";\r\n"
              "\r\n"
              "mapserver end;\r\n");
}

TEST(MapServerScriptWrite, WaypointAndTheBlankBeforeAOneDigitLatitude) {
    TobrelFile s;
    s.AddWaypoints(2);
    s.SetWaypoint(0, "ABC", "ignored", 35.5, 139.25, 0, 0, 0, 0);
    s.SetWaypoint(1, "S", "", 5.5, -0.125, 0, 0, 0, 0);
    EXPECT_EQ(Script(s, false, true, false),
              "mapserver script ver=\"1.0\";\r\n"
              "group gid=\"999\"\r\n"
              "pointstyle = \"mark#0\"\r\n"
              ";\r\n"
              "point\tgid=\"999\"\t\r\n"
              "pos=\"35.500000,139.250000\"\r\n"
              "str=\"ABC\";\r\n"
              "point\tgid=\"999\"\t\r\n"
              "pos=\" 5.500000, -0.125000\"\r\n"
              "str=\"S\";\r\n"
              "mapserver end;\r\n");
}

TEST(MapServerScriptWrite, Routes) {
    TobrelFile s;
    s.AppendRoute();
    s.SetRouteName(0, "R");
    s.InsertRouteWaypoint(0, 99999, "A", "", 5.5, 139.25, 0, 0, 0, 0);
    s.InsertRouteWaypoint(0, 99999, "B", "", 35.6, 139.3, 0, 0, 0, 0);
    EXPECT_EQ(Script(s, false, false, true, nullptr, 0, 3),
              "mapserver script ver=\"1.0\";\r\n"
              "group gid=\"0\"\r\n"
              "pointstyle = \"mark#0\"\r\n"
              "linergb = \"0,0,255\"\r\n"
              "linewidth= \"3\";\r\n"
              "point \t\r\n"
              "pos=\"  5.500000,139.250000\"\r\n"
              "str=\"A\";\r\n"
              "point \t\r\n"
              "pos=\" 35.600000,139.300000\"\r\n"
              "str=\"B\";\r\n"
              "line\tgid=\"0\"\r\n"
              "pos=\"\r\n"
              " 5.500000,139.250000,\r\n"
              "35.600000,139.300000,\r\n"
              "\"\r\n"
              "str=\"-R-\";\r\n"
              "\r\n"
              "mapserver end;\r\n");
}

TEST(MapServerScriptWrite, TracksAndRoutesBothWriteGroupZero) {
    TobrelFile s;
    TwoPointTrack(s);
    s.AppendRoute();
    const std::string text = Script(s, true, true, true);
    EXPECT_EQ(Count(text, "group gid=\"0\"\r\n"), 2);
    EXPECT_EQ(Count(text, "group gid=\"999\"\r\n"), 1);
    EXPECT_EQ(Count(text, "mapserver end;\r\n"), 1);
    EXPECT_EQ(text.find("mapserver end;\r\n"), text.size() - 16);
}

TEST(MapServerScriptWrite, OnlyLineEndsAreCrLf) {
    TobrelFile s;
    testing::FillSampleStore(s);
    const std::string text = Script(s, true, true, true);
    EXPECT_EQ(Count(text, "\n"), Count(text, "\r\n"));
    EXPECT_EQ(Count(text, "\r"), Count(text, "\r\n"));
}

TEST(MapServerScriptWrite, OnePointSegmentsAreSkipped) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackName(0, "X");
    s.SetTrackPointCount(0, 3);
    s.SetTrackSegmentCount(0, 3);
    s.SetTrackPoint(0, 0, 1, 1, 1, 0);
    s.SetTrackPoint(0, 1, 2, 2, 2, 0);
    s.SetTrackPoint(0, 2, 2, 3, 3, 0);
    const std::string text = Script(s, true, false, false);
    EXPECT_EQ(Count(text, "line\t"), 1);
    EXPECT_NE(text.find("str=\"-X:2-(2)\""), std::string::npos);
}

TEST(MapServerScriptWrite, LongSegmentsAreSplitWithTheLastPointRepeated) {
    TobrelFile s;
    testing::FillLongTrack(s, 3001);
    const std::string text = Script(s, true, false, false);
    ASSERT_EQ(Count(text, "line\tgid=\"0\"\r\n"), 3);
    const auto a = text.find("str=\"-LONG:1-(1500)\"");
    const auto b = text.find("str=\"-LONG:1-(3000)\"");
    const auto c = text.find("str=\"-LONG:1-(3001)\"");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    // Point lines per statement: 1500, 1501 and 2.
    auto pointLines = [&](std::size_t from, std::size_t to) {
        return Count(text.substr(from, to - from), ",\r\n");
    };
    const auto first = text.find("line\t");
    EXPECT_EQ(pointLines(first, a), 1500);
    EXPECT_EQ(pointLines(a, b), 1501);
    EXPECT_EQ(pointLines(b, c), 2);
    // The second statement starts with the 1500th point again.
    char expected[64];
    std::snprintf(expected, sizeof expected, "pos=\">\r\n%9.6f,%10.6f,\r\n",
                  s.GetTrackData(0)[1499].latitude, s.GetTrackData(0)[1499].longitude);
    EXPECT_NE(text.find(expected, a), std::string::npos);
    EXPECT_LT(text.find(expected, a), b);
}

TEST(MapServerScriptWrite, ExactlyFifteenHundredPointsStayOneStatement) {
    TobrelFile s;
    testing::FillLongTrack(s, 1500);
    const std::string text = Script(s, true, false, false);
    EXPECT_EQ(Count(text, "line\t"), 1);
    EXPECT_NE(text.find("str=\"-LONG:1-(1500)\""), std::string::npos);
}

TEST(MapServerScriptWrite, Palettes) {
    TobrelFile s;
    s.AddTracks(9);
    const std::string text = Script(s, true, false, false);
    const char* colours[] = {"0,0,255", "255,0,0",   "255,0,255", "255,255,0", "0,128,128",
                             "0,255,0", "0,255,255", "0,128,0",   "0,0,255"};
    std::size_t at = 0;
    for (int g = 0; g < 9; ++g) {
        at = text.find("group gid=\"" + std::to_string(g) + "\"", at);
        ASSERT_NE(at, std::string::npos);
        const std::string line = std::string("linergb = \"") + colours[g] + "\"\r\n";
        EXPECT_EQ(text.compare(text.find("linergb", at), line.size(), line), 0) << g;
    }
    const std::uint32_t three[] = {0x00102030, 0x00405060, 0x00708090};
    const std::string custom = Script(s, true, false, false, three, 3);
    EXPECT_NE(custom.find("group gid=\"3\"\r\npointstyle = \"mark#0\"\r\nlinergb = \"16,32,48\""),
              std::string::npos);
    EXPECT_NE(
        custom.find("group gid=\"2\"\r\npointstyle = \"mark#0\"\r\nlinergb = \"112,128,144\""),
        std::string::npos);
    std::string out;
    EXPECT_FALSE(EncodeMapServerScript(s, out, true, false, false, three, 0, 2));
}

TEST(MapServerScriptWrite, AbsurdSegmentCountDoesNotStall) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackPointCount(0, 2);
    s.SetTrackPoint(0, 0, 1, 1, 1, 0);
    s.SetTrackPoint(0, 1, 1, 2, 2, 0);
    s.SetTrackSegmentCount(0, 2147483647);
    EXPECT_EQ(Count(Script(s, true, false, false), "line\t"), 1);
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

TEST(MapServerStatementParse, KindPosAndStr) {
    MapServerStatement st = ParseMapServerStatement(
        "\r\nline\tgid=\"0\"\r\npos=\">\r\n35.500000,139.250000,\r\n\"\r\nstr=\"-T1:1-(2)\"");
    EXPECT_EQ(st.kind, MapServerStatement::Kind::kLine);
    EXPECT_EQ(st.pos, ">\r35.500000,139.250000,\r");
    EXPECT_STREQ(st.str, "-T1:1-(2)");

    st = ParseMapServerStatement(
        "point\tgid=\"999\"\t\r\npos=\"35.500000,139.250000\"\r\nstr=\"ABC\"");
    EXPECT_EQ(st.kind, MapServerStatement::Kind::kPoint);
    EXPECT_EQ(st.pos, "35.500000,139.250000");
    EXPECT_STREQ(st.str, "ABC");

    st = ParseMapServerStatement("group gid=\"1\" pos=\"1.000000,2.000000\"");
    EXPECT_EQ(st.kind, MapServerStatement::Kind::kNone);
    EXPECT_TRUE(st.pos.empty());

    st =
        ParseMapServerStatement("point pos=\"12345678901,2\" str=\"" + std::string(60, 'L') + "\"");
    EXPECT_EQ(std::string(st.str), std::string(41, 'L'));

    // Short and odd statements: nothing is read outside the text.
    for (const char* text : {"", "p", "point", "line pos", "pointpos=\"", "point str=\"", "line\"",
                             "point pos=\"1,2", "point pos=\"1234567890123", "linestr=\"abcdefgh"})
        ParseMapServerStatement(text);
    st = ParseMapServerStatement("point pos=\"1234567890123");
    EXPECT_EQ(st.pos, "1234567890123");  // runs to the end without a closing quote
}

class ScriptFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tobrel_script_XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
};

TEST_F(ScriptFile, WrittenTracksAndWaypointsReadBack) {
    TobrelFile s;
    testing::FillSampleStore(s);
    const std::string path = dir_ + "/sample.mps";
    ASSERT_TRUE(WriteMapServerScript(s, path, true, true, true, nullptr, 0, 2));
    std::ifstream in(path, std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(onDisk, Script(s, true, true, true));

    TobrelFile r;
    ASSERT_TRUE(ReadMapServerScript(r, path, kReadLines));
    EXPECT_EQ(r.GetWaypointCount(), 0);
    // Track 0 (3 points), track 1 in two segments of 2, and route 0 (2 points),
    // route 1 (no points).
    ASSERT_EQ(r.GetTrackCount(), 5);
    EXPECT_STREQ(r.GetTrackName(0), "-T1:1-(3)");
    ASSERT_EQ(r.GetTrackPointCount(0), 3);
    EXPECT_EQ(r.GetTrackSegmentCount(0), 1);
    double lat, lon, alt;
    r.GetTrackPoint(0, 2, &lat, &lon, &alt);
    EXPECT_DOUBLE_EQ(lat, 35.65);
    EXPECT_DOUBLE_EQ(lon, 139.45);
    EXPECT_GT(+r.GetTrackData(0)[2].distance, +r.GetTrackData(0)[1].distance);
    EXPECT_EQ(+r.GetTrackData(0)[2].segment, 1);
    EXPECT_EQ(+r.GetTrackData(0)[2].time, 0u);
    // A double-byte name with a 0x5C second byte survives.
    EXPECT_STREQ(r.GetTrackName(1), "-\x93\x8c\x8b\x9e-\x95\x5c:1-(2)");
    EXPECT_STREQ(r.GetTrackName(2), "-\x93\x8c\x8b\x9e-\x95\x5c:2-(2)");
    r.GetTrackPoint(2, 0, &lat, &lon, &alt);
    EXPECT_DOUBLE_EQ(lat, -33.7);
    EXPECT_STREQ(r.GetTrackName(3), "-ROUTE A-");
    EXPECT_EQ(r.GetTrackPointCount(3), 2);
    EXPECT_EQ(r.GetTrackPointCount(4), 0);
    EXPECT_EQ(r.GetTrackSegmentCount(4), 1);

    ASSERT_TRUE(ReadMapServerScript(r, path, kReadPoints));
    EXPECT_EQ(r.GetTrackCount(), 5);
    // Three free waypoints, then the two route points.
    ASSERT_EQ(r.GetWaypointCount(), 5);
    EXPECT_STREQ(r.GetWaypointIdent(0), "ABC");
    EXPECT_STREQ(r.GetWaypointIdent(1), "\x83\x7c\x83\x43\x83\x93\x83\x67");
    EXPECT_STREQ(r.GetWaypointIdent(2), "LONGNAME-ABCDEFGHIJKLMN");
    EXPECT_STREQ(r.GetWaypointIdent(4), "RW_1");
    r.GetWaypointPosition(1, &lat, &lon, &alt);
    EXPECT_DOUBLE_EQ(lat, 5.5);
    EXPECT_DOUBLE_EQ(lon, -0.125);
    EXPECT_EQ(r.GetWaypointSymbol(1), 18);
    EXPECT_EQ(r.GetWaypointDisplay(1), 0);
    EXPECT_STREQ(r.GetWaypointComment(1), "");

    // Reading never clears.
    ASSERT_TRUE(ReadMapServerScript(r, path, kReadLines));
    ASSERT_TRUE(ReadMapServerScript(r, path, kReadPoints));
    EXPECT_EQ(r.GetTrackCount(), 10);
    EXPECT_EQ(r.GetWaypointCount(), 10);
    EXPECT_FALSE(ReadMapServerScript(r, dir_ + "/missing.mps", kReadLines));
}

TEST(MapServerScriptRead, SplitTrackReadsBackAsItsParts) {
    TobrelFile s;
    testing::FillLongTrack(s, 3001);
    TobrelFile r;
    ReadMapServerScriptText(r, Script(s, true, false, false), kReadLines);
    ASSERT_EQ(r.GetTrackCount(), 3);
    EXPECT_EQ(r.GetTrackPointCount(0), 1500);
    EXPECT_EQ(r.GetTrackPointCount(1), 1501);
    EXPECT_EQ(r.GetTrackPointCount(2), 2);
}

TEST(MapServerScriptRead, LooseScripts) {
    TobrelFile r;
    const std::string text =
        "mapserver script ver=\"1.0\";\n"
        "point gid=\"1\" pos=\"35:30:15,139 15 00\";\n"    // no str
        "line pos=\"1.0,2.0,3.0,4.0,5.0\" str=\"ODD\";\n"  // odd token count
        "line gid=\"2\" str=\"NOPOS-LINE\";\n"             // no pos
        "point gid=\"3\" str=\"NOPOS\";\n"
        "mapserver end;\n";
    ReadMapServerScriptText(r, text, kReadPoints);
    ASSERT_EQ(r.GetWaypointCount(), 2);
    EXPECT_STREQ(r.GetWaypointIdent(0), "");
    double lat, lon, alt;
    r.GetWaypointPosition(0, &lat, &lon, &alt);
    EXPECT_NEAR(lat, 35.504166666666, 1e-9);
    EXPECT_NEAR(lon, 139.25, 1e-12);
    r.GetWaypointPosition(1, &lat, &lon, &alt);
    EXPECT_EQ(lat, 0.0);
    EXPECT_EQ(lon, 0.0);
    EXPECT_STREQ(r.GetWaypointIdent(1), "NOPOS");
    ReadMapServerScriptText(r, text, kReadLines);
    ASSERT_EQ(r.GetTrackCount(), 2);
    EXPECT_EQ(r.GetTrackPointCount(0), 2);  // five tokens: two points
    EXPECT_EQ(r.GetTrackPointCount(1), 0);
    EXPECT_EQ(r.GetTrackSegmentCount(1), 1);
    // Other modes do nothing.
    ReadMapServerScriptText(r, text, 3);
    EXPECT_EQ(r.GetTrackCount(), 2);
    EXPECT_EQ(r.GetWaypointCount(), 2);
    // The text ends at a NUL byte.
    const char withNul[] = "point pos=\"1.5,2.5\" str=\"A\";\0point pos=\"3,4\" str=\"B\";";
    ReadMapServerScriptText(r, std::string(withNul, sizeof withNul - 1), kReadPoints);
    EXPECT_EQ(r.GetWaypointCount(), 3);
}

}  // namespace
}  // namespace tobrel
