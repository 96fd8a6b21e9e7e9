// The small dialogs: what they start with, their limits and what they give back.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include "ui/dialogs/about_box.h"
#include "ui/dialogs/input_dialog.h"
#include "ui/dialogs/route_dialog.h"
#include "ui/dialogs/select_pid_dialog.h"
#include "ui/dialogs/tobrel_ce_map_dialog.h"
#include "ui/position_text.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

// Types any text, one key event per character (QTest types ASCII only).
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
    }
}

TEST(TfrmInput, TypedLettersArriveUpperCasedWithinTheStoresBytes) {
    TfrmInput dialog(QStringLiteral("Track Name"));
    EXPECT_EQ(dialog.windowTitle(), "Track Name");
    QTest::keyClicks(dialog.edtInput, "abc1-x_z");
    EXPECT_EQ(dialog.Text(), "ABC1-X_Z");
    dialog.edtInput->clear();
    // 23 bytes of code page 932: eleven double-byte letters and one more byte.
    Type(dialog.edtInput, QString::fromUtf8("ｱいうえおかきくけこさしa"));
    EXPECT_EQ(dialog.Text(), QString::fromUtf8("ｱいうえおかきくけこさし"));
    Type(dialog.edtInput, QStringLiteral("b"));  // a 24th byte is refused
    EXPECT_EQ(dialog.Text(), QString::fromUtf8("ｱいうえおかきくけこさし"));
    EXPECT_EQ(TfrmInput(QString()).windowTitle(), "frmInput");
}

TEST(TfrmRouteDlg, DefaultsLimitsAndTheSymbol) {
    TfrmRouteDlg dialog;
    EXPECT_EQ(dialog.RouteName(), "ROUTE-");
    EXPECT_EQ(dialog.WaypointPrefix(), "RW_");
    EXPECT_EQ(dialog.Symbol(), 16392);
    dialog.edtRouteName->clear();
    QTest::keyClicks(dialog.edtRouteName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(dialog.RouteName(), "ABCDEFGHIJKLMNOPQRST");  // no 21st character
    dialog.edtRWprefix->clear();
    QTest::keyClicks(dialog.edtRWprefix, "WXYZ");
    EXPECT_EQ(dialog.WaypointPrefix(), "WXY");  // no fourth
    const std::pair<const char*, int> symbols[] = {
        {"16392", 16392}, {"0", 0},   {" 7 ", 7},       {"abc", 18},  {"12x", 18},
        {"", 18},         {"-1", 18}, {"65535", 65535}, {"65536", 18}};
    for (const auto& [text, symbol] : symbols) {
        dialog.cbSymbol->setEditText(QString::fromLatin1(text));
        EXPECT_EQ(dialog.Symbol(), symbol) << text;
    }
}

TEST(TfrmSelPID, EachChoiceGivesItsProductId) {
    TfrmSelPID dialog;
    EXPECT_EQ(dialog.windowTitle(), "Select Product ID");
    EXPECT_TRUE(dialog.rbGPS38->isChecked());
    EXPECT_EQ(dialog.ChosenProductId(), 41);
    const std::pair<QRadioButton*, int> rows[] = {
        {dialog.rbGPS12, 87}, {dialog.rbGPS3, 72}, {dialog.rbeTrex, 130}, {dialog.rbGPS38, 41}};
    for (const auto& [button, id] : rows) {
        button->setChecked(true);
        EXPECT_EQ(dialog.ChosenProductId(), id) << button->text().toStdString();
    }
}

TEST(TfrmTobrelCEMap, KeepsFolderAndTileSizeAndFallsBackTo640x480) {
    QString asked;
    TfrmTobrelCEMap dialog([&](QWidget*, const QString& start) {
        asked = start;
        return QStringLiteral("/tmp/maps");
    });
    EXPECT_EQ(dialog.TileSize(), QSize(640, 480));
    dialog.SetLayers({"1:25,000", "1:70,000"});
    EXPECT_EQ(dialog.SelectedLayer(), 0);
    EXPECT_EQ(dialog.lbSelectLayer->count(), 2);
    const QString before = dialog.Folder();
    dialog.btnFolder->click();
    EXPECT_EQ(asked, before);
    EXPECT_EQ(dialog.Folder(), "/tmp/maps");
    dialog.edtMapWidth->setText("320");
    dialog.edtMapHeight->setText("240");
    EXPECT_EQ(dialog.TileSize(), QSize(320, 240));
    dialog.edtMapHeight->setText("x");
    EXPECT_EQ(dialog.TileSize(), QSize(640, 480));  // both, when either is not a number
    dialog.SetLayers({"1:1,000,000"});              // the next opening keeps folder and sizes
    EXPECT_EQ(dialog.Folder(), "/tmp/maps");
    EXPECT_EQ(dialog.edtMapWidth->text(), "320");
}

TEST(TAboutBox, ShowsTheControlVersionAsEightHexDigits) {
    EXPECT_EQ(ControlVersionText(196613), "00030005");
    EXPECT_EQ(ControlVersionText(255), "000000FF");
    EXPECT_EQ(ControlVersionText(-1), "FFFFFFFF");
    TAboutBox box(0x0305ABCD);
    EXPECT_EQ(box.ProductName->text(), "TobrelPA");
    EXPECT_EQ(box.Version->text(), "Ver 0.20 2002/01/05");
    EXPECT_EQ(box.lbSorvaneVer->text(), "Sorvane Version");
    EXPECT_EQ(box.stSorvaneVer->text(), "0305ABCD");
}

TEST(StatusTexts, PositionsInDegreesAndDmsAndTheScale) {
    // 35.658083 N 139.741333 E, and rounding that carries into the minutes
    EXPECT_EQ(PositionText(128369100, 503068800),
              QString::fromUtf8("35.658083, 139.741333  35°39'29.1\"N 139°44'28.8\"E"));
    EXPECT_EQ(DmsText(-33.999999, true), QString::fromUtf8("34°00'00.0\"S"));
    EXPECT_EQ(DmsText(-0.5, false), QString::fromUtf8("0°30'00.0\"W"));
    EXPECT_EQ(ScaleText(250000), "1:250,000");
}

}  // namespace
}  // namespace tobrel
