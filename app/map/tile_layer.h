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
#include <QTimer>

#include "map/tile_sources.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace tobrel {

// How long a downloaded tile may be used before it is revalidated, from the
// response's Cache-Control, Expires, Date and Age headers: max-age wins over
// Expires (taken relative to Date, so a wrong clock does not matter);
// no-cache means revalidate at every use; no-store keeps nothing on disk.
// Without any of them a tile stays fresh for kDefaultTileLifetime.
struct TileCachePolicy {
    bool store = true;
    qint64 lifetimeSeconds = 0;
};
constexpr qint64 kDefaultTileLifetime = 7 * 24 * 3600;
TileCachePolicy CachePolicyOf(const QByteArray& cacheControl, const QByteArray& expires,
                              const QByteArray& date, const QByteArray& age);

// What the cache keeps beside a tile: when it goes stale (Unix seconds) and
// the validators to ask the server with.
struct TileCacheMeta {
    qint64 expiresAt = 0;
    QByteArray etag;
    QByteArray lastModified;
};
QByteArray EncodeTileMeta(const TileCacheMeta& meta);
// A missing or unreadable file gives a tile that is stale and has no validators.
TileCacheMeta DecodeTileMeta(const QByteArray& bytes);

class TileLayer : public QObject {
    Q_OBJECT
  public:
    TileLayer(QString code, QString title, int minZoom, int maxZoom);
    ~TileLayer() override;

    const QString& Code() const { return code_; }
    const QString& Title() const { return title_; }
    int MinZoom() const { return minZoom_; }
    int MaxZoom() const { return maxZoom_; }
    // The text the source's licence asks to show on the map; may be empty.
    const QString& Attribution() const { return attribution_; }
    const QString& AttributionUrl() const { return attributionUrl_; }
    void SetAttribution(QString text, QString url) {
        attribution_ = std::move(text);
        attributionUrl_ = std::move(url);
    }

    // Whether the source has the tile, answered at once (used to decide which
    // layer scales are enabled).
    virtual bool HasTile(const TileKey& key) = 0;

    // Starts a frame: forgets downloads queued for the previous one that have
    // not started (only what is on screen is ever fetched).
    virtual void BeginFrame() { frameFailures_ = false; }
    // The tile when it is in memory; otherwise starts loading it and returns null.
    const QImage* Tile(const TileKey& key);
    // The tile when it is in memory, without loading anything.
    const QImage* Peek(const TileKey& key) const;
    bool IsLoading() const { return !loading_.isEmpty(); }
    // Whether a tile of the frame is missing because its load failed and
    // waits for a retry.
    bool FrameHasFailures() const { return frameFailures_; }

    static constexpr const char* kUserAgent = "TobrelPA/0.20";

  signals:
    void TileArrived();
    // A load failed or a failed tile may be tried again: worth a repaint.
    void StateChanged();

  protected:
    // Starts the background load; the subclass ends it with Deliver or Fail on
    // the UI thread.
    virtual void StartLoad(const TileKey& key) = 0;
    // A tile in memory was wanted again.
    virtual void Touched(const TileKey&) {}
    void Deliver(const TileKey& key, const QImage& image);
    // Tried again after a back-off that doubles with each failure; much later
    // when `missing` (the source says there is no such tile).
    void Fail(const TileKey& key, bool missing = false);
    void Forget(const TileKey& key) { loading_.remove(TileKeyHash(key)); }
    // Runs `work` on the pool; it may post back with PostToUi.
    void RunInBackground(std::function<void()> work);
    void PostToUi(std::function<void()> work);
    // Subclasses call this first in their destructors: background work uses
    // their members.
    void WaitForBackground() { pool_.waitForDone(); }

  private:
    struct Failure {
        qint64 retryAt = 0;  // ms since the epoch
        int attempts = 0;
        bool missing = false;
    };
    void ScheduleRetry();

    QString code_;
    QString title_;
    int minZoom_;
    int maxZoom_;
    QString attribution_;
    QString attributionUrl_;
    QCache<std::uint64_t, QImage> memory_;
    QSet<std::uint64_t> loading_;
    QHash<std::uint64_t, Failure> failures_;
    QTimer retryTimer_;
    bool frameFailures_ = false;
    QThreadPool pool_;
};

// Tiles over HTTP the way the big public servers ask for: an identifying
// User-Agent, at most two requests at a time per server, only the tiles on
// screen, a disk cache that honours the caching headers and revalidates stale
// tiles with If-None-Match (showing them meanwhile, and for good when
// offline), and back-off after failures.
class XyzTileLayer : public TileLayer {
    Q_OBJECT
  public:
    // An empty cache folder keeps tiles in memory only.
    XyzTileLayer(const TileSourceConfig& config, QString cacheDir);
    ~XyzTileLayer() override;

    bool HasTile(const TileKey& key) override;
    void BeginFrame() override;

    static constexpr int kMaxPerServer = 2;

  protected:
    void StartLoad(const TileKey& key) override;
    void Touched(const TileKey& key) override;

  private:
    struct Job {
        TileKey key;
        QString url;
        QString host;
        bool revalidate = false;  // the tile is shown from the cache already
        TileCacheMeta meta;       // validators of the cached copy
    };
    struct Stale {
        TileCacheMeta meta;
        qint64 retryAt = 0;  // ms since the epoch; 0 for at once
    };

    void Enqueue(const TileKey& key, bool revalidate, const TileCacheMeta& meta);
    void PumpQueue();
    void Finished(QNetworkReply* reply, const Job& job);
    // The server failed us: hold every request for a while, longer each time.
    void Pause(qint64 atLeastMs = 0);
    bool IsPaused() const;
    void StoreInBackground(const TileKey& key, const QByteArray& bytes, const TileCacheMeta& meta,
                           bool keepOnDisk);

    TileSourceConfig config_;
    QString cacheDir_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::deque<Job> queued_;
    QSet<std::uint64_t> jobs_;  // queued or in flight
    QHash<QString, int> hostInFlight_;
    QHash<std::uint64_t, Stale> stale_;
    int inFlight_ = 0;
    int maxInFlight_ = kMaxPerServer;
    qint64 pausedUntil_ = 0;
    int pauseLevel_ = 0;
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
