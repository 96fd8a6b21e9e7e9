#include "map/tile_layer.h"

#include <atomic>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace tobrel {

namespace {

constexpr qint64 kRetryAfterMs = 60 * 1000;
constexpr int kMemoryCacheKiB = 48 * 1024;

int ImageCostKiB(const QImage& image) {
    return std::max(1, static_cast<int>(image.sizeInBytes() / 1024));
}

QString NewConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tobrel-mbtiles-%1").arg(counter.fetch_add(1));
}

}  // namespace

TileLayer::TileLayer(QString code, QString title, int minZoom, int maxZoom)
    : code_(std::move(code)), title_(std::move(title)), minZoom_(minZoom), maxZoom_(maxZoom) {
    memory_.setMaxCost(kMemoryCacheKiB);
    pool_.setMaxThreadCount(2);
}

TileLayer::~TileLayer() {
    // Background work refers to this object; let it end first.
    pool_.waitForDone();
}

const QImage* TileLayer::Peek(const TileKey& key) const {
    return memory_.object(TileKeyHash(key));
}

const QImage* TileLayer::Tile(const TileKey& key) {
    const std::uint64_t hash = TileKeyHash(key);
    if (const QImage* image = memory_.object(hash)) {
        return image;
    }
    if (loading_.contains(hash)) {
        return nullptr;
    }
    const auto failed = failedAt_.constFind(hash);
    if (failed != failedAt_.constEnd() &&
        QDateTime::currentMSecsSinceEpoch() - failed.value() < kRetryAfterMs) {
        return nullptr;
    }
    loading_.insert(hash);
    StartLoad(key);
    return nullptr;
}

void TileLayer::Deliver(const TileKey& key, const QImage& image) {
    const std::uint64_t hash = TileKeyHash(key);
    loading_.remove(hash);
    failedAt_.remove(hash);
    memory_.insert(hash, new QImage(image), ImageCostKiB(image));
    emit TileArrived();
}

void TileLayer::Fail(const TileKey& key) {
    const std::uint64_t hash = TileKeyHash(key);
    loading_.remove(hash);
    failedAt_.insert(hash, QDateTime::currentMSecsSinceEpoch());
}

void TileLayer::RunInBackground(std::function<void()> work) {
    pool_.start(std::move(work));
}

void TileLayer::PostToUi(std::function<void()> work) {
    // Posted events die with this object, and the destructor waits for the pool.
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

// ---------------------------------------------------------------- XYZ

XyzTileLayer::XyzTileLayer(const TileSourceConfig& config, QString cacheDir)
    : TileLayer(config.name, config.title, config.minZoom, config.maxZoom),
      config_(config),
      cacheDir_(std::move(cacheDir)),
      network_(std::make_unique<QNetworkAccessManager>()) {}

XyzTileLayer::~XyzTileLayer() {
    WaitForBackground();
    // Replies belong to the manager; drop them before the queue they report to.
    QObject::disconnect(network_.get(), nullptr, this, nullptr);
    network_.reset();
}

bool XyzTileLayer::HasTile(const TileKey& key) {
    return key.z >= MinZoom() && key.z <= MaxZoom();
}

void XyzTileLayer::BeginFrame() {
    for (const TileKey& key : queued_) {
        Forget(key);
    }
    queued_.clear();
}

void XyzTileLayer::StartLoad(const TileKey& key) {
    const QString path = TileCachePath(cacheDir_, config_.name, key);
    RunInBackground([this, key, path] {
        QImage image;
        if (QFileInfo::exists(path)) {
            image.load(path);
        }
        PostToUi([this, key, image] {
            if (!image.isNull()) {
                Deliver(key, image);
            } else {
                Download(key);
            }
        });
    });
}

void XyzTileLayer::Download(const TileKey& key) {
    queued_.push_back(key);
    PumpQueue();
}

void XyzTileLayer::PumpQueue() {
    while (inFlight_ < kMaxInFlight && !queued_.empty()) {
        const TileKey key = queued_.front();
        queued_.pop_front();
        QNetworkRequest request{QUrl(ExpandTileUrl(config_.urlTemplate, key))};
        request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
        request.setTransferTimeout(15000);
        QNetworkReply* reply = network_->get(request);
        ++inFlight_;
        connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
            if (received > kMaxTileBytes) {
                reply->abort();
            }
        });
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, key] { Finished(reply, key); });
    }
}

void XyzTileLayer::Finished(QNetworkReply* reply, const TileKey& key) {
    --inFlight_;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QByteArray bytes;
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        bytes = reply->read(kMaxTileBytes + 1);
    }
    if (bytes.isEmpty() || bytes.size() > kMaxTileBytes) {
        Fail(key);
        PumpQueue();
        return;
    }
    const QString path = TileCachePath(cacheDir_, config_.name, key);
    RunInBackground([this, key, bytes, path] {
        QImage image;
        if (image.loadFromData(bytes)) {
            // Only what decodes goes into the cache; written whole or not at all.
            QDir().mkpath(QFileInfo(path).absolutePath());
            QSaveFile file(path);
            if (file.open(QIODevice::WriteOnly)) {
                file.write(bytes);
                file.commit();
            }
        }
        PostToUi([this, key, image] {
            if (image.isNull()) {
                Fail(key);
            } else {
                Deliver(key, image);
            }
        });
    });
    PumpQueue();
}

// ---------------------------------------------------------------- MBTiles

namespace {

// Opens a read-only connection; the caller removes it by name when done.
bool OpenMbTiles(const QString& connection, const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    return db.open();
}

void CloseMbTiles(const QString& connection) {
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

void BindTile(QSqlQuery& q, const TileKey& key) {
    q.addBindValue(key.z);
    q.addBindValue(key.x);
    q.addBindValue(TmsRow(key.z, key.y));
}

}  // namespace

std::unique_ptr<MbTilesLayer> MbTilesLayer::Open(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        return nullptr;
    }
    const QString connection = NewConnectionName();
    QString title = QFileInfo(path).completeBaseName();
    int minZoom = -1;
    int maxZoom = -1;
    bool ok = false;
    if (OpenMbTiles(connection, path)) {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles")) &&
            q.next() && !q.value(0).isNull()) {
            minZoom = q.value(0).toInt();
            maxZoom = q.value(1).toInt();
            ok = minZoom >= 0 && maxZoom <= kMaxTileZoom && minZoom <= maxZoom;
        }
        if (ok && q.exec(QStringLiteral("SELECT value FROM metadata WHERE name = 'name'")) &&
            q.next()) {
            const QString name = q.value(0).toString().trimmed();
            if (!name.isEmpty()) {
                title = name;
            }
        }
    }
    if (!ok) {
        CloseMbTiles(connection);
        return nullptr;
    }
    return std::unique_ptr<MbTilesLayer>(new MbTilesLayer(
        path, connection, QFileInfo(path).completeBaseName(), title, minZoom, maxZoom));
}

MbTilesLayer::MbTilesLayer(QString path, QString connection, QString code, QString title,
                           int minZoom, int maxZoom)
    : TileLayer(std::move(code), std::move(title), minZoom, maxZoom),
      path_(std::move(path)),
      connection_(std::move(connection)) {}

MbTilesLayer::~MbTilesLayer() {
    WaitForBackground();
    CloseMbTiles(connection_);
}

bool MbTilesLayer::HasTile(const TileKey& key) {
    if (key.z < MinZoom() || key.z > MaxZoom()) {
        return false;
    }
    // The menus ask for every scale after each move; the file does not change.
    const auto known = hasTile_.constFind(TileKeyHash(key));
    if (known != hasTile_.constEnd()) {
        return known.value();
    }
    if (hasTile_.size() > 4096) {
        hasTile_.clear();
    }
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(
        QStringLiteral("SELECT 1 FROM tiles WHERE zoom_level = ? AND tile_column = ? AND "
                       "tile_row = ? LIMIT 1"));
    BindTile(q, key);
    const bool has = q.exec() && q.next();
    hasTile_.insert(TileKeyHash(key), has);
    return has;
}

void MbTilesLayer::StartLoad(const TileKey& key) {
    RunInBackground([this, key] {
        // A connection belongs to the thread that opened it.
        const QString connection = NewConnectionName();
        QImage image;
        if (OpenMbTiles(connection, path_)) {
            QSqlQuery q(QSqlDatabase::database(connection, false));
            q.prepare(
                QStringLiteral("SELECT tile_data FROM tiles WHERE zoom_level = ? AND "
                               "tile_column = ? AND tile_row = ?"));
            BindTile(q, key);
            if (q.exec() && q.next()) {
                image.loadFromData(q.value(0).toByteArray());
            }
        }
        CloseMbTiles(connection);
        PostToUi([this, key, image] {
            if (image.isNull()) {
                Fail(key);
            } else {
                Deliver(key, image);
            }
        });
    });
}

}  // namespace tobrel
