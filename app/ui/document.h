#pragma once
// The data the user works on: the store of tracks, waypoints and routes, the
// file it came from or was last saved to, and whether it holds changes that
// no file has.

#include <memory>

#include <QObject>
#include <QString>

#include "data/tobrel_file.h"

namespace tobrel {

class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    // The same object for the document's whole life, so views may keep it.
    TobrelFile& Store() { return *store_; }
    const TobrelFile& Store() const { return *store_; }
    bool IsEmpty() const;

    // Takes over the records of a store that was read in full.
    void ReplaceStore(std::unique_ptr<TobrelFile> store);
    // After the store was changed in place: marks it modified and tells the views.
    void NotifyEdited();

    const QString& Path() const { return path_; }
    void SetPath(const QString& path);
    bool IsModified() const { return modified_; }
    void SetModified(bool modified);

  signals:
    void PathChanged(const QString& path);
    void ModifiedChanged(bool modified);
    // The store's records changed (replaced, or edited in place).
    void StoreChanged();

  private:
    std::unique_ptr<TobrelFile> store_;
    QString path_;
    bool modified_ = false;
};

}  // namespace tobrel
