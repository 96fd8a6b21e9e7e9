// Opening and saving data files: damaged files keep what the user had, saving
// that fails says why, and every type survives a save and a reopen.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardItem>

#include "data/gpx_file.h"
#include "data/map_server_script.h"
#include "map/datum_converter.h"
#include "map/map_ctrl.h"
#include "text/cp932.h"
#include "ui/document.h"
#include "ui/files/file_commands.h"
#include "ui/files/file_formats.h"
#include "ui/main_window.h"
#include "ui/tree_controller.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using testing::ReadInt32;
using testing::WriteInt32;
using uitest::AnswerMessageBox;
using uitest::UiTest;
using uitest::WhenModal;

std::vector<std::uint8_t> SampleImage() {
    TobrelFile store;
    testing::FillSample(store);
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(EncodeNativeFile(store, bytes));
    return bytes;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

void WriteText(const QString& path, const char* text) {
    const std::string_view bytes(text);
    WriteAll(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

const FileFormat& GpxFormat() {
    return FileFormats()[2];
}

// The store's datum from WGS 84 (or back), as the program's GPS control selects it.
sorvane::GeoPosition FromWgs84(double lat, double lon, double height = 0) {
    return *sorvane::MolodenskyShift({lat, lon, height}, DatumConverter::TokyoShift());
}

std::uint32_t StoreTime(const char* utc) {
    const qint64 unix =
        QDateTime::fromString(QString::fromLatin1(utc), Qt::ISODate).toSecsSinceEpoch();
    return static_cast<std::uint32_t>(unix - kUnixTimeOffset);
}

// Every record of two stores alike, positions to 1e-7 degrees and heights to
// a millimetre (one datum shift there and back).
void ExpectSameRecords(const TobrelFile& a, const TobrelFile& b) {
    ASSERT_EQ(a.GetTrackCount(), b.GetTrackCount());
    for (int t = 0; t < a.GetTrackCount(); ++t) {
        EXPECT_STREQ(a.GetTrackName(t), b.GetTrackName(t)) << t;
        EXPECT_EQ(a.GetTrackSegmentCount(t), b.GetTrackSegmentCount(t)) << t;
        ASSERT_EQ(a.GetTrackPointCount(t), b.GetTrackPointCount(t)) << t;
        for (int i = 0; i < a.GetTrackPointCount(t); ++i) {
            const TrackData p = a.GetTrackData(t)[i];
            const TrackData q = b.GetTrackData(t)[i];
            EXPECT_NEAR(p.latitude, q.latitude, 1e-7) << t << "/" << i;
            EXPECT_NEAR(p.longitude, q.longitude, 1e-7) << t << "/" << i;
            EXPECT_NEAR(p.altitude, q.altitude, 1e-3) << t << "/" << i;
            EXPECT_EQ(p.time, q.time) << t << "/" << i;
            EXPECT_EQ(p.segment, q.segment) << t << "/" << i;
        }
    }
    const auto same = [](const WaypointData& w, const WaypointData& v, const std::string& where) {
        EXPECT_STREQ(w.ident, v.ident) << where;
        EXPECT_STREQ(w.comment, v.comment) << where;
        EXPECT_NEAR(w.latitude, v.latitude, 1e-7) << where;
        EXPECT_NEAR(w.longitude, v.longitude, 1e-7) << where;
        EXPECT_NEAR(w.altitude, v.altitude, 1e-3) << where;
        EXPECT_EQ(w.symbol, v.symbol) << where;
        EXPECT_EQ(w.display, v.display) << where;
        EXPECT_EQ(w.distance, v.distance) << where;
    };
    ASSERT_EQ(a.GetWaypointCount(), b.GetWaypointCount());
    for (int i = 0; i < a.GetWaypointCount(); ++i)
        same(*a.GetWaypointData(i), *b.GetWaypointData(i), "waypoint " + std::to_string(i));
    ASSERT_EQ(a.GetRouteCount(), b.GetRouteCount());
    for (int r = 0; r < a.GetRouteCount(); ++r) {
        EXPECT_STREQ(a.GetRouteName(r), b.GetRouteName(r));
        const auto& p = a.GetRouteHeader(r)->pWaypointData;
        const auto& q = b.GetRouteHeader(r)->pWaypointData;
        ASSERT_EQ(p.size(), q.size());
        for (std::size_t i = 0; i < p.size(); ++i)
            same(p[i], q[i], "route " + std::to_string(r) + "/" + std::to_string(i));
    }
    EXPECT_EQ(a.TimeZoneBias(), b.TimeZoneBias());
}

TEST(InspectNativeFile, FindsWhatIsWrongWithAnImage) {
    const std::vector<std::uint8_t> good = SampleImage();
    using P = NativeFileProblem;
    EXPECT_EQ(InspectNativeFile(good), P::kNone);
    struct Row {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        P problem;
    };
    const std::size_t waypoints = static_cast<std::size_t>(ReadInt32(good, 24));
    const std::size_t routes = static_cast<std::size_t>(ReadInt32(good, 28));
    const Row rows[] = {
        {"empty", [](auto& b) { b.clear(); }, P::kNotNative},
        {"half a header", [](auto& b) { b.resize(60); }, P::kTooShort},
        {"other magic", [](auto& b) { b[0] = 'X'; }, P::kNotNative},
        {"version 1", [](auto& b) { WriteInt32(b, 16, 1); }, P::kVersion},
        {"version 8", [](auto& b) { WriteInt32(b, 16, 8); }, P::kVersion},
        {"cut in the first track", [](auto& b) { b.resize(200); }, P::kTruncated},
        {"cut in the waypoints", [=](auto& b) { b.resize(waypoints + 100); }, P::kTruncated},
        {"cut in the route waypoints", [](auto& b) { b.resize(b.size() - 1); }, P::kTruncated},
        {"route section past the end", [](auto& b) { WriteInt32(b, 28, 1 << 30); }, P::kTruncated},
        {"negative waypoint count", [=](auto& b) { WriteInt32(b, waypoints, -2); },
         P::kInconsistent},
        {"offset inside the header", [](auto& b) { WriteInt32(b, 24, 50); }, P::kInconsistent},
        {"huge route count", [=](auto& b) { WriteInt32(b, routes, 0x7fffffff); }, P::kTruncated},
        {"huge point count", [](auto& b) { WriteInt32(b, 112 + 24, 0x7fffffff); }, P::kTruncated},
        {"sections absent",
         [](auto& b) { WriteInt32(b, 20, 0), WriteInt32(b, 24, 0), WriteInt32(b, 28, 0); },
         P::kNone},
        {"version 0 header only",
         [](auto& b) {
             b.resize(108), WriteInt32(b, 16, 0), WriteInt32(b, 20, 0), WriteInt32(b, 24, 0),
                 WriteInt32(b, 28, 0);
         },
         P::kNone},
    };
    for (const Row& row : rows) {
        std::vector<std::uint8_t> bytes = good;
        row.damage(bytes);
        std::int32_t version = 0;
        EXPECT_EQ(InspectNativeFile(bytes, &version), row.problem) << row.what;
    }
    // Every older version the reader knows passes as written by the test builder.
    TobrelFile store;
    testing::FillSample(store);
    for (int v : {0, 2, 3, 4, 5, 6, 7})
        EXPECT_EQ(InspectNativeFile(testing::BuildNativeImage(v, store)), P::kNone) << v;
}

class FileCommandsTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        window_ = std::make_unique<TfrmMain>();
        window_->show();
    }
    // Node names, each checked against its element id; ids differ between drawings.
    QStringList Nodes(QStandardItem* root) const {
        QStringList names;
        for (int i = 0; i < root->rowCount(); ++i) {
            const QString text = root->child(i)->text();
            EXPECT_EQ(text.section('/', -1),
                      QString::number(window_->Tree()->ElementIdOf(root->child(i)->index())));
            names.append(text.section('/', 0, -2));
        }
        return names;
    }
    struct Shown {
        QStringList waypoints, tracks;
        std::size_t elements;
        std::vector<std::uint8_t> store;
        bool operator==(const Shown&) const = default;
    };
    Shown What() const {
        Shown s{Nodes(window_->Tree()->WaypointRoot()),
                Nodes(window_->Tree()->TrackRoot()),
                window_->MapCtrl1()->ElementCount(),
                {}};
        EXPECT_TRUE(EncodeNativeFile(window_->Doc()->Store(), s.store));
        return s;
    }

    std::unique_ptr<TfrmMain> window_;
};

TEST_F(FileCommandsTest, DamagedNativeFilesKeepTheDataTreeAndMapAndSaySo) {
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("good.tb2")));
    const Shown before = What();
    ASSERT_EQ(before.tracks.size(), 3);
    ASSERT_EQ(before.waypoints.size(), 3);
    const std::vector<std::uint8_t> good = SampleImage();
    struct Row {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* says;
    };
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 50);
    std::vector<std::uint8_t> header = good;
    header[3] = '?';
    std::vector<std::uint8_t> version = good;
    WriteInt32(version, 16, 9);
    const Row rows[] = {{"truncated.tb2", truncated, "cut short"},
                        {"header.tb2", header, "not a Tobrel2 file"},
                        {"version.tb2", version, "version 9"},
                        {"missing.tb2", {}, "cannot be opened"}};
    for (const Row& row : rows) {
        if (!row.bytes.empty())
            WriteAll(Path(row.name), row.bytes);
        QString text;
        AnswerMessageBox(QMessageBox::Ok, &text);
        EXPECT_FALSE(window_->Files()->OpenFile(Path(row.name), &NativeFormat())) << row.name;
        EXPECT_TRUE(text.contains(row.name)) << text.toStdString();
        EXPECT_TRUE(text.contains(row.says)) << text.toStdString();
        EXPECT_TRUE(What() == before) << row.name;
        EXPECT_FALSE(window_->Doc()->IsModified());
        EXPECT_TRUE(window_->Doc()->Path().endsWith("good.tb2"));
    }
}

TEST_F(FileCommandsTest, FailedSaveSaysWhyAndKeepsThePreviousFile) {
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("data.tb2")));
    window_->Tree()->Delete(window_->Tree()->WaypointRoot()->child(0)->index());
    ASSERT_TRUE(window_->Doc()->IsModified());
    // A folder that is not there, and a name that is a folder (as root too).
    const QString folder = Path("data-folder.tb2");
    ASSERT_TRUE(QDir().mkpath(folder + "/inside"));
    for (const QString& target : {Path("no/such/folder/x.tb2"), folder}) {
        for (const FileFormat& format : FileFormats()) {
            QString text;
            AnswerMessageBox(QMessageBox::Ok, &text);
            EXPECT_FALSE(window_->Files()->SaveFile(target, format)) << format.name;
            EXPECT_TRUE(text.contains(QFileInfo(target).fileName())) << text.toStdString();
            EXPECT_TRUE(text.contains("unchanged")) << text.toStdString();
            EXPECT_TRUE(window_->Doc()->IsModified());
            EXPECT_TRUE(window_->Doc()->Path().endsWith("data.tb2"));
        }
    }
    EXPECT_TRUE(QFileInfo(folder + "/inside").isDir());
    EXPECT_EQ(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"inside"});
}

TEST_F(FileCommandsTest, BothTypesRoundTripAndAScriptAddsToWhatIsThere) {
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("a.tb2")));
    const Shown first = What();
    EXPECT_EQ(window_->windowTitle(), "a.tb2[*] - TobrelPA");
    ASSERT_TRUE(window_->Files()->SaveFile(Path("b.tb2"), NativeFormat()));
    EXPECT_EQ(ReadAll(Path("b.tb2")), ReadAll(Path("a.tb2")));
    EXPECT_EQ(window_->windowTitle(), "b.tb2[*] - TobrelPA");

    const FileFormat& script = FileFormats()[0];
    ASSERT_TRUE(window_->Files()->SaveFile(Path("c.mps"), script));
    EXPECT_EQ(window_->windowTitle(), "b.tb2[*] - TobrelPA");  // a script keeps less than the data
    // A script adds to what is shown: old and new together, in the tree and on the map.
    ASSERT_TRUE(window_->Files()->OpenFile(Path("c.mps")));
    const Shown both = What();
    EXPECT_EQ(both.waypoints.size(), first.waypoints.size() * 2 + 2);  // route points come back too
    EXPECT_GT(both.tracks.size(), first.tracks.size());
    EXPECT_EQ(both.elements, static_cast<std::size_t>(both.waypoints.size() + both.tracks.size()));
    EXPECT_TRUE(window_->Doc()->IsModified());
    // Opening the native file again replaces everything (after asking about the changes).
    AnswerMessageBox(QMessageBox::Discard);
    ASSERT_TRUE(window_->Files()->OpenFile(Path("b.tb2")));
    EXPECT_TRUE(What() == first);
    // The script alone: every point and waypoint where it was.
    TobrelFile empty;
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("empty.tb2", &empty)));
    ASSERT_TRUE(window_->Files()->OpenFile(Path("c.mps")));
    const TobrelFile& read = window_->Doc()->Store();
    TobrelFile sample;
    testing::FillSample(sample);
    ASSERT_EQ(read.GetWaypointCount(), 5);
    for (int i = 0; i < 3; ++i) {
        double lat[2], lon[2], alt;
        sample.GetWaypointPosition(i, &lat[0], &lon[0], &alt);
        read.GetWaypointPosition(i, &lat[1], &lon[1], &alt);
        EXPECT_NEAR(lat[1], lat[0], 1e-6) << i;
        EXPECT_NEAR(lon[1], lon[0], 1e-6) << i;
        EXPECT_STREQ(read.GetWaypointIdent(i), sample.GetWaypointIdent(i));
    }
    ASSERT_GE(read.GetTrackCount(), 3);
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(read.GetTrackData(1)[k].latitude, sample.GetTrackData(0)[k + 2].latitude, 1e-6);
        EXPECT_NEAR(read.GetTrackData(2)[k].longitude, sample.GetTrackData(1)[k].longitude, 1e-6);
    }
    EXPECT_FALSE(window_->Doc()->IsModified());  // read into nothing: nothing is lost
}

// ---------------------------------------------------------------- GPX

TEST(FileFormats, GpxIsTheThirdTypeAndKnownByItsSuffix) {
    EXPECT_EQ(FileFilters(),
              (QStringList{"MapServerScript (*.mps)", "Tobrel2 file (*.tb2)", "GPX (*.gpx)"}));
    EXPECT_EQ(FormatForOpening("/nowhere/hike.gpx", nullptr), &GpxFormat());
    EXPECT_EQ(FormatForOpening("/nowhere/HIKE.GPX", &NativeFormat()), &GpxFormat());
    EXPECT_TRUE(GpxFormat().replacesStore);
}

TEST_F(FileCommandsTest, OpensAGpxFileIntoTheTreeAndMapAndSaysWhatItChanged) {
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("before.tb2")));
    // Positions in WGS 84; a name the receivers' characters cannot write, a
    // name too long, an offset time, a point without elevation.
    WriteText(Path("walk.gpx"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              "<wpt lat=\"35.6812\" lon=\"139.7671\"><ele>40</ele><name>STATION</name>"
              "<cmt>\xe6\x9d\xb1\xe4\xba\xac\xe9\xa7\x85</cmt><sym>Flag, Blue</sym></wpt>\n"
              "<wpt lat=\"35.0\" lon=\"139.0\"><name>SNOW\xe2\x98\x83</name></wpt>\n"
              "<wpt lat=\"35.1\" lon=\"139.1\"><name>A NAME OF MORE THAN TWENTY-THREE "
              "BYTES</name></wpt>\n"
              "<rte><name>PLAN</name><rtept lat=\"35.1\" lon=\"139.1\"><name>R1</name></rtept>"
              "<rtept lat=\"35.2\" lon=\"139.2\"><name>R2</name></rtept></rte>\n"
              "<trk><name>HIKE</name>\n"
              "<trkseg><trkpt lat=\"35.62\" lon=\"139.24\"><ele>200</ele>"
              "<time>2024-05-03T01:00:00Z</time></trkpt>\n"
              "<trkpt lat=\"35.621\" lon=\"139.241\"><ele>210.5</ele>"
              "<time>2024-05-03T01:00:30Z</time></trkpt></trkseg>\n"
              "<trkseg><trkpt lat=\"35.625\" lon=\"139.245\"><ele>250</ele>"
              "<time>2024-05-03T01:05:00Z</time></trkpt>\n"
              "<trkpt lat=\"35.626\" lon=\"139.246\"><time>2024-05-03T10:05:30+09:00</time>"
              "</trkpt></trkseg>\n"
              "</trk>\n</gpx>\n");
    // Through the File menu, with the third filter.
    QString filter;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        filter = dialog->nameFilters().value(2);
        dialog->selectNameFilter(filter);
        dialog->selectFile(Path("walk.gpx"));
        static_cast<QDialog*>(dialog)->accept();
    });
    QString told;
    AnswerMessageBox(QMessageBox::Ok, &told);
    window_->Action("mmFileOpen")->trigger();
    EXPECT_EQ(filter, "GPX (*.gpx)");
    EXPECT_EQ(Nodes(window_->Tree()->TrackRoot()), (QStringList{"HIKE", "HIKE"}));
    EXPECT_EQ(Nodes(window_->Tree()->WaypointRoot()),
              (QStringList{"STATION", "SNOW?", "A NAME OF MORE THAN TWE"}));
    EXPECT_EQ(window_->MapCtrl1()->ElementCount(), 5u);
    EXPECT_EQ(window_->windowTitle(), "walk.gpx[*] - TobrelPA");
    EXPECT_FALSE(window_->Doc()->IsModified());
    EXPECT_TRUE(told.contains("walk.gpx")) << told.toStdString();
    EXPECT_TRUE(told.contains("now \"?\": 1")) << told.toStdString();
    EXPECT_TRUE(told.contains("cut to fit: 1")) << told.toStdString();

    // In the store: the control's datum (Tokyo), times to the second, no
    // elevation as none.
    const TobrelFile& store = window_->Doc()->Store();
    double lat = 0, lon = 0, alt = 0;
    ASSERT_TRUE(store.GetWaypointPosition(0, &lat, &lon, &alt));
    const sorvane::GeoPosition station = FromWgs84(35.6812, 139.7671, 40);
    EXPECT_NEAR(lat, station.latitude, 1e-7);
    EXPECT_NEAR(lon, station.longitude, 1e-7);
    EXPECT_GT(std::abs(lat - 35.6812), 1e-3);  // Tokyo lies some 400 m from WGS 84 here
    EXPECT_NEAR(alt, station.height, 1e-3);
    EXPECT_EQ(store.GetWaypointComment(0),
              sorvane::cp932::FromUtf8("\xe6\x9d\xb1\xe4\xba\xac\xe9\xa7\x85"));
    ASSERT_EQ(store.GetTrackCount(), 1);
    ASSERT_EQ(store.GetTrackPointCount(0), 4);
    const TrackData* points = store.GetTrackData(0);
    EXPECT_EQ(points[0].time, StoreTime("2024-05-03T01:00:00Z"));
    EXPECT_EQ(points[3].time, StoreTime("2024-05-03T01:05:30Z"));
    EXPECT_NEAR(points[1].altitude, FromWgs84(35.621, 139.241, 210.5).height, 1e-3);
    EXPECT_EQ(points[3].altitude, kGpxNoTrackAltitude);
    EXPECT_EQ(points[3].segment, 2);
    ASSERT_EQ(store.GetRouteCount(), 1);
    EXPECT_EQ(store.GetRouteWaypointCount(0), 2);
}

TEST_F(FileCommandsTest, SavedAsGpxAndReopenedTheDataComeBack) {
    TobrelFile original;
    testing::FillSample(original);
    // Close to a pole the datum shift has no inverse; that limit is the data library's.
    original.SetWaypoint(2, "LONGNAME-ABCDEFGHIJKLMN", "", -69.0, 39.5, 0, 0, 0, 1);
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("a.tb2", &original)));
    const Shown shown = What();
    // Through the File menu: the GPX filter gives the name its suffix.
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectNameFilter("GPX (*.gpx)");
        emit dialog->filterSelected("GPX (*.gpx)");  // as the user's choice does
        dialog->selectFile(Path("trip"));
        static_cast<QDialog*>(dialog)->accept();
    });
    window_->Action("mmFileSaveAs")->trigger();
    const QByteArray text = ReadAll(Path("trip.gpx"));
    ASSERT_TRUE(text.startsWith("<?xml")) << text.left(100).toStdString();
    EXPECT_EQ(window_->windowTitle(), "trip.gpx[*] - TobrelPA");
    EXPECT_FALSE(window_->Doc()->IsModified());
    // WGS 84 in the file: shifted to the control's datum it is the store's position.
    const QRegularExpression wpt(
        R"re(<wpt lat="([-0-9.]+)" lon="([-0-9.]+)">\s*<ele>([-0-9.]+)<)re");
    const auto match = wpt.match(QString::fromUtf8(text));
    ASSERT_TRUE(match.hasMatch()) << text.mid(text.indexOf("<wpt"), 300).toStdString();
    const sorvane::GeoPosition first = FromWgs84(
        match.captured(1).toDouble(), match.captured(2).toDouble(), match.captured(3).toDouble());
    EXPECT_NEAR(first.latitude, 35.5, 1e-7);
    EXPECT_NEAR(first.longitude, 139.25, 1e-7);
    EXPECT_NEAR(first.height, 9.0, 1e-3);
    EXPECT_GT(std::abs(match.captured(1).toDouble() - 35.5), 1e-3);

    const TobrelFile empty;
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("empty.tb2", &empty)));
    ASSERT_TRUE(window_->Files()->OpenFile(Path("trip.gpx")));
    ExpectSameRecords(window_->Doc()->Store(), original);
    const Shown back = What();
    EXPECT_EQ(back.waypoints, shown.waypoints);
    EXPECT_EQ(back.tracks, shown.tracks);
    EXPECT_EQ(back.elements, shown.elements);

    // Changes saved on closing go to that GPX file again, as GPX.
    window_->Tree()->Delete(window_->Tree()->WaypointRoot()->child(0)->index());
    ASSERT_TRUE(window_->Doc()->IsModified());
    AnswerMessageBox(QMessageBox::Save);
    EXPECT_TRUE(window_->close());
    TobrelFile saved;
    const GpxResult read =
        ReadGpx(Path("trip.gpx").toStdString(), GpxOptions(DatumConverter::TokyoShift()), saved);
    ASSERT_TRUE(read.ok()) << read.Describe();
    EXPECT_EQ(saved.GetWaypointCount(), original.GetWaypointCount() - 1);
}

// Save As of an open data file starts at its own type, so accepting the
// suggested name writes the data file again, never a script over it; a name
// typed with another type's suffix is saved as that type.
TEST_F(FileCommandsTest, SaveAsKeepsTheTypeOfTheNameAndOfTheSuffixTyped) {
    TobrelFile original;
    testing::FillSample(original);
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("a.tb2", &original)));
    QString offered;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        offered = dialog->selectedNameFilter();
        dialog->setOption(QFileDialog::DontConfirmOverwrite);  // the user's "Yes"
        static_cast<QDialog*>(dialog)->accept();
    });
    window_->Action("mmFileSaveAs")->trigger();
    EXPECT_EQ(offered, NativeFormat().Filter());
    EXPECT_TRUE(ReadAll(Path("a.tb2")).startsWith("TOBREL"));
    EXPECT_FALSE(window_->Doc()->IsModified());

    // The script filter left selected, the name says GPX.
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectNameFilter(FileFormats().first().Filter());
        emit dialog->filterSelected(FileFormats().first().Filter());
        dialog->selectFile(Path("walk.gpx"));
        static_cast<QDialog*>(dialog)->accept();
    });
    window_->Action("mmFileSaveAs")->trigger();
    EXPECT_TRUE(ReadAll(Path("walk.gpx")).startsWith("<?xml"));
    EXPECT_EQ(window_->windowTitle(), "walk.gpx[*] - TobrelPA");
    TobrelFile back;
    ASSERT_TRUE(
        ReadGpx(Path("walk.gpx").toStdString(), GpxOptions(DatumConverter::TokyoShift()), back)
            .ok());
    EXPECT_EQ(back.GetWaypointCount(), original.GetWaypointCount());
}

TEST_F(FileCommandsTest, AGpxFileThatHoldsLessThanTheDataSaysSoAndLeavesThemUnsaved) {
    TobrelFile odd;
    testing::FillSample(odd);
    odd.GetTrackData(1)[0].latitude = std::nan("");  // no position
    odd.SetWaypoint(0,
                    "A\x01"
                    "B",
                    "", 35.5, 139.25, 9.0, 20.0f, 18, 1);  // no XML character
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("odd.tb2", &odd)));
    QString told;
    AnswerMessageBox(QMessageBox::Ok, &told);
    EXPECT_TRUE(window_->Files()->SaveFile(Path("odd.gpx"), GpxFormat()));
    EXPECT_TRUE(told.contains("odd.gpx was saved")) << told.toStdString();
    EXPECT_TRUE(told.contains("left out: 1")) << told.toStdString();
    EXPECT_TRUE(told.contains("written as \"?\": 1")) << told.toStdString();
    // The data are not all in that file: the document stays the Tobrel2 file's.
    EXPECT_EQ(window_->windowTitle(), "odd.tb2[*] - TobrelPA");
    TobrelFile back;
    ASSERT_TRUE(
        ReadGpx(Path("odd.gpx").toStdString(), GpxOptions(DatumConverter::TokyoShift()), back)
            .ok());
    EXPECT_EQ(back.GetTrackPointCount(1), odd.GetTrackPointCount(1) - 1);
    EXPECT_STREQ(back.GetWaypointIdent(0), "A?B");
}

TEST_F(FileCommandsTest, DamagedGpxFilesKeepTheDataTreeAndMapAndSayWhereAndWhy) {
    ASSERT_TRUE(window_->Files()->OpenFile(SampleFile("good.tb2")));
    const Shown before = What();
    const char* head =
        "<?xml version=\"1.0\"?>\n"
        "<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    struct Row {
        const char* name;
        std::string text;
        std::vector<const char*> says;
    };
    const Row rows[] = {
        {"unclosed.gpx",
         std::string(head) + "<wpt lat=\"35\" lon=\"139\"><name>A</name>\n</gpx>\n",
         {"not well-formed XML", "Line 4"}},
        {"kml.gpx",
         "<?xml version=\"1.0\"?>\n\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"/>\n",
         {"not a GPX file", "Line 3"}},
        {"latitude.gpx",
         std::string(head) +
             "<wpt lat=\"35\" lon=\"139\"/>\n<wpt lat=\"95.6\" lon=\"139\"/>\n</gpx>\n",
         {"cannot be read", "Line 4", "95.6"}},
        {"entity.gpx",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ENTITY a \"aaaa\">]>\n<gpx version=\"1.1\"/>\n",
         {"refused", "Line 2"}},
        {"empty.gpx", "", {"cannot be opened", "empty"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteText(Path(row.name), row.text.c_str());
        QString text;
        AnswerMessageBox(QMessageBox::Ok, &text);
        EXPECT_FALSE(window_->Files()->OpenFile(Path(row.name)));
        EXPECT_TRUE(text.contains(row.name)) << text.toStdString();
        for (const char* says : row.says)
            EXPECT_TRUE(text.contains(says)) << text.toStdString();
        EXPECT_TRUE(What() == before);
        EXPECT_FALSE(window_->Doc()->IsModified());
        EXPECT_TRUE(window_->Doc()->Path().endsWith("good.tb2"));
    }
}

}  // namespace
}  // namespace tobrel
