// tobrelpa: the desktop program. tobrelpa [--lang ja|en] [FILE]
#include <cstdio>
#include <exception>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>

#include "ui/files/file_commands.h"
#include "ui/main_window.h"
#include "ui/translations.h"

namespace {

// A failure that escapes a command is shown, and the program goes on.
class TobrelApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), QStringLiteral("TobrelPA"),
                                  QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
};

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("TobrelPA: tracks and waypoints of a GPS receiver on a map."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("lang"),
                      QStringLiteral("Language of the program's texts: ja or en (default: the "
                                     "locale's)."),
                      QStringLiteral("language")});
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral(
            "A Tobrel2 file (*.tb2), GPX file (*.gpx) or map server script (*.mps) to open."),
        QStringLiteral("[file]"));
}

bool AsksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-h" || a == "--help" || a == "-v" || a == "--version" || a == "--help-all")
            return true;
    }
    return false;
}

void SetIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("TobrelPA"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vesko"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.20"));
}

}  // namespace

int main(int argc, char** argv) {
    // Help and version need no display.
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication core(argc, argv);
        SetIdentity();
        QCommandLineParser parser;
        Describe(parser);
        parser.process(core);  // prints and exits
        return 0;
    }
    TobrelApplication app(argc, argv);
    SetIdentity();
    QGuiApplication::setDesktopFileName(QStringLiteral("tobrelpa"));
    QCommandLineParser parser;
    Describe(parser);
    parser.process(app);

    const QString language = parser.value(QStringLiteral("lang"));
    tobrel::Translations translations(language.isEmpty() ? tobrel::SystemLanguage() : language);
    tobrel::TfrmMain window;
    window.show();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        QTimer::singleShot(0, &window,
                           [&window, file = files.first()] { window.Files()->OpenFile(file); });
    }
    return QApplication::exec();
}
