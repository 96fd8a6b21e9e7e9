#include "ui/files/file_formats.h"

#include <cerrno>
#include <cstring>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "data/gpx_file.h"
#include "data/map_server_script.h"
#include "data/native_file.h"
#include "data/tobrel_file.h"

namespace tobrel {

namespace {

bool ReadBytes(const QString& path, QByteArray* bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QCoreApplication::translate("FileFormats", "The file cannot be opened: %1")
                     .arg(file.errorString());
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QCoreApplication::translate("FileFormats", "The file cannot be read: %1")
                     .arg(file.errorString());
        return false;
    }
    return true;
}

std::int32_t Get32(std::span<const std::uint8_t> b, std::size_t at) {
    std::int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

QString ProblemText(NativeFileProblem problem, std::int32_t version) {
    switch (problem) {
        case NativeFileProblem::kTooShort:
        case NativeFileProblem::kTruncated:
            return QCoreApplication::translate(
                "FileFormats",
                "The file is damaged: it ends before its data does (it may have been cut short).");
        case NativeFileProblem::kNotNative:
            return QCoreApplication::translate("FileFormats", "This is not a Tobrel2 file.");
        case NativeFileProblem::kVersion:
            return QCoreApplication::translate(
                       "FileFormats", "The file has version %1, which this program cannot read.")
                .arg(version);
        case NativeFileProblem::kInconsistent:
            return QCoreApplication::translate(
                "FileFormats", "The file is damaged: its contents do not match its header.");
        case NativeFileProblem::kNone:
            break;
    }
    return {};
}

bool ReadNative(TobrelFile& store, const QString& path, FileContext&, QString* error) {
    QByteArray bytes;
    if (!ReadBytes(path, &bytes, error))
        return false;
    const std::span<const std::uint8_t> image(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              static_cast<std::size_t>(bytes.size()));
    std::int32_t version = 0;
    const NativeFileProblem problem = InspectNativeFile(image, &version);
    if (problem != NativeFileProblem::kNone) {
        *error = ProblemText(problem, version);
        return false;
    }
    if (!ReadNativeFile(store, image)) {
        *error = QCoreApplication::translate("FileFormats", "The file could not be read.");
        return false;
    }
    return true;
}

bool ReadScript(TobrelFile& store, const QString& path, FileContext&, QString* error) {
    QByteArray bytes;
    if (!ReadBytes(path, &bytes, error))
        return false;
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    ReadMapServerScriptText(store, text, kReadLines);
    ReadMapServerScriptText(store, text, kReadPoints);
    return true;
}

// The writers say only whether they succeeded; the system's reason is in errno.
QString WriteFailure() {
    const int e = errno;
    return e != 0 ? QString::fromLocal8Bit(std::strerror(e))
                  : QCoreApplication::translate("FileFormats", "the file could not be written");
}

bool WriteNative(const TobrelFile& store, const QString& path, FileContext&, QString* error) {
    errno = 0;
    if (WriteNativeFile(store, QFile::encodeName(path).toStdString()))
        return true;
    *error = WriteFailure();
    return false;
}

bool WriteScript(const TobrelFile& store, const QString& path, FileContext&, QString* error) {
    errno = 0;
    if (WriteMapServerScript(store, QFile::encodeName(path).toStdString(), true, true, true,
                             nullptr, 0, 2))
        return true;
    *error = WriteFailure();
    return false;
}

// What went wrong, with the line of the file where the reader knows it.
QString GpxFailure(const GpxResult& result) {
    QString what;
    switch (result.status) {
        case GpxStatus::kCannotOpen:
            return QCoreApplication::translate("FileFormats", "The file cannot be opened: %1")
                .arg(QString::fromStdString(result.message));
        case GpxStatus::kNotWellFormed:
            what = QCoreApplication::translate("FileFormats",
                                               "The file is damaged: it is not well-formed XML.");
            break;
        case GpxStatus::kNotGpx:
            what = QCoreApplication::translate("FileFormats", "This is not a GPX file.");
            break;
        case GpxStatus::kBadValue:
            what = QCoreApplication::translate("FileFormats",
                                               "The file holds a value that cannot be read.");
            break;
        case GpxStatus::kRefused:
            what = QCoreApplication::translate(
                "FileFormats", "The file is refused: it asks for more than a GPX file may.");
            break;
        case GpxStatus::kNoMemory:
            return QCoreApplication::translate("FileFormats",
                                               "There is not enough memory to read the file.");
        case GpxStatus::kOk:
        case GpxStatus::kCannotWrite:
            break;
    }
    const QString detail = QString::fromStdString(result.message);
    if (result.line > 0)
        return what + QLatin1Char('\n') +
               QCoreApplication::translate("FileFormats", "Line %1: %2")
                   .arg(result.line)
                   .arg(detail);
    return detail.isEmpty() ? what : what + QLatin1Char('\n') + detail;
}

void Note(FileContext& context, int count, const char* text) {
    if (count > 0)
        context.notes.append(QCoreApplication::translate("FileFormats", text).arg(count));
}

bool ReadGpxFile(TobrelFile& store, const QString& path, FileContext& context, QString* error) {
    GpxReport report;
    const GpxResult result =
        ReadGpx(QFile::encodeName(path).toStdString(), GpxOptions(context.datum), store, &report);
    if (!result) {
        *error = GpxFailure(result);
        return false;
    }
    Note(context, report.replacedCharacters,
         QT_TRANSLATE_NOOP("FileFormats",
                           "Characters the receivers' character set lacks, now \"?\": %1"));
    Note(context, report.cutTexts,
         QT_TRANSLATE_NOOP("FileFormats", "Names or comments cut to fit: %1"));
    Note(context, report.droppedTimes,
         QT_TRANSLATE_NOOP("FileFormats",
                           "Point times outside the dates the data can hold, "
                           "left out: %1"));
    return true;
}

bool WriteGpxFile(const TobrelFile& store, const QString& path, FileContext& context,
                  QString* error) {
    GpxReport report;
    const GpxResult result =
        WriteGpx(QFile::encodeName(path).toStdString(), store, GpxOptions(context.datum), &report);
    if (!result) {
        *error = result.status == GpxStatus::kNoMemory
                     ? QCoreApplication::translate("FileFormats",
                                                   "There is not enough memory to write the file.")
                     : QString::fromStdString(result.message);
        return false;
    }
    Note(context, report.replacedCharacters,
         QT_TRANSLATE_NOOP("FileFormats",
                           "Bytes of names or comments that form no character, written as "
                           "\"?\": %1"));
    Note(context, report.skippedPoints,
         QT_TRANSLATE_NOOP("FileFormats", "Points without a valid position, left out: %1"));
    context.partial = report.replacedCharacters > 0 || report.skippedPoints > 0;
    return true;
}

// Room for `count` records of `size` bytes from `at`; moves `at` past them.
bool Take(std::span<const std::uint8_t> b, std::size_t* at, std::int64_t count, std::size_t size) {
    const auto need = static_cast<std::uint64_t>(count) * size;
    if (*at > b.size() || need > b.size() - *at)
        return false;
    *at += static_cast<std::size_t>(need);
    return true;
}

}  // namespace

QString FileFormat::Filter() const {
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(name), QString::fromLatin1(pattern));
}

const QList<FileFormat>& FileFormats() {
    static const QList<FileFormat> formats = {
        {"MapServerScript", "*.mps", "mps", false, false, ReadScript, WriteScript},
        {"Tobrel2 file", "*.tb2", "tb2", true, true, ReadNative, WriteNative},
        {"GPX", "*.gpx", "gpx", true, true, ReadGpxFile, WriteGpxFile},
    };
    return formats;
}

const FileFormat& NativeFormat() {
    return FileFormats()[1];
}

QStringList FileFilters() {
    QStringList filters;
    for (const FileFormat& f : FileFormats())
        filters.append(f.Filter());
    return filters;
}

const FileFormat* FormatForOpening(const QString& path, const FileFormat* chosen) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.read(6) == "TOBREL")
        return &NativeFormat();
    const FileFormat* bySuffix = FormatOfSuffix(path);
    return bySuffix != nullptr ? bySuffix : chosen;
}

const FileFormat* FormatOfSuffix(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    for (const FileFormat& f : FileFormats()) {
        if (suffix.compare(QLatin1String(f.suffix), Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

NativeFileProblem InspectNativeFile(std::span<const std::uint8_t> b, std::int32_t* versionOut) {
    constexpr std::size_t kHeader = 108;
    if (b.size() >= 6 && std::memcmp(b.data(), "TOBREL", 6) != 0)
        return NativeFileProblem::kNotNative;
    if (b.size() < kHeader)
        return b.size() < 6 ? NativeFileProblem::kNotNative : NativeFileProblem::kTooShort;
    std::int32_t version = Get32(b, 16);
    if (versionOut != nullptr)
        *versionOut = version;
    if (version == 1 || version >= 8)
        return NativeFileProblem::kVersion;
    if (version < 3)
        version = 3;
    const std::size_t waypointSize = version < 4 ? 32 : version == 4 ? 76 : 116;

    // Each section must lie inside the file and hold what its counts say.
    auto section = [&](std::size_t field, std::size_t* at) {
        const std::int32_t offset = Get32(b, field);
        if (offset == 0)
            return 0;  // absent
        if (offset < 0 || static_cast<std::size_t>(offset) < kHeader)
            return -2;
        if (static_cast<std::size_t>(offset) >= b.size())
            return -1;
        *at = static_cast<std::size_t>(offset);
        return 1;
    };
    auto count = [&](std::size_t* at, std::int32_t* n) {
        if (!Take(b, at, 1, 4))
            return -1;
        *n = Get32(b, *at - 4);
        return *n < 0 ? -2 : 1;
    };
    int missing = 0;  // -1 truncated, -2 inconsistent
    auto fail = [&](int r) {
        if (r < 0 && missing == 0)
            missing = r;
        return r < 0;
    };

    std::size_t at = 0;
    std::int32_t n = 0;
    int r = section(20, &at);
    if (!fail(r) && r == 1 && !fail(count(&at, &n))) {
        if (version >= 6) {
            for (std::int32_t t = 0; t < n && missing == 0; ++t) {
                if (!Take(b, &at, 1, 32)) {
                    fail(-1);
                    break;
                }
                const std::int32_t points = Get32(b, at - 32 + 24);
                if (points < 0)
                    fail(-2);
                else if (!Take(b, &at, points, 44))
                    fail(-1);
            }
        } else if (n > 0 && !Take(b, &at, 1, 4)) {
            fail(-1);
        } else if (n > 0 && !Take(b, &at, n, version == 5 ? 32 : 24)) {
            fail(-1);
        }
    }
    r = section(24, &at);
    if (missing == 0 && !fail(r) && r == 1 && !fail(count(&at, &n)) &&
        !Take(b, &at, n, waypointSize))
        fail(-1);
    r = section(28, &at);
    if (missing == 0 && !fail(r) && r == 1 && !fail(count(&at, &n))) {
        const std::size_t headers = at;
        if (!Take(b, &at, n, 72)) {
            fail(-1);
        } else {
            for (std::int32_t k = 0; k < n && missing == 0; ++k) {
                const std::int32_t points = Get32(b, headers + static_cast<std::size_t>(k) * 72);
                if (points < 0)
                    fail(-2);
                else if (!Take(b, &at, points, waypointSize))
                    fail(-1);
            }
        }
    }
    if (missing == -1)
        return NativeFileProblem::kTruncated;
    if (missing == -2)
        return NativeFileProblem::kInconsistent;
    return NativeFileProblem::kNone;
}

}  // namespace tobrel
