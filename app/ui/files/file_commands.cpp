#include "ui/files/file_commands.h"

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "data/tobrel_file.h"
#include "ui/document.h"
#include "ui/files/file_dialogs.h"
#include "ui/files/file_formats.h"
#include "ui/tree_controller.h"

namespace tobrel {

namespace {

// The hourglass while a file is read or written.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

FileCommands::FileCommands(Document& document, TreeController& tree, QWidget* window)
    : QObject(window), document_(document), tree_(tree), window_(window) {}

void FileCommands::Open() {
    const auto chosen = ChooseFileToOpen(window_, lastFolder_);
    if (!chosen)
        return;
    OpenFile(chosen->path, chosen->format);
}

bool FileCommands::OpenFile(const QString& path, const FileFormat* chosen) {
    const FileFormat* format = FormatForOpening(path, chosen);
    if (format == nullptr) {
        QMessageBox::critical(window_, tr("Error"),
                              tr("%1 could not be opened:\n%2")
                                  .arg(QDir::toNativeSeparators(path),
                                       tr("This program does not know this type of file.")));
        return false;
    }
    // Only a file that replaces the data can lose changes.
    if (format->replacesStore && !MaybeSave())
        return false;
    lastFolder_ = QFileInfo(path).absolutePath();

    const bool wasEmpty = document_.IsEmpty();
    auto store = format->replacesStore ? std::make_unique<TobrelFile>()
                                       : std::make_unique<TobrelFile>(document_.Store());
    QString error;
    bool read = false;
    {
        BusyCursor busy;
        read = format->read(*store, path, &error);
    }
    if (!read) {
        QMessageBox::critical(
            window_, tr("Error"),
            tr("%1 could not be opened:\n%2").arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    {
        BusyCursor busy;
        tree_.EraseTrackElements();
        tree_.EraseWaypointElements();
        document_.ReplaceStore(std::move(store));
        tree_.DrawAllTracks();
        tree_.DrawAllWaypoints();
    }
    if (format->replacesStore || wasEmpty) {
        document_.SetPath(format->keepsEverything ? path : QString());
        document_.SetModified(false);
    } else {
        document_.SetModified(true);  // the mix is in no file yet
    }
    return true;
}

void FileCommands::SaveAs() {
    QString suggested = document_.Path();
    if (suggested.isEmpty())
        suggested = lastFolder_;
    const auto chosen = ChooseFileToSave(window_, suggested);
    if (!chosen || chosen->format == nullptr)
        return;
    lastFolder_ = QFileInfo(chosen->path).absolutePath();
    SaveFile(chosen->path, *chosen->format);
}

bool FileCommands::SaveFile(const QString& path, const FileFormat& format) {
    QString error;
    bool written = false;
    {
        BusyCursor busy;
        written = format.write(document_.Store(), path, &error);
    }
    if (!written) {
        QMessageBox::critical(window_, tr("Error"),
                              tr("%1 could not be saved:\n%2\nA file that was there before is "
                                 "unchanged.")
                                  .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    if (format.keepsEverything) {
        document_.SetPath(path);
        document_.SetModified(false);
    }
    return true;
}

bool FileCommands::MaybeSave() {
    if (!document_.IsModified())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Confirm"),
                    tr("The tracks and waypoints have changes that are not saved in a Tobrel2 "
                       "file.\nSave them?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_);
    box.setObjectName(QStringLiteral("SaveChangesBox"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save:
            if (!document_.Path().isEmpty())
                return SaveFile(document_.Path(), NativeFormat());
            SaveAs();
            return !document_.IsModified();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

}  // namespace tobrel
