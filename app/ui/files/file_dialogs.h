#pragma once
// The standard file and folder choosers: the only place the program asks for
// a path.

#include <optional>

#include <QString>

class QWidget;

namespace tobrel {

struct FileFormat;

struct ChosenFile {
    QString path;
    const FileFormat* format = nullptr;  // the filter the user chose
};

std::optional<ChosenFile> ChooseFileToOpen(QWidget* parent, const QString& folder);
// The type starts as the suggested name's. A name with a known type's suffix
// is saved as that type; else as the chosen filter's, whose suffix it gets.
std::optional<ChosenFile> ChooseFileToSave(QWidget* parent, const QString& suggested);
// A description file of the desktop viewer's map ("*.dat"); nothing on cancel.
std::optional<QString> ChooseDescriptionFile(QWidget* parent, const QString& folder);
// Empty on cancel.
QString ChooseFolder(QWidget* parent, const QString& start);

}  // namespace tobrel
