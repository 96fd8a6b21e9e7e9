#pragma once
// Raster tile base maps: XYZ sources fetched over HTTP with a disk cache, and
// MBTiles files. Tiles load in the background (disk and database reads on a
// small thread pool, downloads through QNetworkAccessManager); the UI thread
// only ever looks into the memory cache.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include "map/tile_sources.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace tobrel {

class TileLayer : public QObject {
    Q_OBJECT
  public:
    TileLayer(QString code, QString title, int minZoom, int maxZoom);
    ~TileLayer() override;

    const QString& Code() const { return code_; }
    const QString& Title() const { return title_; }
    int MinZoom() const { return minZoom_; }
    int MaxZoom() const { return maxZoom_; }

    // Whether the source has the tile, answered at once (used to decide which
    // layer scales are enabled).
    virtual bool HasTile(const TileKey& key) = 0;

    // Forgets downloads queued for the previous frame that have not started.
    virtual void BeginFrame() {}
    // The tile when it is in memory; otherwise starts loading it and returns null.
    const QImage* Tile(const TileKey& key);
    // The tile when it is in memory, without loading anything.
    const QImage* Peek(const TileKey& key) const;
    bool IsLoading() const { return !loading_.isEmpty(); }

    static constexpr const char* kUserAgent = "TobrelPA/0.20";

  signals:
    void TileArrived();

  protected:
    // Starts the background load; the subclass ends it with Deliver or Fail on
    // the UI thread.
    virtual void StartLoad(const TileKey& key) = 0;
    void Deliver(const TileKey& key, const QImage& image);
    void Fail(const TileKey& key);
    void Forget(const TileKey& key) { loading_.remove(TileKeyHash(key)); }
    // Runs `work` on the pool; it may post back with PostToUi.
    void RunInBackground(std::function<void()> work);
    void PostToUi(std::function<void()> work);
    // Subclasses call this first in their destructors: background work uses
    // their members.
    void WaitForBackground() { pool_.waitForDone(); }

  private:
    QString code_;
    QString title_;
    int minZoom_;
    int maxZoom_;
    QCache<std::uint64_t, QImage> memory_;
    QSet<std::uint64_t> loading_;
    QHash<std::uint64_t, qint64> failedAt_;
    QThreadPool pool_;
};

class XyzTileLayer : public TileLayer {
    Q_OBJECT
  public:
    XyzTileLayer(const TileSourceConfig& config, QString cacheDir);
    ~XyzTileLayer() override;

    bool HasTile(const TileKey& key) override;
    void BeginFrame() override;

  protected:
    void StartLoad(const TileKey& key) override;

  private:
    void Download(const TileKey& key);
    void PumpQueue();
    void Finished(QNetworkReply* reply, const TileKey& key);

    TileSourceConfig config_;
    QString cacheDir_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::deque<TileKey> queued_;
    int inFlight_ = 0;
    static constexpr int kMaxInFlight = 4;
    static constexpr qint64 kMaxTileBytes = 4 * 1024 * 1024;
};

class MbTilesLayer : public TileLayer {
    Q_OBJECT
  public:
    // Null when the file cannot be read as MBTiles.
    static std::unique_ptr<MbTilesLayer> Open(const QString& path);
    ~MbTilesLayer() override;

    bool HasTile(const TileKey& key) override;

  protected:
    void StartLoad(const TileKey& key) override;

  private:
    MbTilesLayer(QString path, QString connection, QString code, QString title, int minZoom,
                 int maxZoom);

    QString path_;
    QString connection_;  // the UI thread's own database connection
    QHash<std::uint64_t, bool> hasTile_;
};

}  // namespace tobrel
