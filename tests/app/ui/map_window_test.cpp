#include "ui/map_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>

#include "map/map_ctrl.h"
#include "support/sim_fixture.h"

namespace {

QString StatusText(tobrel::MapWindow& window) {
    const auto labels = window.statusBar()->findChildren<QLabel*>();
    return labels.isEmpty() ? QString() : labels.first()->text();
}

// Runs the event loop until the status bar leaves its "checking" text.
QString WaitForIdentification(tobrel::MapWindow& window) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        const QString text = StatusText(window);
        if (text.startsWith("COM1:"))
            return text;
    }
    return StatusText(window);
}

}  // namespace

TEST(MapWindow, ShowsTheMapAtTheFirstStartPositionAndNamesTheReceiver) {
    testsupport::RunningSimulator sim("--product 130 --description eTrex");
    ASSERT_TRUE(sim.ok());
    sim.port(1);

    tobrel::MapWindow window;
    window.show();
    const QString status = WaitForIdentification(window);
    EXPECT_TRUE(status.contains("eTrex")) << status.toStdString();
    EXPECT_TRUE(status.contains("ID 130")) << status.toStdString();

    auto* map = window.findChild<tobrel::MapCtrl*>();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->LayerScale(), 250000);
    const auto centre = map->GetLatLongPoint(map->width() / 2, map->height() / 2);
    ASSERT_TRUE(centre.has_value());
    EXPECT_EQ(centre->latitude, 126000000);
    EXPECT_EQ(centre->longitude, 500400000);
}

TEST(MapWindow, SaysSoWhenNoReceiverAnswers) {
    testsupport::ScopedEnv port("SORVANE_COM1", "/nonexistent/tty");
    tobrel::MapWindow window;
    window.show();
    const QString status = WaitForIdentification(window);
    EXPECT_TRUE(status.contains(QString::fromUtf8("応答がありません"))) << status.toStdString();
}
