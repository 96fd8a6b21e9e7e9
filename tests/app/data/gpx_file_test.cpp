// GPX files: every field of the store through a write and a read, schema
// validation of what is written, datums, times, names, symbols, files of other
// writers, and damaged or hostile files that must leave the store as it was.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "data/gpx_fields.h"
#include "data/gpx_file.h"
#include "data/native_file.h"
#include "data_test_support.h"
#include "geodesy/map_datum.h"

namespace tobrel {
namespace {

namespace fs = std::filesystem;

constexpr double kWireUnit = 8.381903171539307e-8;  // degrees per receiver position unit

const sorvane::DatumShift kWgs84{};

sorvane::DatumShift TokyoShift() {
    return sorvane::MapDatum("Tokyo").selectedShift();
}

GpxResult ReadText(std::string_view text, TobrelFile& store, GpxReport* report = nullptr,
                   GpxOptions options = GpxOptions(kWgs84)) {
    return ReadGpx(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                   options, store, report);
}

std::string Encode(const TobrelFile& store, GpxOptions options = GpxOptions(kWgs84),
                   GpxReport* report = nullptr) {
    std::string text;
    EXPECT_TRUE(EncodeGpx(store, options, text, report));
    return text;
}

// The store's records as bytes: equal images mean equal stores.
std::vector<std::uint8_t> Image(const TobrelFile& store) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(EncodeNativeFile(store, bytes));
    return bytes;
}

// The fields of a packed record, copied out: the test macros take references,
// which unaligned fields cannot give.
struct Fields {
    double latitude;
    double longitude;
    float altitude;
    std::uint32_t time;
};
Fields F(const TrackData& p) {
    return {p.latitude, p.longitude, p.altitude, p.time};
}
Fields F(const WaypointData& w) {
    return {w.latitude, w.longitude, w.altitude, 0};
}

// A GPX document around the given body, with a document type when given.
std::string Gpx(std::string_view body, std::string_view doctype = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + std::string(doctype) +
           "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
           std::string(body) + "</gpx>\n";
}

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/tobrel_gpx_XXXXXX";
        path = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    }
    ~TempDir() { fs::remove_all(path); }
    std::string path;
};

// The sample store plus what only GPX has to take care of: empty segments at
// the end, a symbol number without a name, absent altitudes and times, and
// texts with XML's special characters.
void FillOddStore(TobrelFile& s) {
    testing::FillSample(s);
    testing::AddTrack(s, "<&>\"' \t\r\n", {{1, 10.0, 20.0}, {3, 10.5, 20.5}, {3, 11.0, 21.0}}, 5);
    TrackData* p = s.GetTrackData(s.GetTrackCount() - 1);
    p[0].altitude = kGpxNoTrackAltitude;
    p[1].time = 0xFFFFFFFFu;
    p[2].time = 1;
    p[2].altitude = -0.0f;
    testing::AddTrack(s, "", {}, 0);
    const int w = s.AddWaypoints(2);
    s.SetWaypoint(w, "SYM177", "a&b<c>d", 1e-7, -1e-7, kGpxNoWaypointAltitude, 0.5f, 177, 65535);
    s.SetWaypoint(w + 1, "", "", 90.0, -180.0, 12345.678, 0, 8219, 0);
    for (int t = 0; t < s.GetTrackCount(); ++t)
        s.RecalcTrack(t, 0.0);  // as the reader computes them
}

// ---- the round trip ------------------------------------------------------------

TEST(GpxRoundTrip, EveryFieldOfTheStoreComesBack) {
    TobrelFile original;
    FillOddStore(original);
    GpxReport written;
    const std::string text = Encode(original, GpxOptions(kWgs84), &written);
    EXPECT_EQ(written.tracks, 4);
    EXPECT_EQ(written.trackPoints, 9);
    EXPECT_EQ(written.waypoints, 5);
    EXPECT_EQ(written.routes, 2);
    EXPECT_EQ(written.routePoints, 2);
    EXPECT_EQ(written.skippedPoints, 0);
    EXPECT_EQ(written.replacedCharacters, 0);

    TobrelFile back;
    back.SetTimeZoneBias(12345);
    GpxReport read;
    const GpxResult r = ReadText(text, back, &read);
    ASSERT_TRUE(r.ok()) << r.Describe();
    EXPECT_EQ(Image(back), Image(original));  // every byte of every record
    EXPECT_EQ(read.trackPoints, 9);
    EXPECT_EQ(read.waypoints, 5);
    EXPECT_EQ(read.routePoints, 2);
    EXPECT_EQ(read.replacedCharacters + read.cutTexts + read.droppedTimes, 0);
    EXPECT_EQ(Encode(back), text);

    // What the file says in plain GPX, for other programs.
    EXPECT_NE(text.find("<name>&lt;&amp;&gt;\"' \t&#13;\n</name>"), std::string::npos);
    EXPECT_NE(text.find("<trkseg/>"), std::string::npos);
    EXPECT_NE(text.find("<sym>Zoo</sym>"), std::string::npos);
    EXPECT_NE(text.find("<tobrel:symbol>177</tobrel:symbol>"), std::string::npos);
    EXPECT_NE(text.find("<time>2126-02-06T06:28:15Z</time>"), std::string::npos);
    EXPECT_NE(text.find("<trkpt lat=\"10\" lon=\"20\"></trkpt>"), std::string::npos);
    EXPECT_NE(text.find("lat=\"90\" lon=\"-180\""), std::string::npos);
    EXPECT_NE(text.find("<name>\xe6\x9d\xb1\xe4\xba\xac-\xe8\xa1\xa8</name>"), std::string::npos);
}

TEST(GpxRoundTrip, WireValuesComeBackExactly) {
    // Positions as a download gives them (whole wire units), in WGS 84 and,
    // away from the poles, in Tokyo.
    const std::int32_t wires[] = {
        0,           1,          -1,         429496730,   -423531496,     1073741824,
        -1073741824, 1658200000, 2147483647, -2147483647, -2147483647 - 1};
    const sorvane::MapDatum tokyo("Tokyo");
    for (const bool inTokyo : {false, true}) {
        SCOPED_TRACE(inTokyo ? "Tokyo" : "WGS 84");
        const GpxOptions options(inTokyo ? TokyoShift() : kWgs84);
        TobrelFile store;
        std::vector<double> lat, lon;
        for (const std::int32_t wire : wires) {
            const double la = wire * kWireUnit * (inTokyo ? 0.25 : 0.5), lo = wire * kWireUnit;
            lat.push_back(la);
            lon.push_back(lo >= 180.0 ? lo - 360.0 : lo);  // as the file holds it
            const auto p = inTokyo ? tokyo.wgs84ToLocal(la, lo, 100.0)
                                   : std::optional<sorvane::GeoPosition>({la, lo, 100.0});
            ASSERT_TRUE(p);
            store.SetWaypoint(store.AddWaypoints(1), "W", "", p->latitude, p->longitude, p->height,
                              0, 18, 0);
        }
        // Written from the store's datum and read in WGS 84: the download's values.
        TobrelFile asWgs;
        ASSERT_TRUE(ReadText(Encode(store, options), asWgs));
        ASSERT_EQ(asWgs.GetWaypointCount(), store.GetWaypointCount());
        // Read back in the store's datum: the stored values.
        TobrelFile same;
        ASSERT_TRUE(ReadText(Encode(store, options), same, nullptr, options));
        ASSERT_EQ(same.GetWaypointCount(), store.GetWaypointCount());
        const double tolerance = inTokyo ? 1e-12 : 0.0;
        for (int i = 0; i < store.GetWaypointCount(); ++i) {
            SCOPED_TRACE(wires[i]);
            EXPECT_NEAR(F(*asWgs.GetWaypointData(i)).latitude, lat[i], tolerance);
            // -180 may come back as 180 - 1e-13 from Tokyo: the same meridian.
            EXPECT_NEAR(std::remainder(F(*asWgs.GetWaypointData(i)).longitude - lon[i], 360.0), 0.0,
                        tolerance);
            EXPECT_NEAR(F(*asWgs.GetWaypointData(i)).altitude, 100.0f, inTokyo ? 1e-4 : 0.0);
            EXPECT_NEAR(F(*same.GetWaypointData(i)).latitude, F(*store.GetWaypointData(i)).latitude,
                        tolerance);
            EXPECT_NEAR(std::remainder(F(*same.GetWaypointData(i)).longitude -
                                           F(*store.GetWaypointData(i)).longitude,
                                       360.0),
                        0.0, tolerance);
        }
    }
}

TEST(GpxRoundTrip, WrittenInWgs84ReadInTokyo) {
    TobrelFile store;
    testing::AddTrack(store, "JAPAN",
                      {{1, 35.0, 139.0}, {1, 26.2, 127.7}, {1, 43.06, 141.35}, {1, 24.3, 153.98}});
    store.GetTrackData(0)[1].altitude = 250.0f;
    store.GetTrackData(0)[2].altitude = kGpxNoTrackAltitude;
    testing::FillLongTrack(store, 500);  // neighbours a few metres apart
    const std::string file = Encode(store);

    const GpxOptions tokyo(TokyoShift());
    TobrelFile local;
    ASSERT_TRUE(ReadText(file, local, nullptr, tokyo));
    const sorvane::MapDatum datum("Tokyo");
    const gpx::DatumConversion back(TokyoShift());
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Fields w = F(store.GetTrackData(0)[i]);
        const Fields l = F(local.GetTrackData(0)[i]);
        const bool hasAltitude = w.altitude != kGpxNoTrackAltitude;
        // The reader converts as the GPS control does.
        const auto expected =
            datum.wgs84ToLocal(w.latitude, w.longitude, hasAltitude ? w.altitude : 0);
        ASSERT_TRUE(expected);
        EXPECT_EQ(l.latitude, expected->latitude);
        EXPECT_EQ(l.longitude, expected->longitude);
        EXPECT_EQ(l.altitude,
                  hasAltitude ? static_cast<float>(expected->height) : kGpxNoTrackAltitude);
        EXPECT_GT(std::fabs(l.latitude - w.latitude), 1e-4);
        // And back to WGS 84: the original positions, far closer than the
        // 1e-7 degree a single reversed shift gives.
        const auto g = back.ToWgs84({l.latitude, l.longitude, l.altitude}, hasAltitude);
        ASSERT_TRUE(g);
        EXPECT_NEAR(g->latitude, w.latitude, 1e-11);
        EXPECT_NEAR(g->longitude, w.longitude, 1e-11);
    }
    // Written from Tokyo, read in WGS 84: the first file's positions.
    TobrelFile again;
    ASSERT_TRUE(ReadText(Encode(local, tokyo), again));
    for (int t = 0; t < 2; ++t) {
        ASSERT_EQ(again.GetTrackPointCount(t), store.GetTrackPointCount(t));
        for (int i = 0; i < store.GetTrackPointCount(t); ++i) {
            const Fields a = F(again.GetTrackData(t)[i]);
            const Fields w = F(store.GetTrackData(t)[i]);
            EXPECT_NEAR(a.latitude, w.latitude, 1e-11);
            EXPECT_NEAR(a.longitude, w.longitude, 1e-11);
        }
    }
    EXPECT_EQ(F(again.GetTrackData(0)[2]).altitude, kGpxNoTrackAltitude);
    EXPECT_NEAR(F(again.GetTrackData(0)[1]).altitude, 250.0f, 1e-3);
    // The distances are on the datum's sphere, as after a download.
    TobrelFile recalc = local;
    recalc.RecalcTrack(0, TokyoShift().dA);
    recalc.RecalcTrack(1, TokyoShift().dA);
    EXPECT_EQ(Image(recalc), Image(local));
}

// ---- schema ----------------------------------------------------------------------

// Runs xmllint against the schema kept beside the tests; a missing xmllint
// fails the test (scripts/setup.sh installs it).
int Validate(const std::string& path) {
    const std::string command = std::string("xmllint --noout --schema '") + GPX_SCHEMA_PATH +
                                "' '" + path + "' > '" + path + ".log' 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GpxSchema, WrittenFilesValidate) {
    ASSERT_EQ(std::system("command -v xmllint > /dev/null"), 0) << "xmllint is missing";
    TempDir dir;
    TobrelFile empty, odd, invalid, tokyoStore;
    FillOddStore(odd);
    // What the store may hold but the file cannot: text that is no code page
    // 932 or not XML, positions that are not numbers or beyond the poles.
    const int w = invalid.AddWaypoints(3);
    invalid.SetWaypoint(w, "\x81",
                        "\x01\x02"
                        "ok\x7f",
                        35, 190, NAN, NAN, 0, 0);
    invalid.SetWaypoint(w + 1, "NAN", "", NAN, 0, 0, 0, 0, 0);
    invalid.SetWaypoint(w + 2, "POLE", "", 90.5, 0, 0, 0, 0, 0);
    testing::AddTrack(invalid, "\xff\xfe", {{1, INFINITY, 0}, {1, 0, 540.0}, {2, -90, -180.0}});
    invalid.GetTrackData(0)[2].altitude = INFINITY;
    testing::FillSample(tokyoStore);
    const struct {
        const char* name;
        const TobrelFile& store;
        GpxOptions options;
    } cases[] = {{"empty", empty, GpxOptions(kWgs84)},
                 {"odd", odd, GpxOptions(kWgs84)},
                 {"invalid", invalid, GpxOptions(kWgs84)},
                 {"tokyo", tokyoStore, GpxOptions(TokyoShift())}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path + "/" + c.name + ".gpx";
        GpxReport report;
        ASSERT_TRUE(WriteGpx(path, c.store, c.options, &report).ok());
        EXPECT_EQ(Validate(path), 0) << std::ifstream(path + ".log").rdbuf();
        if (&c.store == &invalid) {
            EXPECT_EQ(report.skippedPoints, 3);
            EXPECT_EQ(report.replacedCharacters, 5);  // \x81, \x01, \x02, \xff, \xfe
            TobrelFile back;
            ASSERT_TRUE(ReadGpx(path, c.options, back).ok());
            EXPECT_EQ(back.GetWaypointCount(), 1);
            EXPECT_STREQ(back.GetWaypointIdent(0), "?");
            EXPECT_STREQ(back.GetWaypointComment(0), "??ok\x7f");
            EXPECT_EQ(F(*back.GetWaypointData(0)).longitude, -170.0);
            EXPECT_EQ(F(*back.GetWaypointData(0)).altitude, kGpxNoWaypointAltitude);
            ASSERT_EQ(back.GetTrackPointCount(0), 2);
            EXPECT_EQ(F(back.GetTrackData(0)[0]).longitude, -180.0);
            EXPECT_EQ(F(back.GetTrackData(0)[1]).altitude, kGpxNoTrackAltitude);
        }
    }
    // The check itself can fail: a position outside the schema's range.
    std::ofstream(dir.path + "/bad.gpx") << Gpx("<wpt lat=\"95\" lon=\"0\"/>\n");
    EXPECT_NE(Validate(dir.path + "/bad.gpx"), 0);
}

// ---- fields --------------------------------------------------------------------------

TEST(GpxFields, Times) {
    const struct {
        const char* text;
        std::optional<std::int64_t> unix;
    } rows[] = {
        {"2021-09-01T12:34:56Z", 1630499696},
        {"2021-09-01T12:34:56.999Z", 1630499696},
        {"2021-09-01T21:34:56+09:00", 1630499696},
        {"2021-09-01T07:04:56.5-05:30", 1630499696},
        {"2021-09-01T21:34:56+0900", 1630499696},
        {"2021-09-01T12:34:56", 1630499696},
        {" 2021-09-01t12:34:56z\n", 1630499696},
        {"2021-09-01 12:34:56Z", 1630499696},
        {"2021-09-01T24:00:00Z", 1630540800},
        {"2016-12-31T23:59:60Z", 1483228800},
        {"2020-02-29T00:00:00Z", 1582934400},
        {"1989-12-31T00:00:00Z", 631065600},
        {"2021-02-29T00:00:00Z", std::nullopt},
        {"2021-13-01T00:00:00Z", std::nullopt},
        {"2021-09-01", std::nullopt},
        {"2021-09-01T12:34Z", std::nullopt},
        {"2021-09-01T12:34:56.Z", std::nullopt},
        {"2021-09-01T24:00:01Z", std::nullopt},
        {"2021-09-01T24:00:00.5Z", std::nullopt},
        {"2021-09-01T12:34:56+15:00", std::nullopt},
        {"2021-09-01T12:34:56Zjunk", std::nullopt},
        {"21-09-01T12:34:56Z", std::nullopt},
        {"yesterday", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(gpx::ParseDateTime(row.text), row.unix);
    }
    char out[gpx::kDateTimeLength + 1] = {};
    for (const auto& [unix, text] : std::vector<std::pair<std::int64_t, const char*>>{
             {631065600, "1989-12-31T00:00:00Z"},
             {1582934400, "2020-02-29T00:00:00Z"},
             {631065600 + std::int64_t{0xFFFFFFFF}, "2126-02-06T06:28:15Z"},
             {-1, "1969-12-31T23:59:59Z"}}) {
        gpx::FormatDateTime(unix, out);
        EXPECT_STREQ(out, text);
    }
    EXPECT_EQ(gpx::StoreTimeOf(631065599), std::nullopt);
    EXPECT_EQ(gpx::StoreTimeOf(631065600), 0u);
    EXPECT_EQ(gpx::StoreTimeOf(631065600 + std::int64_t{0xFFFFFFFF}), 0xFFFFFFFFu);
    EXPECT_EQ(gpx::StoreTimeOf(631065600 + std::int64_t{0x100000000}), std::nullopt);

    // Through the reader: times the store cannot hold are counted and left out.
    TobrelFile s;
    GpxReport report;
    ASSERT_TRUE(
        ReadText(Gpx("<trk><trkseg>"
                     "<trkpt lat=\"1\" lon=\"2\"><time>2021-09-01T21:34:56+09:00</time></trkpt>"
                     "<trkpt lat=\"1\" lon=\"2\"><time>1980-01-01T00:00:00Z</time></trkpt>"
                     "<trkpt lat=\"1\" lon=\"2\"><time> </time></trkpt>"
                     "<trkpt lat=\"1\" lon=\"2\"><time>2200-01-01T00:00:00Z</time></trkpt>"
                     "</trkseg></trk>"),
                 s, &report));
    EXPECT_EQ(s.GetTrackPointTime(0, 0), 1630499696);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(F(s.GetTrackData(0)[i]).time, 0u);
    EXPECT_EQ(report.droppedTimes, 2);
}

TEST(GpxFields, NamesBecomeCodePage932) {
    const struct {
        const char* name;
        const char* comment;
        const char* description;
        const char* ident;
        const char* storedComment;
        int replaced;
        int cut;
    } rows[] = {
        {"東京タワー", nullptr, nullptr, "\x93\x8c\x8b\x9e\x83\x5e\x83\x8f\x81\x5b", "", 0, 0},
        {"ｱｲｳ", "Café", nullptr, "\xb1\xb2\xb3", "Caf?", 1, 0},
        {"\xf0\x9f\x98\x80"
         "A",
         nullptr, "desc only", "?A", "desc only", 1, 0},
        {"A", "cmt", "desc", "A", "cmt", 0, 0},
        // 13 characters of two bytes: cut after the 11th, never in a character
        {"北海道札幌市中央区北一条西", nullptr, nullptr,
         "\x96\x6b\x8a\x43\x93\xb9\x8e\x44\x96\x79\x8e\x73\x92\x86\x89\x9b\x8b\xe6\x96\x6b\x88\xea",
         "", 0, 1},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", nullptr, nullptr, "ABCDEFGHIJKLMNOPQRSTUVW", "", 0, 1},
        // a character without a form that falls beyond the limit is not counted
        {"ABCDEFGHIJKLMNOPQRSTUVWé", nullptr, nullptr, "ABCDEFGHIJKLMNOPQRSTUVW", "", 0, 1},
        {"a&amp;b&lt;c<![CDATA[<d>]]>", nullptr, nullptr, "a&b<c<d>", "", 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string body = "<wpt lat=\"1\" lon=\"2\"><name>" + std::string(row.name) + "</name>";
        if (row.comment != nullptr)
            body += "<cmt>" + std::string(row.comment) + "</cmt>";
        if (row.description != nullptr)
            body += "<desc>" + std::string(row.description) + "</desc>";
        body += "</wpt>";
        TobrelFile s;
        GpxReport report;
        ASSERT_TRUE(ReadText(Gpx(body), s, &report).ok());
        EXPECT_STREQ(s.GetWaypointIdent(0), row.ident);
        EXPECT_STREQ(s.GetWaypointComment(0), row.storedComment);
        EXPECT_EQ(report.replacedCharacters, row.replaced);
        EXPECT_EQ(report.cutTexts, row.cut);
    }
    // Route names keep 63 bytes, track names 23.
    TobrelFile s;
    const std::string longName(100, 'R');
    ASSERT_TRUE(ReadText(
        Gpx("<rte><name>" + longName + "</name></rte><trk><name>" + longName + "</name></trk>"),
        s));
    EXPECT_EQ(std::string(s.GetRouteName(0)), longName.substr(0, 63));
    EXPECT_EQ(std::string(s.GetTrackName(0)), longName.substr(0, 23));
}

TEST(GpxFields, Symbols) {
    const struct {
        const char* sym;        // <sym>, or null for none
        const char* extension;  // the program's symbol number, or null
        int table;
        int expected;
    } rows[] = {
        {"Zoo", nullptr, kGpxDefaultSymbolTable, 8219},
        {"zoo", nullptr, kGpxDefaultSymbolTable, 8219},
        {" Flag ", nullptr, kGpxDefaultSymbolTable, 178},
        {"Unknown thing", nullptr, kGpxDefaultSymbolTable, 18},
        {nullptr, nullptr, kGpxDefaultSymbolTable, 18},
        {nullptr, "177", kGpxDefaultSymbolTable, 177},
        {"Zoo", "177", kGpxDefaultSymbolTable, 8219},
        {"dot", nullptr, 4103, 0},
        {"Zoo", nullptr, 4103, 18},
        {"Zoo", nullptr, 4109, 8219},  // a type without a table uses the long one
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.sym ? row.sym : "-") + "/" +
                     (row.extension ? row.extension : "-"));
        std::string body = "<wpt lat=\"1\" lon=\"2\">";
        if (row.sym != nullptr)
            body += "<sym>" + std::string(row.sym) + "</sym>";
        if (row.extension != nullptr)
            body += "<extensions><x:symbol xmlns:x=\"urn:x-tobrelpa:gpx:1\">" +
                    std::string(row.extension) + "</x:symbol></extensions>";
        body += "</wpt>";
        GpxOptions options(kWgs84);
        options.symbolTable = row.table;
        TobrelFile s;
        ASSERT_TRUE(ReadText(Gpx(body), s, nullptr, options).ok());
        EXPECT_EQ(s.GetWaypointSymbol(0), row.expected);
    }
    // Writing with the short table names its numbers.
    TobrelFile s;
    s.SetWaypoint(s.AddWaypoints(1), "D", "", 1, 2, 0, 0, 0, 0);
    GpxOptions shortTable(kWgs84);
    shortTable.symbolTable = 4103;
    EXPECT_NE(Encode(s, shortTable).find("<sym>dot</sym>"), std::string::npos);
    EXPECT_NE(Encode(s).find("<sym>white Anchor</sym>"), std::string::npos);
}

// ---- other writers -------------------------------------------------------------------

TEST(GpxReader, TakesWhatOtherProgramsWrite) {
    const std::string gpx10 =
        "\xef\xbb\xbf<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE gpx>\n"
        "<!-- written elsewhere -->\n"
        "<gpx version=\"1.0\" creator=\"x\" xmlns=\"http://www.topografix.com/GPX/1/0\" "
        "xmlns:t=\"urn:x-tobrelpa:gpx:1\" xmlns:o=\"urn:other\">\n"
        " <name>a file</name><time>2021-01-01T00:00:00Z</time><o:thing><gpx/></o:thing>\n"
        " <wpt lat=\"+35.5\" lon=\" 139.25 \"><ele>12.5</ele><time>bad, but not read</time>"
        "<name>W1</name><url>http://x</url><sym>Flag</sym><t:display>2</t:display></wpt>\n"
        " <rte><name>R</name><number>3</number><rtept lat=\"1\" lon=\"2\"><name>P</name></rtept>"
        "</rte>\n"
        " <trk><name>T</name><trkseg><trkpt lat=\"1\" lon=\"2\"><ele></ele><course>3</course>"
        "<speed>4</speed><?pi data?></trkpt></trkseg></trk>\n"
        "</gpx>\n";
    const std::string plain =
        "<gpx><wpt lat=\"1e-3\" lon=\"2.\"><name><![CDATA[W1]]></name><ele>12.5</ele></wpt>"
        "<rte><name>R</name><rtept lat=\"1\" lon=\"2\"><name>P</name></rtept></rte>"
        "<trk><name>T</name><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>";
    const std::string foreign =
        Gpx("<metadata><name>m</name><extensions><o:x xmlns:o=\"urn:other\"><o:y/></o:x>"
            "</extensions></metadata>\n"
            "<wpt lat=\"35.5\" lon=\"139.25\"><ele>12.5</ele><name>W1</name><link href=\"h\"><text>"
            "t</text></link><extensions><o:a xmlns:o=\"urn:other\"><o:b><o:c>deep</o:c></o:b></o:a>"
            "</extensions></wpt>\n"
            "<rte><name>R</name><rtept lat=\"1\" lon=\"2\"><name>P</name></rtept></rte>\n"
            "<trk><name>T</name><extensions/><trkseg><trkpt lat=\"1\" lon=\"2\"><extensions>"
            "<o:hr xmlns:o=\"urn:other\">120</o:hr></extensions></trkpt></trkseg>"
            "<trkseg/><extensions/></trk>\n"
            "<extensions><o:z xmlns:o=\"urn:other\"/></extensions>\n");
    for (const std::string& text : {gpx10, plain, foreign}) {
        TobrelFile s;
        const GpxResult r = ReadText(text, s);
        ASSERT_TRUE(r.ok()) << r.Describe();
        ASSERT_EQ(s.GetWaypointCount(), 1);
        EXPECT_STREQ(s.GetWaypointIdent(0), "W1");
        EXPECT_EQ(F(*s.GetWaypointData(0)).altitude, 12.5f);
        ASSERT_EQ(s.GetRouteCount(), 1);
        EXPECT_STREQ(s.GetRouteName(0), "R");
        EXPECT_STREQ(s.GetRouteWaypointIdent(0, 0), "P");
        ASSERT_EQ(s.GetTrackCount(), 1);
        EXPECT_STREQ(s.GetTrackName(0), "T");
        ASSERT_EQ(s.GetTrackPointCount(0), 1);
        EXPECT_EQ(F(s.GetTrackData(0)[0]).altitude, kGpxNoTrackAltitude);
        if (&text == &gpx10) {
            EXPECT_EQ(F(*s.GetWaypointData(0)).latitude, 35.5);
            EXPECT_EQ(F(*s.GetWaypointData(0)).longitude, 139.25);
            EXPECT_EQ(s.GetWaypointSymbol(0), 178);
            EXPECT_EQ(s.GetWaypointDisplay(0), 2);
        }
        if (&text == &foreign) {
            EXPECT_EQ(s.GetTrackSegmentCount(0), 2);
        }
    }
}

TEST(GpxReader, OtherEncodings) {
    std::string utf16 = "\xff\xfe";  // little-endian, with its byte order mark
    for (const char16_t c :
         std::u16string(u"<gpx><wpt lat='1' lon='2'><name>東京</name></wpt></gpx>")) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    const struct {
        std::string text;
        const char* ident;  // null when the file is refused
        int replaced;
    } rows[] = {
        // Tokyo, then a character whose second byte is a backslash
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<gpx><wpt lat=\"1\" lon=\"2\">"
         "<name>\x93\x8c\x8b\x9e\x95\x5c\xb1</name></wpt></gpx>",
         "\x93\x8c\x8b\x9e\x95\x5c\xb1", 0},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<gpx><wpt lat=\"1\" lon=\"2\">"
         "<name>Caf\xe9 \x80</name></wpt></gpx>",
         "Caf? ?", 2},
        {utf16, "\x93\x8c\x8b\x9e", 0},
        {"<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<gpx/>", nullptr, 0},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<gpx><wpt lat=\"1\" lon=\"2\">"
         "<name>\x93\x20</name></wpt></gpx>",
         nullptr, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        TobrelFile s;
        GpxReport report;
        const GpxResult r = ReadText(row.text, s, &report);
        if (row.ident == nullptr) {
            EXPECT_EQ(r.status, GpxStatus::kNotWellFormed);
            continue;
        }
        ASSERT_TRUE(r.ok()) << r.Describe();
        EXPECT_STREQ(s.GetWaypointIdent(0), row.ident);
        EXPECT_EQ(report.replacedCharacters, row.replaced);
    }
}

TEST(GpxReader, NamesCanBeRequired) {
    GpxOptions options(kWgs84);
    options.requireNames = true;
    const struct {
        const char* body;
        long line;  // 0 when the file is taken
    } rows[] = {
        {"<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>\n<rte><rtept lat=\"1\" lon=\"2\"><name>B"
         "</name></rtept></rte>\n",
         0},
        {"<wpt lat=\"1\" lon=\"2\"><name>A</name></wpt>\n<wpt lat=\"1\" lon=\"2\"/>\n", 4},
        {"<rte>\n<rtept lat=\"1\" lon=\"2\"><name> </name></rtept></rte>\n", 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.body);
        TobrelFile s;
        const GpxResult r = ReadText(Gpx(row.body), s, nullptr, options);
        EXPECT_EQ(r.ok(), row.line == 0) << r.Describe();
        EXPECT_EQ(r.line, row.line);
        if (row.line != 0) {
            EXPECT_EQ(r.status, GpxStatus::kBadValue);
            EXPECT_NE(r.message.find("without a name"), std::string::npos);
        }
        EXPECT_TRUE(ReadText(Gpx(row.body), s).ok());  // names are optional by default
    }
}

// ---- damaged and hostile files ---------------------------------------------------------

TEST(GpxReader, DamagedFilesLeaveTheStoreAsItWas) {
    const std::string head =
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    const std::string trk = head + "<trk><trkseg>\n";
    const struct {
        std::string text;
        GpxStatus status;
        long line;
        const char* says;
    } rows[] = {
        {"", GpxStatus::kCannotOpen, 0, "empty"},
        {" \n\n", GpxStatus::kNotWellFormed, 3, "no element"},
        {std::string("\x00\xff\x10garbage", 10), GpxStatus::kNotWellFormed, 1, "not well-formed"},
        {trk + "<trkpt lat=\"1\" lon=\"2\">\n</trkseg>", GpxStatus::kNotWellFormed, 5,
         "mismatched"},
        {Gpx("<trk>"), GpxStatus::kNotWellFormed, 3, "mismatched"},
        {Gpx("") + "<gpx/>", GpxStatus::kNotWellFormed, 4, "junk"},
        {trk + "<trkpt lat=\"1\" lon=\"2\"><time>2021-09-01T00:0", GpxStatus::kNotWellFormed, 4,
         "XML"},
        {"<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document/></kml>", GpxStatus::kNotGpx, 1,
         "<kml>"},
        {"\n<gpx xmlns=\"http://example.com/gpx\"/>", GpxStatus::kNotGpx, 2, "namespace"},
        {trk + "<trkpt lat=\"95.6\" lon=\"2\"/>", GpxStatus::kBadValue, 4, "outside -90 to 90"},
        {trk + "\n<trkpt lat=\"1\" lon=\"539.7\"/>", GpxStatus::kBadValue, 5, "539.7"},
        {trk + "<trkpt lat=\"nan\" lon=\"2\"/>", GpxStatus::kBadValue, 4, "not a number"},
        {trk + "<trkpt lat=\"1\" lon=\"-inf\"/>", GpxStatus::kBadValue, 4, "not a number"},
        {trk + "<trkpt lat=\"35,5\" lon=\"2\"/>", GpxStatus::kBadValue, 4, "\"35,5\""},
        {trk + "<trkpt lat=\"1\"/>", GpxStatus::kBadValue, 4, "without a longitude"},
        {head + "<wpt lon=\"1\"/>", GpxStatus::kBadValue, 3, "waypoint without a latitude"},
        {trk + "<trkpt lat=\"1\" lon=\"2\">\n<time>yesterday</time>", GpxStatus::kBadValue, 5,
         "\"yesterday\" is not a date"},
        {trk + "<trkpt lat=\"1\" lon=\"2\"><ele>12 m</ele>", GpxStatus::kBadValue, 4, "elevation"},
        {head + "<wpt lat=\"1\" lon=\"2\"><extensions><t:display xmlns:t=\"urn:x-tobrelpa:gpx:1\">"
                "70000</t:display>",
         GpxStatus::kBadValue, 3, "display option"},
        {trk + "<trkpt lat=\"1\" lon=\"2\"><ele>" + std::string(2000, '1') + "</ele>",
         GpxStatus::kBadValue, 4, "1024 bytes"},
    };
    TobrelFile store;
    testing::FillSample(store);
    const auto before = Image(store);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        GpxReport report;
        const GpxResult r = ReadText(row.text, store, &report);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.line, row.line);
        EXPECT_NE(r.message.find(row.says), std::string::npos) << r.message;
        if (row.line > 0) {
            EXPECT_EQ(r.Describe(), "line " + std::to_string(row.line) + ": " + r.message);
        }
        EXPECT_EQ(Image(store), before);
    }
    // Files that cannot be opened.
    TempDir dir;
    for (const std::string& path : {dir.path, dir.path + "/missing.gpx"}) {
        const GpxResult r = ReadGpx(path, GpxOptions(kWgs84), store);
        EXPECT_EQ(r.status, GpxStatus::kCannotOpen);
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_NE(ReadGpx(dir.path, GpxOptions(kWgs84), store).message.find("folder"),
              std::string::npos);
    EXPECT_EQ(Image(store), before);
}

TEST(GpxReader, HostileFilesAreRefused) {
    TempDir dir;
    const std::string secret = dir.path + "/secret.txt";
    std::ofstream(secret) << "SECRET-CONTENT";
    const std::string laughs = Gpx("<wpt lat=\"1\" lon=\"2\"><name>&d;&d;&d;&d;&d;</name></wpt>",
                                   "<!DOCTYPE gpx [\n<!ENTITY a \"ha\">\n"
                                   "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                                   "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                                   "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n]>\n");
    const std::string entityName = "<wpt lat=\"1\" lon=\"2\"><name>&s;</name></wpt>";
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<x>";
    const struct {
        const char* name;
        std::string text;
        GpxStatus status;
    } rows[] = {
        {"billion laughs", laughs, GpxStatus::kRefused},
        {"outside file as entity",
         Gpx(entityName, "<!DOCTYPE gpx [<!ENTITY s SYSTEM \"file://" + secret + "\">]>\n"),
         GpxStatus::kRefused},
        {"outside file as parameter entity",
         Gpx("", "<!DOCTYPE gpx [<!ENTITY % s SYSTEM \"file://" + secret + "\"> %s;]>\n"),
         GpxStatus::kRefused},
        {"outside document type with a reference",
         Gpx(entityName, "<!DOCTYPE gpx SYSTEM \"file://" + secret + "\">\n"), GpxStatus::kRefused},
        {"deep nesting", Gpx(deep), GpxStatus::kRefused},
        {"huge attribute", Gpx("<wpt lat=\"1" + std::string(9 << 20, '0') + "\" lon=\"2\"/>"),
         GpxStatus::kRefused},
        {"huge comment", Gpx("<!--" + std::string(9 << 20, 'c') + "-->"), GpxStatus::kRefused},
    };
    TobrelFile store;
    testing::FillSample(store);
    const auto before = Image(store);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const GpxResult r = ReadText(row.text, store);
        EXPECT_EQ(r.status, row.status) << r.Describe();
        EXPECT_EQ(Image(store), before);
    }

    // Large texts are streamed, not refused: a 10 MiB name is cut, a 10 MiB
    // description of a track point skipped, and nesting within the limit is read.
    std::string inner;
    for (int i = 0; i < 200; ++i)
        inner += "<o:x>";
    for (int i = 0; i < 200; ++i)
        inner += "</o:x>";
    const std::string big(10 << 20, 'N');
    TobrelFile s;
    GpxReport report;
    const GpxResult r = ReadText(Gpx("<wpt lat=\"1\" lon=\"2\"><name>" + big +
                                     "</name></wpt><trk><trkseg><trkpt lat=\"1\" "
                                     "lon=\"2\"><desc>" +
                                     big + "</desc><extensions xmlns:o=\"urn:other\">" + inner +
                                     "</extensions></trkpt></trkseg></trk>"),
                                 s, &report);
    ASSERT_TRUE(r.ok()) << r.Describe();
    EXPECT_EQ(std::string(s.GetWaypointIdent(0)), big.substr(0, kNameMax));
    EXPECT_EQ(report.cutTexts, 1);
    EXPECT_EQ(s.GetTrackPointCount(0), 1);

    // An outside document type without references is read, and never opened.
    TobrelFile e;
    ASSERT_TRUE(ReadText(Gpx("<wpt lat=\"1\" lon=\"2\"><name>N</name></wpt>",
                             "<!DOCTYPE gpx SYSTEM \"file://" + secret + "\">\n"),
                         e)
                    .ok());
    EXPECT_STREQ(e.GetWaypointIdent(0), "N");
}

}  // namespace
}  // namespace tobrel
