#include "map/tile_layer.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <optional>

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
#include <QUrl>
#include <QVariant>

namespace tobrel {

namespace {

constexpr int kMemoryCacheKiB = 48 * 1024;
constexpr qint64 kFirstRetryMs = 5 * 1000;
constexpr qint64 kLastRetryMs = 10 * 60 * 1000;
constexpr qint64 kMissingRetryMs = 60 * 60 * 1000;
constexpr qint64 kFirstPauseMs = 2 * 1000;
constexpr qint64 kLastPauseMs = 5 * 60 * 1000;

int ImageCostKiB(const QImage& image) {
    return std::max(1, static_cast<int>(image.sizeInBytes() / 1024));
}

QString NewConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tobrel-mbtiles-%1").arg(counter.fetch_add(1));
}

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// "Sun, 06 Nov 1994 08:49:37 GMT"; the two obsolete HTTP date forms are
// rare enough for tile servers to be taken as no date.
std::optional<qint64> HttpDate(const QByteArray& value) {
    QString text = QString::fromLatin1(value.trimmed());
    if (text.endsWith(QLatin1String(" GMT"))) {
        text.chop(4);
        text += QLatin1String(" +0000");
    }
    const QDateTime t = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!t.isValid()) {
        return std::nullopt;
    }
    return t.toSecsSinceEpoch();
}

// The value of "name=value" or a bare "name" among Cache-Control directives.
std::optional<QByteArray> Directive(const QByteArray& cacheControl, const QByteArray& name) {
    for (const QByteArray& part : cacheControl.split(',')) {
        const QByteArray item = part.trimmed();
        const int eq = item.indexOf('=');
        const QByteArray key = (eq < 0 ? item : item.left(eq)).trimmed().toLower();
        if (key == name) {
            return eq < 0 ? QByteArray() : item.mid(eq + 1).trimmed();
        }
    }
    return std::nullopt;
}

}  // namespace

TileCachePolicy CachePolicyOf(const QByteArray& cacheControl, const QByteArray& expires,
                              const QByteArray& date, const QByteArray& age) {
    TileCachePolicy policy;
    if (Directive(cacheControl, "no-store")) {
        policy.store = false;
        return policy;
    }
    bool ok = false;
    const qint64 ageSeconds = std::max<qint64>(0, age.trimmed().toLongLong(&ok));
    const qint64 used = ok ? ageSeconds : 0;
    if (Directive(cacheControl, "no-cache")) {
        policy.lifetimeSeconds = 0;
        return policy;
    }
    if (const auto maxAge = Directive(cacheControl, "max-age")) {
        const qint64 seconds = maxAge->toLongLong(&ok);
        policy.lifetimeSeconds = ok ? std::max<qint64>(0, seconds - used) : 0;
        return policy;
    }
    if (!expires.trimmed().isEmpty()) {
        // An Expires that is no date (often "0" or "-1") means already expired.
        const auto until = HttpDate(expires);
        const auto sent = HttpDate(date);
        const qint64 base = sent ? *sent : QDateTime::currentSecsSinceEpoch();
        policy.lifetimeSeconds = until ? std::max<qint64>(0, *until - base - used) : 0;
        return policy;
    }
    policy.lifetimeSeconds = kDefaultTileLifetime;
    return policy;
}

QByteArray EncodeTileMeta(const TileCacheMeta& meta) {
    auto line = [](QByteArray v) {
        v.replace('\r', ' ').replace('\n', ' ');
        return v;
    };
    return "expires=" + QByteArray::number(meta.expiresAt) + "\netag=" + line(meta.etag) +
           "\nlast-modified=" + line(meta.lastModified) + "\n";
}

TileCacheMeta DecodeTileMeta(const QByteArray& bytes) {
    TileCacheMeta meta;
    for (const QByteArray& line : bytes.left(4096).split('\n')) {
        const int eq = line.indexOf('=');
        if (eq < 0) {
            continue;
        }
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "expires") {
            meta.expiresAt = value.toLongLong();
        } else if (key == "etag") {
            meta.etag = value;
        } else if (key == "last-modified") {
            meta.lastModified = value;
        }
    }
    return meta;
}

TileLayer::TileLayer(QString code, QString title, int minZoom, int maxZoom)
    : code_(std::move(code)), title_(std::move(title)), minZoom_(minZoom), maxZoom_(maxZoom) {
    memory_.setMaxCost(kMemoryCacheKiB);
    pool_.setMaxThreadCount(2);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        if (frameFailures_) {
            emit StateChanged();  // the repaint asks for the tiles again
        }
        ScheduleRetry();
    });
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
        Touched(key);
        return image;
    }
    if (loading_.contains(hash)) {
        return nullptr;
    }
    const auto failed = failures_.constFind(hash);
    if (failed != failures_.constEnd() && NowMs() < failed->retryAt) {
        // A tile the source does not have is no trouble worth showing.
        frameFailures_ = frameFailures_ || !failed->missing;
        return nullptr;
    }
    loading_.insert(hash);
    StartLoad(key);
    return nullptr;
}

void TileLayer::Deliver(const TileKey& key, const QImage& image) {
    const std::uint64_t hash = TileKeyHash(key);
    loading_.remove(hash);
    failures_.remove(hash);
    memory_.insert(hash, new QImage(image), ImageCostKiB(image));
    emit TileArrived();
}

void TileLayer::Fail(const TileKey& key, bool missing) {
    const std::uint64_t hash = TileKeyHash(key);
    loading_.remove(hash);
    Failure& f = failures_[hash];
    f.attempts = std::min(f.attempts + 1, 30);
    f.missing = missing;
    const qint64 delay =
        missing ? kMissingRetryMs
                : std::min(kLastRetryMs, kFirstRetryMs << std::min(f.attempts - 1, 12));
    f.retryAt = NowMs() + delay;
    ScheduleRetry();
    emit StateChanged();
}

void TileLayer::ScheduleRetry() {
    const qint64 now = NowMs();
    qint64 next = std::numeric_limits<qint64>::max();
    for (auto it = failures_.begin(); it != failures_.end();) {
        if (it->retryAt > now) {
            next = std::min(next, it->retryAt);
        } else if (now - it->retryAt > kMissingRetryMs) {
            // Long past and not asked for since: a new failure starts afresh.
            it = failures_.erase(it);
            continue;
        }
        ++it;
    }
    if (next == std::numeric_limits<qint64>::max()) {
        retryTimer_.stop();
        return;
    }
    retryTimer_.start(static_cast<int>(std::min<qint64>(next - now + 10, kMissingRetryMs)));
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
      network_(std::make_unique<QNetworkAccessManager>()) {
    SetAttribution(config.attribution, config.attributionUrl);
    // Each subdomain is a server of its own.
    maxInFlight_ = kMaxPerServer * std::clamp(static_cast<int>(config.subdomains.size()), 1, 3);
}

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
    TileLayer::BeginFrame();
    for (const Job& job : queued_) {
        jobs_.remove(TileKeyHash(job.key));
        if (!job.revalidate) {
            Forget(job.key);
        }
    }
    queued_.clear();
}

void XyzTileLayer::StartLoad(const TileKey& key) {
    if (cacheDir_.isEmpty()) {
        Enqueue(key, false, {});
        return;
    }
    const QString path = TileCachePath(cacheDir_, config_.name, key);
    RunInBackground([this, key, path] {
        QImage image;
        TileCacheMeta meta;
        if (QFileInfo::exists(path) && image.load(path)) {
            QFile file(TileMetaPath(path));
            if (file.open(QIODevice::ReadOnly)) {
                meta = DecodeTileMeta(file.read(4096));
            }
        }
        PostToUi([this, key, image, meta] {
            if (image.isNull()) {
                Enqueue(key, false, {});
                return;
            }
            // A stale tile still shows (and stays when we are offline) until
            // the server confirms or replaces it.
            Deliver(key, image);
            if (meta.expiresAt <= QDateTime::currentSecsSinceEpoch()) {
                stale_.insert(TileKeyHash(key), {meta, 0});
                Enqueue(key, true, meta);
            }
        });
    });
}

void XyzTileLayer::Touched(const TileKey& key) {
    const std::uint64_t hash = TileKeyHash(key);
    const auto it = stale_.constFind(hash);
    if (it != stale_.constEnd() && !jobs_.contains(hash) && NowMs() >= it->retryAt) {
        Enqueue(key, true, it->meta);
    }
}

void XyzTileLayer::Enqueue(const TileKey& key, bool revalidate, const TileCacheMeta& meta) {
    const std::uint64_t hash = TileKeyHash(key);
    if (IsPaused()) {
        // The server failed us a moment ago: nothing is sent until the pause ends.
        if (revalidate) {
            stale_[hash].retryAt = pausedUntil_;
        } else {
            Fail(key);
        }
        return;
    }
    Job job;
    job.key = key;
    job.url = ExpandTileUrl(config_.urlTemplate, key, config_.subdomains);
    job.host = QUrl(job.url).host();
    job.revalidate = revalidate;
    job.meta = meta;
    jobs_.insert(hash);
    queued_.push_back(std::move(job));
    PumpQueue();
}

bool XyzTileLayer::IsPaused() const {
    return NowMs() < pausedUntil_;
}

void XyzTileLayer::Pause(qint64 atLeastMs) {
    const qint64 delay =
        std::max(atLeastMs, std::min(kLastPauseMs, kFirstPauseMs << std::min(pauseLevel_, 12)));
    pauseLevel_ = std::min(pauseLevel_ + 1, 12);
    pausedUntil_ = NowMs() + delay;
    // What waits is not sent either; the tiles come back through their own retries.
    std::deque<Job> waiting;
    waiting.swap(queued_);
    for (const Job& job : waiting) {
        const std::uint64_t hash = TileKeyHash(job.key);
        jobs_.remove(hash);
        if (job.revalidate) {
            stale_[hash].retryAt = pausedUntil_;
        } else {
            Fail(job.key);
        }
    }
}

void XyzTileLayer::PumpQueue() {
    if (IsPaused()) {
        return;
    }
    for (auto it = queued_.begin(); it != queued_.end() && inFlight_ < maxInFlight_;) {
        if (hostInFlight_.value(it->host) >= kMaxPerServer) {
            ++it;
            continue;
        }
        const Job job = *it;
        it = queued_.erase(it);
        QNetworkRequest request{QUrl(job.url)};
        request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kUserAgent));
        request.setTransferTimeout(15000);
        if (job.revalidate) {
            if (!job.meta.etag.isEmpty()) {
                request.setRawHeader("If-None-Match", job.meta.etag);
            }
            if (!job.meta.lastModified.isEmpty()) {
                request.setRawHeader("If-Modified-Since", job.meta.lastModified);
            }
        }
        QNetworkReply* reply = network_->get(request);
        ++inFlight_;
        ++hostInFlight_[job.host];
        connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
            if (received > kMaxTileBytes) {
                reply->abort();
            }
        });
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, job] { Finished(reply, job); });
    }
}

void XyzTileLayer::Finished(QNetworkReply* reply, const Job& job) {
    --inFlight_;
    if (--hostInFlight_[job.host] <= 0) {
        hostInFlight_.remove(job.host);
    }
    const std::uint64_t hash = TileKeyHash(job.key);
    jobs_.remove(hash);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const TileCachePolicy policy =
        CachePolicyOf(reply->rawHeader("Cache-Control"), reply->rawHeader("Expires"),
                      reply->rawHeader("Date"), reply->rawHeader("Age"));
    TileCacheMeta meta;
    meta.expiresAt = QDateTime::currentSecsSinceEpoch() + policy.lifetimeSeconds;
    meta.etag = reply->rawHeader("ETag");
    meta.lastModified = reply->rawHeader("Last-Modified");

    if (status == 304 && job.revalidate) {
        // Still good: the copy stays, with its new lifetime.
        pauseLevel_ = 0;
        stale_.remove(hash);
        if (meta.etag.isEmpty()) {
            meta.etag = job.meta.etag;
        }
        if (meta.lastModified.isEmpty()) {
            meta.lastModified = job.meta.lastModified;
        }
        StoreInBackground(job.key, {}, meta, policy.store);
        PumpQueue();
        return;
    }
    QByteArray bytes;
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        bytes = reply->read(kMaxTileBytes + 1);
    }
    if (!bytes.isEmpty() && bytes.size() <= kMaxTileBytes) {
        pauseLevel_ = 0;
        stale_.remove(hash);
        StoreInBackground(job.key, bytes, meta, policy.store);
        PumpQueue();
        return;
    }
    // A server that is unreachable, overloaded or asks us to slow down gets
    // a rest from every request; a tile it does not have is asked for again
    // much later.
    const bool missing = status == 404 || status == 410;
    if (status == 0 || status == 429 || status >= 500) {
        bool ok = false;
        const qint64 retryAfter = reply->rawHeader("Retry-After").trimmed().toLongLong(&ok);
        Pause(ok ? std::clamp<qint64>(retryAfter, 0, 3600) * 1000 : 0);
    }
    if (job.revalidate) {
        const qint64 wait =
            missing ? kMissingRetryMs : std::max(kFirstRetryMs, pausedUntil_ - NowMs());
        stale_[hash].retryAt = NowMs() + wait;
    } else {
        Fail(job.key, missing);
    }
    PumpQueue();
}

void XyzTileLayer::StoreInBackground(const TileKey& key, const QByteArray& bytes,
                                     const TileCacheMeta& meta, bool keepOnDisk) {
    const QString path =
        cacheDir_.isEmpty() ? QString() : TileCachePath(cacheDir_, config_.name, key);
    RunInBackground([this, key, bytes, meta, keepOnDisk, path] {
        QImage image;
        const bool fresh = !bytes.isEmpty();
        if (fresh) {
            image.loadFromData(bytes);
        }
        if (!path.isEmpty()) {
            if (!keepOnDisk) {
                QFile::remove(path);
                QFile::remove(TileMetaPath(path));
            } else if (!fresh || !image.isNull()) {
                // Only what decodes goes into the cache; written whole or not at all.
                QDir().mkpath(QFileInfo(path).absolutePath());
                if (fresh) {
                    QSaveFile file(path);
                    if (file.open(QIODevice::WriteOnly)) {
                        file.write(bytes);
                        file.commit();
                    }
                }
                QSaveFile file(TileMetaPath(path));
                if (file.open(QIODevice::WriteOnly)) {
                    file.write(EncodeTileMeta(meta));
                    file.commit();
                }
            }
        }
        if (!fresh) {
            return;
        }
        PostToUi([this, key, image] {
            if (image.isNull()) {
                Fail(key);
            } else {
                Deliver(key, image);
            }
        });
    });
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
                Fail(key, true);  // a file covers only what it covers
            } else {
                Deliver(key, image);
            }
        });
    });
}

}  // namespace tobrel
