#pragma once
// The data file types the program opens and saves, in one table: the open
// and save dialogs offer them in this order, each row with its reader and
// writer.

#include <cstdint>
#include <span>

#include <QList>
#include <QString>
#include <QStringList>

#include "geodesy/molodensky.h"

namespace tobrel {

class TobrelFile;

// What a reader or writer needs beyond the store and the path, and what it
// has to tell the user after a success.
struct FileContext {
    // The store's datum against WGS 84, as the GPS control gives it.
    sorvane::DatumShift datum;
    // What was changed on the way (characters replaced, names cut), in words.
    QStringList notes;
    // Writing: the file holds less than the store (points or characters lost).
    bool partial = false;
};

struct FileFormat {
    const char* name;     // shown in the file dialogs' filter
    const char* pattern;  // "*.tb2"
    const char* suffix;   // added to a saved file's name when it has none
    // Opening replaces the store (true) or adds to it (false).
    bool replacesStore;
    // Saving keeps every record and field, so the data count as saved.
    bool keepsEverything;
    // Reads the file into the store; false with a reason for the user.
    bool (*read)(TobrelFile& store, const QString& path, FileContext& context, QString* error);
    // Writes the store; false with a reason. The previous file stays as it was.
    bool (*write)(const TobrelFile& store, const QString& path, FileContext& context,
                  QString* error);

    QString Filter() const;  // "Tobrel2 file (*.tb2)"
};

// Map server script first, then the native data file, then GPX.
const QList<FileFormat>& FileFormats();
const FileFormat& NativeFormat();
// The filter text of every format, for a file dialog.
QStringList FileFilters();
// The format for opening a file: a native data file is known by its first
// bytes, other files by their suffix; else the format the user chose.
const FileFormat* FormatForOpening(const QString& path, const FileFormat* chosen);
// The format whose suffix the name has, or nullptr.
const FileFormat* FormatOfSuffix(const QString& path);

// What is wrong with a native data file image, when something is.
enum class NativeFileProblem {
    kNone,
    kTooShort,     // not even a whole header
    kNotNative,    // another kind of file
    kVersion,      // a version this program does not read
    kTruncated,    // ends inside its sections
    kInconsistent  // counts or offsets that cannot be right
};
NativeFileProblem InspectNativeFile(std::span<const std::uint8_t> bytes,
                                    std::int32_t* version = nullptr);

}  // namespace tobrel
