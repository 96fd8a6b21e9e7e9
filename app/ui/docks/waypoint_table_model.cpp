#include "ui/docks/waypoint_table_model.h"

#include <algorithm>
#include <limits>
#include <string>

#include "data/tobrel_file.h"
#include "data/track_statistics.h"
#include "geodesy/waypoint_symbols.h"
#include "text/cp932.h"

namespace tobrel {

namespace {

// The symbol names of the newer receivers, the longest table.
constexpr int kSymbolTable = 4108;

QString FromField(const char* field) {
    return QString::fromStdString(sorvane::cp932::ToUtf8(field));
}

QString SymbolText(std::uint16_t number) {
    const char* name = sorvane::WaypointSymbolNameOf(kSymbolTable, number);
    // The lookup answers "Waypoint dot" for numbers it does not know.
    if (name != nullptr && sorvane::WaypointSymbolNumberOf(kSymbolTable, name) == number) {
        return QString::fromLatin1(name);
    }
    return QString::number(number);
}

QString Degrees(double value) {
    return QString::number(value, 'f', 6);
}

}  // namespace

FieldFit EncodeField(const QString& text, int maxBytes, QByteArray* bytes) {
    bytes->clear();
    // Control characters would end the field early or break the text files
    // the store is written to.
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; })) {
        return FieldFit::NotEncodable;
    }
    const std::string utf8 = text.toStdString();
    const std::string encoded = sorvane::cp932::FromUtf8(utf8);
    if (std::count(encoded.begin(), encoded.end(), '?') !=
        std::count(utf8.begin(), utf8.end(), '?')) {
        return FieldFit::NotEncodable;  // the converter put '?' for what it lacks
    }
    const std::size_t fit =
        sorvane::cp932::FitLength(encoded, static_cast<std::size_t>(std::max(0, maxBytes)));
    *bytes = QByteArray(encoded.data(), static_cast<qsizetype>(fit));
    return fit < encoded.size() ? FieldFit::TooLong : FieldFit::Fits;
}

QValidator::State FieldValidator::validate(QString& input, int&) const {
    QByteArray bytes;
    return EncodeField(input, maxBytes_, &bytes) == FieldFit::Fits ? Acceptable : Invalid;
}

int WaypointTableModel::ByteLimit(int column) {
    switch (column) {
        case kName:
            return kNameMax;
        case kComment:
            return kCommentMax;
        default:
            return 0;
    }
}

WaypointTableModel::WaypointTableModel(TobrelFile& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store) {}

void WaypointTableModel::Reload() {
    beginResetModel();
    endResetModel();
}

void WaypointTableModel::SetDatumName(const QString& name) {
    datum_ = name;
    emit headerDataChanged(Qt::Horizontal, kLatitude, kLongitude);
}

int WaypointTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : store_.GetWaypointCount();
}

int WaypointTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant WaypointTableModel::data(const QModelIndex& index, int role) const {
    const WaypointData* w = index.isValid() ? store_.GetWaypointData(index.row()) : nullptr;
    if (w == nullptr) {
        return {};
    }
    const bool hasAltitude = HasAltitude(w->altitude);
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() >= kLatitude && index.column() <= kAltitude;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role == kSortRole) {
        switch (index.column()) {
            case kLatitude:
                return w->latitude;
            case kLongitude:
                return w->longitude;
            case kAltitude:
                return hasAltitude ? double{w->altitude} : -std::numeric_limits<double>::infinity();
            case kSymbol:
                return int{w->symbol};
            default:
                break;
        }
        // Texts sort as shown.
        role = Qt::DisplayRole;
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        return {};
    }
    switch (index.column()) {
        case kName:
            return FromField(w->ident);
        case kComment:
            return FromField(w->comment);
        case kLatitude:
            return Degrees(w->latitude);
        case kLongitude:
            return Degrees(w->longitude);
        case kAltitude:
            return hasAltitude ? QString::number(w->altitude, 'f', 1) : QString();
        case kSymbol:
            return SymbolText(w->symbol);
        default:
            return {};
    }
}

QVariant WaypointTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const QString datum = datum_.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(datum_);
    switch (section) {
        case kName:
            return tr("Name");
        case kComment:
            return tr("Comment");
        case kLatitude:
            return tr("Latitude") + datum;
        case kLongitude:
            return tr("Longitude") + datum;
        case kAltitude:
            return tr("Altitude (m)");
        case kSymbol:
            return tr("Symbol");
        default:
            return {};
    }
}

Qt::ItemFlags WaypointTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && ByteLimit(index.column()) > 0) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool WaypointTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int row = index.row();
    const WaypointData* w = index.isValid() ? store_.GetWaypointData(row) : nullptr;
    const int limit = ByteLimit(index.column());
    if (w == nullptr || role != Qt::EditRole || limit == 0) {
        return false;
    }
    QString text = value.toString();
    if (index.column() == kName) {
        // Only ASCII letters: receivers take upper-case names, and this keeps
        // the byte count of everything else.
        for (QChar& c : text) {
            if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
                c = QChar(c.unicode() - 'a' + 'A');
            }
        }
    }
    QByteArray bytes;
    if (EncodeField(text, limit, &bytes) == FieldFit::NotEncodable) {
        return false;
    }
    const char* current = index.column() == kName ? w->ident : w->comment;
    if (bytes == QByteArray(current)) {
        return true;  // nothing to change, and the document stays as it was
    }
    const WaypointData copy = *w;  // the store rewrites the record it points into
    const bool name = index.column() == kName;
    if (!store_.SetWaypoint(row, name ? bytes.constData() : nullptr,
                            name ? nullptr : bytes.constData(), copy.latitude, copy.longitude,
                            copy.altitude, copy.distance, copy.symbol, copy.display)) {
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit WaypointEdited(row);
    return true;
}

}  // namespace tobrel
