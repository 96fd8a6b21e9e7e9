#include "ui/files/file_commands.h"

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "data/tobrel_file.h"
#include "map/datum_converter.h"
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
    : QObject(window),
      document_(document),
      tree_(tree),
      window_(window),
      datum_(DatumConverter::TokyoShift()) {}

FileContext FileCommands::Context() const {
    FileContext context;
    context.datum = datum_;
    return context;
}

void FileCommands::TellNotes(const QString& path, const FileContext& context, bool saved) {
    if (context.notes.isEmpty())
        return;
    const QString file = QDir::toNativeSeparators(path);
    QMessageBox::information(window_, tr("Information"),
                             (saved ? tr("%1 was saved, with these changes:\n%2")
                                    : tr("%1 was opened, with these changes:\n%2"))
                                 .arg(file, context.notes.join(QLatin1Char('\n'))));
}

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
    FileContext context = Context();
    bool read = false;
    {
        BusyCursor busy;
        read = format->read(*store, path, context, &error);
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
        pathFormat_ = format->keepsEverything ? format : nullptr;
        document_.SetModified(false);
    } else {
        document_.SetModified(true);  // the mix is in no file yet
    }
    TellNotes(path, context, false);
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
    FileContext context = Context();
    bool written = false;
    {
        BusyCursor busy;
        written = format.write(document_.Store(), path, context, &error);
    }
    if (!written) {
        QMessageBox::critical(window_, tr("Error"),
                              tr("%1 could not be saved:\n%2\nA file that was there before is "
                                 "unchanged.")
                                  .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    if (format.keepsEverything && !context.partial) {
        document_.SetPath(path);
        pathFormat_ = &format;
        document_.SetModified(false);
    }
    TellNotes(path, context, true);
    return true;
}

bool FileCommands::MaybeSave() {
    if (!document_.IsModified())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Confirm"),
                    tr("The tracks and waypoints have changes that are not saved.\nSave them?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window_);
    box.setObjectName(QStringLiteral("SaveChangesBox"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save:
            if (!document_.Path().isEmpty())
                return SaveFile(document_.Path(), pathFormat_ ? *pathFormat_ : NativeFormat());
            SaveAs();
            return !document_.IsModified();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

}  // namespace tobrel
