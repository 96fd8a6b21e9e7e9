#include <QApplication>

#include "ui/map_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("TobrelPA");
    QApplication::setOrganizationName("Vesko");
    tobrel::MapWindow window;
    window.show();
    return QApplication::exec();
}
