#pragma once
// The program's picture: a folded map with a track and a position pin.

#include <QIcon>

namespace tobrel {

QIcon ProgramIcon();
QPixmap ProgramPixmap(int size);

}  // namespace tobrel
