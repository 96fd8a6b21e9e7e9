#pragma once
// A made-up long track for measurements and pictures: it wanders along the
// old road from Tokyo to Osaka with a little jitter, like a real log.

#include <cmath>
#include <random>
#include <vector>

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

}  // namespace tobrel::bench
