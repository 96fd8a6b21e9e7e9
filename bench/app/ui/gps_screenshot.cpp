// The README's picture of a track download in progress:
//   gps_screenshot ja|en OUT.png [FILE]
// Runs the window offscreen with private settings centred on the sample walk
// (FILE, docs/takao.mps from the top of the checkout), a simulated receiver on
// port 1 holding a long track at 9600 baud, starts "Download Tracks" and takes
// the window with its progress dialog once a third of the track has come.
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "event_wait.h"
#include "simulator.h"
#include "ui/document.h"
#include "ui/files/file_commands.h"
#include "ui/gps/gps_commands.h"
#include "ui/main_window.h"
#include "ui/translations.h"

namespace {

// A long walk around Mt. Takao, as the receiver's track log.
gpssim::Options Receiver() {
    gpssim::Options o;
    o.profile = gpssim::ProfileForProduct(130);
    o.profile.description = "eTrex Legend Software Version 2.50";
    o.baud = 9600;
    gpssim::DataSet d;
    gpssim::SimTrack t{"ACTIVE LOG", {}};
    for (int i = 0; i < 1500; ++i) {
        t.points.push_back({35.625 + 0.0001 * i, 139.243 + 0.00012 * i,
                            700000000u + 5u * static_cast<std::uint32_t>(i), 600.0f, i == 0});
    }
    d.tracks.push_back(t);
    o.data = d;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: gps_screenshot ja|en OUT.png [FILE]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("config/Vesko"));
    QFile settings(home.filePath(QStringLiteral("config/Vesko/TobrelPA.conf")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write(
        "[General]\nAreaCode=\nLayerScale=70000\nLatitudeCenter=128275200\n"
        "LongitudeCenter=501184800\nCommPort=COM1\n");
    settings.close();
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toLocal8Bit());

    gpssim::Simulator sim(Receiver());
    if (!sim.Start()) {
        std::fprintf(stderr, "gps_screenshot: no simulator: %s\n", sim.error().c_str());
        return 1;
    }
    qputenv("SORVANE_COM1", QByteArray::fromStdString(sim.slavePath()));

    QApplication app(argc, argv);
    tobrel::Translations translations(QString::fromLocal8Bit(argv[1]));
    tobrel::TfrmMain window;
    window.show();
    if (argc > 3)
        window.Files()->OpenFile(QString::fromLocal8Bit(argv[3]));
    tobrel::bench::RunUntil([&] { return !window.Sorvane1()->IsBusy(); });

    window.Action(QStringLiteral("mnuDPSDownloadTrack"))->trigger();
    tobrel::bench::RunUntil([&] {
        const QProgressDialog* p = window.Gps()->Progress();
        return p != nullptr && p->maximum() > 1 && p->value() * 3 >= p->maximum();
    });
    QProgressDialog* progress = window.Gps()->Progress();
    QImage shot = window.grab().toImage();
    {
        QPainter painter(&shot);
        painter.drawPixmap(progress->pos() - window.pos(), progress->grab());
    }
    const bool saved = shot.save(QString::fromLocal8Bit(argv[2]));

    // Cancel, and let the message about it go.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    answer.start(10);
    progress->findChild<QPushButton*>()->click();
    tobrel::bench::RunUntil([&] { return !window.Gps()->IsRunning(); });
    window.Doc()->SetModified(false);
    sim.Stop();
    return saved ? 0 : 1;
}
