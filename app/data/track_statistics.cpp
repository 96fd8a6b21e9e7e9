#include "data/track_statistics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tobrel {

namespace {

constexpr double kSphereRadius = 6378137.0;

// Counts climbs and drops with a hysteresis: a move is taken as a new
// direction once it leaves the last turn by the threshold.
class ClimbCounter {
  public:
    void Add(double a) {
        if (!started_) {
            started_ = true;
            low_ = high_ = a;
            return;
        }
        switch (direction_) {
            case 0:
                low_ = std::min(low_, a);
                high_ = std::max(high_, a);
                if (a - low_ >= kClimbThreshold) {
                    Turn(1, low_, a);
                } else if (high_ - a >= kClimbThreshold) {
                    Turn(-1, high_, a);
                }
                break;
            case 1:
                if (a > extreme_) {
                    extreme_ = a;
                } else if (extreme_ - a >= kClimbThreshold) {
                    ascent += extreme_ - turn_;
                    Turn(-1, extreme_, a);
                }
                break;
            default:
                if (a < extreme_) {
                    extreme_ = a;
                } else if (a - extreme_ >= kClimbThreshold) {
                    descent += turn_ - extreme_;
                    Turn(1, extreme_, a);
                }
                break;
        }
    }
    // Ends a segment: the leg under way counts in full.
    void Finish() {
        if (direction_ > 0) {
            ascent += extreme_ - turn_;
        } else if (direction_ < 0) {
            descent += turn_ - extreme_;
        }
        started_ = false;
        direction_ = 0;
    }

    double ascent = 0.0;
    double descent = 0.0;

  private:
    void Turn(int direction, double from, double to) {
        direction_ = direction;
        turn_ = from;
        extreme_ = to;
    }

    bool started_ = false;
    int direction_ = 0;
    double low_ = 0.0, high_ = 0.0;  // while no direction is known
    double turn_ = 0.0, extreme_ = 0.0;
};

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// Haversine with the cosines of both latitudes given (each point's is worked
// out once).
double Haversine(double lat1, double lon1, double cos1, double lat2, double lon2, double cos2) {
    const double s1 = std::sin((lat2 - lat1) * kRadiansPerDegree / 2.0);
    const double s2 = std::sin((lon2 - lon1) * kRadiansPerDegree / 2.0);
    const double h = s1 * s1 + cos1 * cos2 * s2 * s2;
    return 2.0 * kSphereRadius * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

void AnalyseAltitudes(const TrackData* p, std::size_t n, const std::vector<int>& run,
                      TrackAnalysis* a) {
    bool anyNonZero = false;
    std::size_t valid = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (HasAltitude(p[i].altitude)) {
            ++valid;
            anyNonZero = anyNonZero || p[i].altitude != 0.0f;
        }
    }
    if (valid == 0 || !anyNonZero) {
        return;
    }
    TrackStatistics& s = a->statistics;
    a->elevation.reserve(valid);
    ClimbCounter climb;
    int currentRun = run[0];
    for (std::size_t i = 0; i < n; ++i) {
        if (run[i] != currentRun) {
            climb.Finish();
            currentRun = run[i];
        }
        const double alt = p[i].altitude;
        if (!HasAltitude(alt)) {
            continue;
        }
        const int index = static_cast<int>(i);
        a->elevation.push_back({a->distanceAt[i], static_cast<float>(alt), index});
        climb.Add(alt);
        if (!s.highestMetres || alt > *s.highestMetres) {
            s.highestMetres = alt;
            s.highestPoint = index;
        }
        if (!s.lowestMetres || alt < *s.lowestMetres) {
            s.lowestMetres = alt;
            s.lowestPoint = index;
        }
    }
    climb.Finish();
    s.ascentMetres = climb.ascent;
    s.descentMetres = climb.descent;
}

// Windowed speed of each timed point of one segment (timed[b..e)).
void SpeedsOfRun(const TrackData* p, const std::vector<int>& timed, std::size_t b, std::size_t e,
                 TrackAnalysis* a) {
    const double half = kSpeedWindowSeconds / 2.0;
    auto time = [&](std::size_t k) { return static_cast<double>(p[timed[k]].time); };
    std::size_t lo = b;
    std::size_t hi = b;
    for (std::size_t k = b; k < e; ++k) {
        const double t = time(k);
        while (lo < k && time(lo + 1) <= t - half) {
            ++lo;
        }
        hi = std::max(hi, k);
        while (hi + 1 < e && time(hi) < t + half) {
            ++hi;
        }
        const double dt = time(hi) - time(lo);
        if (dt <= 0.0) {
            continue;
        }
        const double v = (a->distanceAt[timed[hi]] - a->distanceAt[timed[lo]]) / dt;
        a->speed.push_back({a->distanceAt[timed[k]], static_cast<float>(v), timed[k]});
        TrackStatistics& s = a->statistics;
        if (!s.maxSpeed || v > *s.maxSpeed) {
            s.maxSpeed = v;
            s.maxSpeedPoint = timed[k];
        }
    }
}

void AnalyseTimes(const TrackData* p, std::size_t n, const std::vector<int>& run,
                  TrackAnalysis* a) {
    std::vector<int> timed;
    for (std::size_t i = 0; i < n; ++i) {
        if (HasTime(p[i])) {
            timed.push_back(static_cast<int>(i));
        }
    }
    if (timed.size() < 2) {
        return;
    }
    TrackStatistics& s = a->statistics;
    const std::int64_t first = p[timed.front()].time;
    const std::int64_t last = p[timed.back()].time;
    s.startTime = first + kUnixTimeOffset;
    s.endTime = last + kUnixTimeOffset;
    s.elapsedSeconds = static_cast<double>(std::max<std::int64_t>(0, last - first));

    double moving = 0.0, movingDistance = 0.0, timedDistance = 0.0;
    for (std::size_t k = 1; k < timed.size(); ++k) {
        const int i = timed[k - 1];
        const int j = timed[k];
        if (run[i] != run[j]) {
            continue;
        }
        const double dt = static_cast<double>(p[j].time) - static_cast<double>(p[i].time);
        if (dt <= 0.0) {
            continue;
        }
        const double d = a->distanceAt[j] - a->distanceAt[i];
        timedDistance += d;
        if (d / dt >= kMovingSpeed) {
            moving += dt;
            movingDistance += d;
        }
    }
    s.movingSeconds = moving;
    if (moving > 0.0) {
        s.movingAverageSpeed = movingDistance / moving;
    }
    if (*s.elapsedSeconds > 0.0) {
        s.overallAverageSpeed = timedDistance / *s.elapsedSeconds;
    }

    a->speed.reserve(timed.size());
    std::size_t b = 0;
    for (std::size_t k = 1; k <= timed.size(); ++k) {
        if (k == timed.size() || run[timed[k]] != run[timed[b]]) {
            SpeedsOfRun(p, timed, b, k, a);
            b = k;
        }
    }
}

}  // namespace

bool HasAltitude(double altitude) {
    return std::isfinite(altitude) && altitude > -9000.0 && altitude <= 99999.0;
}

double SphereDistance(double lat1, double lon1, double lat2, double lon2) {
    return Haversine(lat1, lon1, std::cos(lat1 * kRadiansPerDegree), lat2, lon2,
                     std::cos(lat2 * kRadiansPerDegree));
}

TrackAnalysis AnalyseTrack(const TrackData* p, std::size_t n) {
    TrackAnalysis a;
    a.statistics.points = static_cast<int>(n);
    if (n == 0) {
        return a;
    }
    // Distance along the track and the segment run of every point.
    a.distanceAt.resize(n);
    std::vector<int> run(n);
    double d = 0.0;
    int runs = 1;
    double cosBefore = std::cos(p[0].latitude * kRadiansPerDegree);
    for (std::size_t i = 1; i < n; ++i) {
        const double cosHere = std::cos(p[i].latitude * kRadiansPerDegree);
        if (p[i].segment != p[i - 1].segment) {
            ++runs;
        } else {
            const double step = Haversine(p[i - 1].latitude, p[i - 1].longitude, cosBefore,
                                          p[i].latitude, p[i].longitude, cosHere);
            d += std::isfinite(step) ? step : 0.0;  // a broken position adds nothing
        }
        cosBefore = cosHere;
        a.distanceAt[i] = d;
        run[i] = runs - 1;
    }
    a.statistics.segments = runs;
    a.statistics.lengthMetres = d;
    AnalyseAltitudes(p, n, run, &a);
    AnalyseTimes(p, n, run, &a);
    return a;
}

std::vector<ProfilePoint> DecimateProfile(const std::vector<ProfilePoint>& series,
                                          std::size_t maxPoints) {
    maxPoints = std::max<std::size_t>(maxPoints, 4);
    const std::size_t n = series.size();
    if (n <= maxPoints) {
        return series;
    }
    const std::size_t buckets = (maxPoints - 2) / 2;
    const double d0 = series.front().distance;
    const double span = series.back().distance - d0;
    // Without any distance to cut by (all points on one spot), cut by count.
    auto bucketOf = [&](std::size_t i) {
        const double f = span > 0.0 ? (series[i].distance - d0) / span
                                    : static_cast<double>(i) / static_cast<double>(n);
        return std::min(buckets - 1, static_cast<std::size_t>(std::max(0.0, f) * buckets));
    };
    std::vector<ProfilePoint> out;
    out.reserve(maxPoints);
    out.push_back(series.front());
    std::size_t lo = 1, hi = 1, current = bucketOf(1);
    auto flush = [&] {
        const std::size_t a = std::min(lo, hi);
        const std::size_t b = std::max(lo, hi);
        out.push_back(series[a]);
        if (b != a) {
            out.push_back(series[b]);
        }
    };
    for (std::size_t i = 2; i + 1 < n; ++i) {
        const std::size_t bucket = bucketOf(i);
        if (bucket != current) {
            flush();
            current = bucket;
            lo = hi = i;
            continue;
        }
        if (series[i].value < series[lo].value) {
            lo = i;
        }
        if (series[i].value > series[hi].value) {
            hi = i;
        }
    }
    flush();
    out.push_back(series.back());
    return out;
}

const ProfilePoint* NearestProfilePoint(const std::vector<ProfilePoint>& series, double distance) {
    if (series.empty()) {
        return nullptr;
    }
    const auto it =
        std::lower_bound(series.begin(), series.end(), distance,
                         [](const ProfilePoint& p, double d) { return p.distance < d; });
    if (it == series.end()) {
        return &series.back();
    }
    if (it == series.begin()) {
        return &*it;
    }
    const auto before = it - 1;
    return (distance - before->distance <= it->distance - distance) ? &*before : &*it;
}

}  // namespace tobrel
