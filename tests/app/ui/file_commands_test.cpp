// Opening and saving data files: damaged files keep what the user had, saving
// that fails says why, and both types survive a save and a reopen.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardItem>

#include "data/map_server_script.h"
#include "map/map_ctrl.h"
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

}  // namespace
}  // namespace tobrel
