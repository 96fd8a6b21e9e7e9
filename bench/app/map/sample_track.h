#pragma once
// A made-up long track for measurements and pictures: it wanders along the
// old road from Tokyo to Osaka with a little jitter, like a real log.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "data/tobrel_file.h"

namespace tobrel::bench {

struct SamplePoint {
    double latitude;
    double longitude;
};

inline std::vector<SamplePoint> TokaidoTrack(int points, unsigned seed = 7) {
    // Tokyo, Yokohama, Odawara, Shizuoka, Hamamatsu, Nagoya, Kyoto, Osaka
    const SamplePoint stops[] = {{35.681, 139.767}, {35.466, 139.622}, {35.256, 139.155},
                                 {34.975, 138.383}, {34.704, 137.735}, {35.171, 136.882},
                                 {35.011, 135.768}, {34.702, 135.496}};
    const int legs = static_cast<int>(std::size(stops)) - 1;
    std::mt19937 random(seed);
    std::normal_distribution<double> jitter(0.0, 0.00004);
    std::vector<SamplePoint> track;
    track.reserve(static_cast<std::size_t>(points));
    double wobble = 0.0;
    for (int i = 0; i < points; ++i) {
        const double t = static_cast<double>(i) / (points - 1) * legs;
        const int leg = std::min(static_cast<int>(t), legs - 1);
        const double f = t - leg;
        const SamplePoint& a = stops[leg];
        const SamplePoint& b = stops[leg + 1];
        wobble = 0.995 * wobble + jitter(random);
        track.push_back(
            {a.latitude + f * (b.latitude - a.latitude) + wobble + 0.01 * std::sin(t * 17.0),
             a.longitude + f * (b.longitude - a.longitude) + jitter(random)});
    }
    return track;
}

// The same road as a walk in the store: over the Hakone pass (about 850 m)
// and a few hills, a fix every 20 s at walking pace with a night's rest every
// 1500 fixes, and slowly wandering GPS noise on the altitude.
inline void AddSampleHike(TobrelFile& store, int points, const char* name = "TOKAIDO") {
    const auto road = TokaidoTrack(points);
    const int t = store.GetTrackCount();
    store.AddTracks(1);
    store.SetTrackName(t, name);
    store.SetTrackPointCount(t, points);
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0.0, 1.0);
    double error = 0.0;
    std::uint32_t time = 1000000000u;
    for (int i = 0; i < points; ++i) {
        const double f = static_cast<double>(i) / (points - 1) * 7.0;  // legs of the road
        const double pass = 850.0 * std::exp(-std::pow((f - 2.35) / 0.12, 2.0));
        const double hills =
            60.0 * (1.0 + std::sin(f * 9.0)) + 200.0 * std::exp(-std::pow((f - 5.3) / 0.3, 2.0));
        store.SetTrackPoint(t, i, 1, road[static_cast<std::size_t>(i)].latitude,
                            road[static_cast<std::size_t>(i)].longitude,
                            5.0 + pass + hills + error);
        error = 0.95 * error + noise(random);
        time += (i % 1500 == 1499) ? 36000u : 20u;
        store.SetTrackPointTime(t, i, time);
    }
    store.RecalcTrack(t, 0.0);
}

}  // namespace tobrel::bench
