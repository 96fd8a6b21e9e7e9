#include "ui/files/file_dialogs.h"

#include <QFileDialog>

#include "ui/files/file_formats.h"

namespace tobrel {

namespace {

const FileFormat* FormatOfFilter(const QString& filter) {
    const QStringList filters = FileFilters();
    const qsizetype i = filters.indexOf(filter);
    return i >= 0 ? &FileFormats()[i] : nullptr;
}

std::optional<ChosenFile> Run(QFileDialog& dialog, const FileFormat& preselected) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(FileFilters());
    dialog.selectNameFilter(preselected.Filter());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return ChosenFile{dialog.selectedFiles().first(), FormatOfFilter(dialog.selectedNameFilter())};
}

}  // namespace

std::optional<ChosenFile> ChooseFileToOpen(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QFileDialog::tr("Open"), folder);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    return Run(dialog, FileFormats().first());
}

std::optional<ChosenFile> ChooseFileToSave(QWidget* parent, const QString& suggested) {
    QFileDialog dialog(parent, QFileDialog::tr("Save As"), suggested);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The type starts as the suggested name's, so saving a data file again
    // does not write a script over it.
    const FileFormat* suggestedFormat = FormatOfSuffix(suggested);
    const FileFormat& preselected =
        suggestedFormat != nullptr ? *suggestedFormat : FileFormats().first();
    dialog.setDefaultSuffix(QString::fromLatin1(preselected.suffix));
    // The suffix follows the type chosen, so "x" saved as Tobrel2 is x.tb2.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        if (const FileFormat* format = FormatOfFilter(f))
            dialog.setDefaultSuffix(QString::fromLatin1(format->suffix));
    });
    auto chosen = Run(dialog, preselected);
    // A name typed with another type's suffix is saved as that type: x.gpx
    // holds GPX whatever filter was left selected.
    if (chosen) {
        if (const FileFormat* typed = FormatOfSuffix(chosen->path))
            chosen->format = typed;
    }
    return chosen;
}

std::optional<QString> ChooseDescriptionFile(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QFileDialog::tr("Save As"), folder);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("*.dat"));
    dialog.setDefaultSuffix(QStringLiteral("dat"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

QString ChooseFolder(QWidget* parent, const QString& start) {
    QFileDialog dialog(parent, QFileDialog::tr("Choose a folder"), start);
    dialog.setObjectName(QStringLiteral("FolderDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace tobrel
