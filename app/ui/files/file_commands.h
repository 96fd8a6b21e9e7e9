#pragma once
// The File menu's open and save commands, and the question about unsaved
// changes before they would be lost.

#include <QObject>
#include <QString>

#include "geodesy/molodensky.h"

class QWidget;

namespace tobrel {

class Document;
class TreeController;
struct FileContext;
struct FileFormat;

class FileCommands : public QObject {
    Q_OBJECT
  public:
    FileCommands(Document& document, TreeController& tree, QWidget* window);

    // The datum the store's positions are in (Tokyo until set), for the file
    // types that hold WGS 84.
    void SetStoreDatum(const sorvane::DatumShift& datum) { datum_ = datum; }

    // Asks for a file and opens it.
    void Open();
    // Asks for a name and a type and saves.
    void SaveAs();

    // Reads the file into a fresh store (or, for a type that adds, a copy of
    // the current one) and shows it. On failure a message names the file and
    // the problem, and the data, the tree and the map stay as they were.
    // What the reader had to change on the way is told after a success.
    bool OpenFile(const QString& path, const FileFormat* chosen = nullptr);
    // False, after a message, when the file could not be written.
    bool SaveFile(const QString& path, const FileFormat& format);

    // Before unsaved changes would be lost: Save (in the document's own file
    // and type), Discard or Cancel. True when the caller may go on.
    bool MaybeSave();

  private:
    FileContext Context() const;
    void TellNotes(const QString& path, const FileContext& context, bool saved);

    Document& document_;
    TreeController& tree_;
    QWidget* window_;
    QString lastFolder_;
    sorvane::DatumShift datum_;
    // The type of the document's file (a type that keeps everything).
    const FileFormat* pathFormat_ = nullptr;
};

}  // namespace tobrel
