#include "ui/settings/port_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tobrel {

namespace {

QString Key(int port) {
    return QStringLiteral("COM%1").arg(port);
}

// The key and value of a "COMn=device" line; false for blanks and comments.
bool SplitLine(const QString& line, QString* key, QString* value) {
    const QString l = line.trimmed();
    if (l.isEmpty() || l.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype eq = l.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = l.left(eq).trimmed();
    QString v = l.mid(eq + 1);
    // As the control reads the file: a comment may follow the device after a
    // blank, while a # inside a path stays.
    for (qsizetype hash = v.indexOf(QLatin1Char('#')); hash >= 0;
         hash = v.indexOf(QLatin1Char('#'), hash + 1)) {
        if (hash == 0 || v[hash - 1] == QLatin1Char(' ') || v[hash - 1] == QLatin1Char('\t')) {
            v.truncate(hash);
            break;
        }
    }
    *value = v.trimmed();
    return true;
}

}  // namespace

QString PortMapFilePath() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.startsWith(QLatin1Char('/')))
        return config + QStringLiteral("/sorvane/ports.conf");
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home + QStringLiteral("/.config/sorvane/ports.conf");
    return {};
}

QString PortMapEntry(const QString& file, int port) {
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString key = Key(port);
    while (!in.atEnd()) {
        QString k;
        QString v;
        if (SplitLine(QString::fromUtf8(in.readLine()), &k, &v) &&
            k.compare(key, Qt::CaseInsensitive) == 0 && !v.isEmpty())
            return v;
    }
    return {};
}

PortDevice PortDeviceOf(int port) {
    if (port < 1 || port > 9)
        return {};
    const QString env = qEnvironmentVariable(("SORVANE_" + Key(port)).toLatin1().constData());
    if (!env.isEmpty())
        return {env, PortDevice::Source::kEnvironment};
    const QString mapped = PortMapEntry(PortMapFilePath(), port);
    if (!mapped.isEmpty())
        return {mapped, PortDevice::Source::kPortMapFile};
    return {QStringLiteral("/dev/ttyS%1").arg(port - 1), PortDevice::Source::kDefault};
}

bool WritePortMapEntry(const QString& file, int port, const QString& device, QString* error) {
    auto fail = [error](const QString& why) {
        if (error != nullptr)
            *error = why;
        return false;
    };
    if (file.isEmpty())
        return fail(QStringLiteral("no folder for the port map file (HOME is not set)"));
    if (port < 1 || port > 9 || device.trimmed().isEmpty() || device.contains(QLatin1Char('\n')))
        return fail(QStringLiteral("not a port and device"));

    QStringList lines;
    QFile in(file);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly))
            return fail(in.errorString());
        lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        in.close();
    }
    const QString key = Key(port);
    const QString entry = key + QLatin1Char('=') + device.trimmed();
    bool replaced = false;
    for (QString& line : lines) {
        QString k;
        QString v;
        // The first line of the port is the one that counts; later ones are left.
        if (!replaced && SplitLine(line, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            line = entry;
            replaced = true;
        }
    }
    if (!replaced)
        lines.append(entry);

    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return fail(
            QStringLiteral("cannot create the folder %1").arg(QFileInfo(file).absolutePath()));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (!out.commit())
        return fail(out.errorString());
    return true;
}

}  // namespace tobrel
