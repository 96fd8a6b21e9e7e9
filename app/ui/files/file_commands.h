#pragma once
// The File menu's open and save commands, and the question about unsaved
// changes before they would be lost.

#include <QObject>
#include <QString>

class QWidget;

namespace tobrel {

class Document;
class TreeController;
struct FileFormat;

class FileCommands : public QObject {
    Q_OBJECT
  public:
    FileCommands(Document& document, TreeController& tree, QWidget* window);

    // Asks for a file and opens it.
    void Open();
    // Asks for a name and a type and saves.
    void SaveAs();

    // Reads the file into a fresh store (or, for a type that adds, a copy of
    // the current one) and shows it. On failure a message names the file and
    // the problem, and the data, the tree and the map stay as they were.
    bool OpenFile(const QString& path, const FileFormat* chosen = nullptr);
    // False, after a message, when the file could not be written.
    bool SaveFile(const QString& path, const FileFormat& format);

    // Before unsaved changes would be lost: Save, Discard or Cancel. True when
    // the caller may go on.
    bool MaybeSave();

  private:
    Document& document_;
    TreeController& tree_;
    QWidget* window_;
    QString lastFolder_;
};

}  // namespace tobrel
