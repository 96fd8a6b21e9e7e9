#pragma once
// The store's free waypoints as a table: name, comment, position, altitude
// and symbol. Name and comment can be edited in place within the store's
// byte limits (code page 932 bytes).

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QValidator>

namespace tobrel {

class TobrelFile;

// A text as code page 932 bytes for a field of at most maxBytes. Fits: taken
// as it is; TooLong: cut after the last whole character that fits;
// NotEncodable: holds a character the code page lacks (bytes left empty).
enum class FieldFit { Fits, TooLong, NotEncodable };
FieldFit EncodeField(const QString& text, int maxBytes, QByteArray* bytes);

// Accepts only what fits the field, so typing stops at the limit and a
// character the code page lacks is refused.
class FieldValidator : public QValidator {
    Q_OBJECT
  public:
    FieldValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& input, int& pos) const override;

  private:
    int maxBytes_;
};

class WaypointTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kName, kComment, kLatitude, kLongitude, kAltitude, kSymbol, kColumnCount };
    // Numbers for sorting (the shown texts would sort "10" before "9").
    static constexpr int kSortRole = Qt::UserRole + 1;
    // The byte limit of an editable column (0 for the others).
    static int ByteLimit(int column);

    explicit WaypointTableModel(TobrelFile& store, QObject* parent = nullptr);

    // Call after the store's waypoints changed outside this model.
    void Reload();
    // Shown in the position headers, e.g. "Tokyo".
    void SetDatumName(const QString& name);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Names are upper-cased like every name the user types. Refused (false,
    // nothing changed) for a character the code page lacks; cut to the
    // limit when too long.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    // A name or comment of the store changed.
    void WaypointEdited(int index);

  private:
    TobrelFile& store_;
    QString datum_;
};

}  // namespace tobrel
