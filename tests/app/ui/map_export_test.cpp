// The two map exports: the description and "mapinfo.dat" formats, the
// base-name rule, the desktop viewer's bitmap through the real window (also
// when covered or minimised), tiles numbered across rows, blank tiles where
// the layer has no data, the top-left error, Cancel and unwritable files.
#include <gtest/gtest.h>

#include <clocale>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "map_test_support.h"
#include "ui/dialogs/tobrel_ce_map_dialog.h"
#include "ui/export/map_export.h"
#include "ui/main_window.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using uitest::WaitFor;
using uitest::WhenModal;

constexpr std::int32_t Angle(double degrees) {
    return static_cast<std::int32_t>(std::lround(degrees * 3600000.0));
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The header of a Windows bitmap file: width, height and bits per pixel.
struct BmpHeader {
    bool ok = false;
    int width = 0, height = 0, bits = 0;
};

BmpHeader ReadBmp(const QString& path) {
    const QByteArray b = ReadAll(path);
    BmpHeader h;
    if (b.size() < 54 || !b.startsWith("BM"))
        return h;
    const auto u32 = [&](int at) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
    };
    h.ok = u32(2) == static_cast<std::uint32_t>(b.size()) && !QImage::fromData(b, "BMP").isNull();
    h.width = static_cast<int>(u32(18));
    h.height = static_cast<int>(u32(22));
    h.bits = static_cast<int>(u32(28) & 0xFFFF);
    return h;
}

// Whether a red track pixel lies within a few pixels of (x, y).
bool RedNear(const QImage& image, int x, int y) {
    return test::AnyNear(image, x, y, 5, test::IsTrackRed);
}

class MapExportTest : public uitest::UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        // Map files and tiles of this test only; the world map is the area shown.
        data_ =
            std::make_unique<testsupport::ScopedEnv>("XDG_DATA_HOME", Path("data").toStdString());
        cache_ =
            std::make_unique<testsupport::ScopedEnv>("XDG_CACHE_HOME", Path("cache").toStdString());
    }
    std::unique_ptr<TfrmMain> Start() {
        auto w = std::make_unique<TfrmMain>();
        w->show();
        EXPECT_TRUE(WaitFor([&] { return !w->Sorvane1()->IsBusy(); }));
        return w;
    }
    // A small red cross around a pixel of the map as it shows now.
    static void Mark(TfrmMain& w, int x, int y) {
        MapCtrl* map = w.MapCtrl1();
        std::vector<double> lats, lons;
        for (const QPoint& p : {QPoint(x - 6, y), QPoint(x + 6, y), QPoint(x, y), QPoint(x, y - 6),
                                QPoint(x, y + 6)}) {
            const auto at = map->GetLatLongPoint(p.x(), p.y());
            lats.push_back(MapAngleToDegrees(at->latitude));
            lons.push_back(MapAngleToDegrees(at->longitude));
        }
        ASSERT_NE(w.Overlay()->DrawPolyline(5, lats.data(), lons.data()), 0);
    }
    static QStringList Files(const QString& folder) {
        return QDir(folder).entryList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

    std::unique_ptr<testsupport::ScopedEnv> data_;
    std::unique_ptr<testsupport::ScopedEnv> cache_;
};

// ---------------------------------------------------------------- formats

TEST(MapExportText, DescriptionAndMapInfoLinesInTheirFormatsWhateverTheLocale) {
    // Qt's application object took the user's locale; numbers keep their point.
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr)
        << "scripts/setup.sh generates de_DE.UTF-8";
    const MapCorners corners{Angle(5.0), Angle(139.0), Angle(-5.5), Angle(-0.25)};
    EXPECT_EQ(DescriptionText(corners, 640, 480),
              "ido_top =  5.000000000\r\n"
              "kei_left = 139.000000000\r\n"
              "ido_bottom = -5.500000000\r\n"
              "kei_right =  -0.250000000\r\n"
              "bitmap_width = 640\r\n"
              "bitmap_height = 480\r\n");
    TileGrid grid;
    grid.columns = 3;
    grid.rows = 2;
    grid.corners = {Angle(35.123456789), Angle(139.5), Angle(-34.9), Angle(140.000000001)};
    grid.tile = QSize(320, 240);
    EXPECT_EQ(MapInfoText(grid),
              "Tobrel CE\r\n101\r\nbmp\r\n3\r\n2\r\n"
              "35.123456667\r\n"
              "139.500000000\r\n"
              "-34.900000000\r\n"
              "140.000000000\r\n"
              "320\r\n240\r\n8\r\n");
    std::setlocale(LC_NUMERIC, before.c_str());
}

TEST(MapExportText, BaseNameEndsAtTheFirstDotOfThePath) {
    const std::pair<const char*, const char*> rows[] = {
        {"C:\\maps\\tokyo.dat", "C:\\maps\\tokyo."},
        {"C:\\data.2\\x.dat", "C:\\data."},
        {"/home/me/maps/kanto.dat", "/home/me/maps/kanto."},
        {"/home/me/maps/kanto.v2.dat", "/home/me/maps/kanto."},
        {"/tmp/plain", "/tmp/plain."},
    };
    for (const auto& [chosen, base] : rows)
        EXPECT_EQ(DescriptionBaseName(chosen), base) << chosen;
}

TEST(MapExportText, BlankTileIsWhiteAtOneBitAPixel) {
    const QImage blank = BlankTile(QSize(33, 7));
    EXPECT_EQ(blank.depth(), 1);
    EXPECT_EQ(blank.size(), QSize(33, 7));
    EXPECT_EQ(blank.pixel(32, 6), qRgb(255, 255, 255));
}

// ---------------------------------------------------------------- the desktop viewer

TEST_F(MapExportTest, ViewBitmapAndDescriptionAlsoFromACoveredOrMinimisedWindow) {
    auto w = Start();
    MapCtrl* map = w->MapCtrl1();
    ASSERT_TRUE(w->Overlay()->CentreMap(Angle(35.3), Angle(139.6), 1, 250000));
    Mark(*w, 100, 80);
    const QString chosen = Path("view.dat");
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->nameFilters(), QStringList{"*.dat"});
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    w->Action("mmFileTobrel")->trigger();

    const BmpHeader bmp = ReadBmp(Path("view.bmp"));
    ASSERT_TRUE(bmp.ok);
    EXPECT_EQ(std::tuple(bmp.width, bmp.height, bmp.bits),
              std::tuple(map->width(), map->height(), 24));
    const QImage image(Path("view.bmp"));
    EXPECT_TRUE(RedNear(image, 100, 80));
    EXPECT_FALSE(RedNear(image, 300, 200));
    // The description gives the corners of the whole map, scroll bars hidden.
    const auto tl = map->GetLatLongPoint(0, 0);
    const auto br = map->GetLatLongPoint(map->width(), map->height());
    EXPECT_EQ(ReadAll(chosen),
              DescriptionText({tl->latitude, tl->longitude, br->latitude, br->longitude},
                              map->width(), map->height()));
    EXPECT_EQ(ReadAll(chosen).count("\r\n"), 6);
    EXPECT_TRUE(map->ScrollBar());
    EXPECT_TRUE(map->ScaleBarVisible());

    // Covered by another window, then minimised: the very same pixels.
    QWidget cover;
    cover.setGeometry(w->geometry());
    cover.show();
    cover.raise();
    ASSERT_EQ(w->Exports()->ExportView(Path("covered.dat")), MapExport::Outcome::kWritten);
    EXPECT_EQ(ReadAll(Path("covered.bmp")), ReadAll(Path("view.bmp")));
    w->showMinimized();
    QApplication::processEvents();
    ASSERT_EQ(w->Exports()->ExportView(Path("minimised.dat")), MapExport::Outcome::kWritten);
    EXPECT_EQ(ReadAll(Path("minimised.bmp")), ReadAll(Path("view.bmp")));
}

TEST_F(MapExportTest, ViewFilesFollowTheFirstDotAndAFileThatCannotBeWrittenIsNamed) {
    auto w = Start();
    ASSERT_TRUE(QDir().mkpath(Path("maps.2")));
    // The first "." lies in the folder's name: asked first, then written there.
    QString question;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        question = box->text();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(w->Exports()->ExportView(Path("maps.2/x.dat")), MapExport::Outcome::kCancelled);
    EXPECT_TRUE(question.contains(QDir::toNativeSeparators(Path("maps.bmp"))))
        << question.toStdString();
    EXPECT_FALSE(QFile::exists(Path("maps.bmp")));
    uitest::AnswerMessageBox(QMessageBox::Yes);
    EXPECT_EQ(w->Exports()->ExportView(Path("maps.2/x.dat")), MapExport::Outcome::kWritten);
    EXPECT_TRUE(ReadBmp(Path("maps.bmp")).ok);
    EXPECT_EQ(ReadAll(Path("maps.dat")).count("\r\n"), 6);
    EXPECT_TRUE(Files(Path("maps.2")).isEmpty());

    // A folder that is not there: the bitmap is named and nothing is written.
    QString text;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(w->Exports()->ExportView(Path("missing/x.dat")), MapExport::Outcome::kFailed);
    EXPECT_TRUE(
        text.startsWith(QDir::toNativeSeparators(Path("missing/x.bmp")) + " cannot be written: "))
        << text.toStdString();
    EXPECT_FALSE(QFile::exists(Path("missing/x.dat")));
}

// ---------------------------------------------------------------- the handheld viewer

TEST_F(MapExportTest, TilesAreNumberedAcrossRowsWithMapInfo) {
    auto w = Start();
    MapCtrl* map = w->MapCtrl1();
    ASSERT_TRUE(w->Overlay()->CentreMap(Angle(35.3), Angle(139.6), 1, 250000));
    const QSize view = map->size();
    const auto centre = map->GetLatLongPoint(view.width() / 2, view.height() / 2);
    // The view is 2.75 tiles wide and high: four columns and four rows, tile
    // 0 centred on its top-left corner.
    const int tw = static_cast<int>(view.width() / 2.75);
    const int th = static_cast<int>(view.height() / 2.75);
    // Marks at the centres of tile 1 (second of the first row) and tile 4
    // (first of the second row).
    Mark(*w, tw, 0);
    Mark(*w, 0, th);
    const QString folder = Path("ce");
    ASSERT_TRUE(QDir().mkpath(folder));
    WhenModal<TfrmTobrelCEMap>([&](TfrmTobrelCEMap* d) {
        d->SetFolder(folder);
        const auto found = d->lbSelectLayer->findItems("1:250,000", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        d->lbSelectLayer->setCurrentItem(found[0]);
        d->edtMapWidth->setText(QString::number(tw));
        d->edtMapHeight->setText(QString::number(th));
        d->BitBtn1->click();
    });
    w->Action("mmFileTobrelCE")->trigger();

    const TileGrid& grid = w->Exports()->LastGrid();
    ASSERT_EQ(std::pair(grid.columns, grid.rows), std::pair(4, 4));
    QStringList expected{"mapinfo.dat"};
    for (int n = 0; n < 16; ++n)
        expected.append(QString::number(n) + ".bmp");
    expected.sort();
    EXPECT_EQ(Files(folder), expected);
    for (int n = 0; n < 16; ++n) {
        const BmpHeader h = ReadBmp(folder + "/" + QString::number(n) + ".bmp");
        EXPECT_TRUE(h.ok) << n;
        EXPECT_EQ(std::tuple(h.width, h.height, h.bits), std::tuple(tw, th, 24)) << n;
        const QImage tile(folder + "/" + QString::number(n) + ".bmp");
        EXPECT_EQ(RedNear(tile, tw / 2, th / 2), n == 1 || n == 4) << n;
    }
    EXPECT_EQ(ReadAll(folder + "/mapinfo.dat"), MapInfoText(grid));
    EXPECT_EQ(ReadAll(folder + "/mapinfo.dat").count("\r\n"), 12);
    // Tile 0 reaches half a tile beyond the view's top-left corner.
    const auto tl = map->GetLatLongPoint(0, 0);
    EXPECT_GT(grid.corners.topLatitude, tl->latitude);
    EXPECT_LT(grid.corners.leftLongitude, tl->longitude);

    // The map is as it was.
    EXPECT_EQ(map->size(), view);
    EXPECT_EQ(map->LayerScale(), 250000);
    EXPECT_EQ(map->GetLatLongPoint(view.width() / 2, view.height() / 2), centre);
    EXPECT_TRUE(map->ScrollBar());
}

// Green tiles at zoom 12 around Tokyo and at zoom 9 around it.
void MakeMbTiles(const QString& path) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(40, 160, 60));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    test::WriteMbTiles(path, "Kanto", {{12, 35.68, 139.76, 3}, {9, 35.68, 139.76, 1}},
                       [&](const TileKey&) { return png; });
}

TEST_F(MapExportTest, TilesWithoutTheLayerAreBlankAndATopLeftWithoutItIsRefused) {
    UseLanguage("ja");
    ASSERT_TRUE(QDir().mkpath(Path("data/tobrelpa/maps")));
    MakeMbTiles(Path("data/tobrelpa/maps/kanto.mbtiles"));
    auto w = Start();
    MapCtrl* map = w->MapCtrl1();
    w->Overlay()->SelectArea("kanto");
    ASSERT_EQ(map->AreaCode(), "kanto");
    // At 1:100,000 the tiles of zoom 12 are drawn; put the view's top-left
    // corner in them and the tiles east of it beyond them.
    ASSERT_TRUE(w->Overlay()->CentreMap(Angle(35.68), Angle(139.76), 1, 100000));
    ASSERT_EQ(map->LayerScale(), 100000);
    const auto east = map->GetLatLongPoint(map->width() / 2 + 800, map->height() / 2);
    ASSERT_TRUE(w->Overlay()->CentreMap(east->latitude, east->longitude, 1, 100000));
    ASSERT_EQ(map->LayerScale(), 100000);

    const QString folder = Path("kanto");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(w->Exports()->ExportTiles(folder, 100000, QSize(800, 600)),
              MapExport::Outcome::kWritten);
    const TileGrid& grid = w->Exports()->LastGrid();
    ASSERT_EQ(std::pair(grid.columns, grid.rows), std::pair(2, 2));
    for (int n = 0; n < 4; ++n) {
        const QString file = folder + "/" + QString::number(n) + ".bmp";
        const BmpHeader h = ReadBmp(file);
        ASSERT_TRUE(h.ok) << n;
        const bool blank = n % 2 == 1;  // the east column
        EXPECT_EQ(std::tuple(h.width, h.height, h.bits), std::tuple(800, 600, blank ? 1 : 24)) << n;
        const QImage tile(file);
        EXPECT_EQ(tile.pixel(400, 300), blank ? qRgb(255, 255, 255) : qRgb(40, 160, 60)) << n;
    }

    // A view whose top-left corner lies outside the layer: refused, nothing written.
    const QString other = Path("outside");
    ASSERT_TRUE(QDir().mkpath(other));
    const auto far = map->GetLatLongPoint(map->width() / 2 + 2000, map->height() / 2);
    ASSERT_TRUE(w->Overlay()->CentreMap(far->latitude, far->longitude, 1, 100000));
    QString text, title;
    uitest::AnswerMessageBox(QMessageBox::Ok, &text, &title);
    EXPECT_EQ(w->Exports()->ExportTiles(other, 100000, QSize(800, 600)),
              MapExport::Outcome::kNoLayerAtTopLeft);
    EXPECT_EQ(text, "左上部分には選択した地図階層がありません");
    EXPECT_EQ(title, "エラー");
    EXPECT_TRUE(Files(other).isEmpty());
}

TEST_F(MapExportTest, CancelOrAnUnwritableTileLeavesTheFolderAsItWas) {
    auto w = Start();
    ASSERT_TRUE(w->Overlay()->CentreMap(Angle(35.3), Angle(139.6), 1, 250000));
    const QString folder = Path("ce");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"0.bmp", "mapinfo.dat"}) {
        QFile f(folder + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier export");
    }
    // Cancel once a few tiles are written.
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (progress == nullptr || progress->objectName() != "ExportProgress" ||
            progress->value() < 3)
            return;
        timer->stop();
        timer->deleteLater();
        progress->cancel();
    });
    timer->start();
    EXPECT_EQ(w->Exports()->ExportTiles(folder, 250000, QSize(100, 80)),
              MapExport::Outcome::kCancelled);
    EXPECT_EQ(Files(folder), (QStringList{"0.bmp", "mapinfo.dat"}));
    EXPECT_EQ(ReadAll(folder + "/0.bmp"), "earlier export");
    EXPECT_EQ(ReadAll(folder + "/mapinfo.dat"), "earlier export");

    // A tile whose place is taken by a folder: named, and no tile moves in.
    ASSERT_TRUE(QDir().mkpath(folder + "/1.bmp"));
    QString text;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(w->Exports()->ExportTiles(folder, 250000, QSize(100, 80)),
              MapExport::Outcome::kFailed);
    EXPECT_TRUE(text.startsWith(QDir::toNativeSeparators(folder + "/1.bmp") + " cannot be written"))
        << text.toStdString();
    EXPECT_EQ(Files(folder), (QStringList{"0.bmp", "1.bmp", "mapinfo.dat"}));
    EXPECT_EQ(ReadAll(folder + "/0.bmp"), "earlier export");

    // A tile size out of reach is said.
    uitest::AnswerMessageBox(QMessageBox::Ok, &text);
    EXPECT_EQ(w->Exports()->ExportTiles(folder, 250000, QSize(0, 480)),
              MapExport::Outcome::kFailed);
    EXPECT_EQ(text, "A bitmap must be between 16 and 8192 pixels wide and high.");
}

}  // namespace
}  // namespace tobrel
