#include "dataset.h"

namespace gpssim {

DataSet BuiltInDataSet() {
    DataSet d;
    d.waypoints = {
        {"HOME", "START OF THE WALK", 35.658581, 139.745433, 25.0f, 10},
        {"PIER", "FERRY PIER", 35.626450, 139.774060, 3.0f, 18},
        {"HILL", "LOOKOUT", 35.683060, 139.693920, 1.0e25f, 0},
    };
    d.routes = {{1, "BAY WALK", {d.waypoints[0], d.waypoints[1], d.waypoints[2]}}};

    // 2002-05-12 09:00:00 UTC in receiver seconds.
    const std::uint32_t start = 1021194000u - 631065600u;
    SimTrack log{"ACTIVE LOG", {}};
    for (int i = 0; i < 8; ++i) {
        SimTrackPoint p;
        p.latitude = 35.6586 - 0.0012 * i;
        p.longitude = 139.7454 + 0.0011 * i;
        p.time = start + 30u * static_cast<std::uint32_t>(i);
        p.altitude = 20.0f - static_cast<float>(i);
        p.newSegment = i == 0 || i == 5;
        log.points.push_back(p);
    }
    SimTrack saved{"FERRY", {}};
    for (int i = 0; i < 4; ++i) {
        SimTrackPoint p;
        p.latitude = 35.6264 - 0.002 * i;
        p.longitude = 139.7740 + 0.003 * i;
        p.time = start + 3600u + 60u * static_cast<std::uint32_t>(i);
        p.altitude = 2.0f;
        p.newSegment = i == 0;
        saved.points.push_back(p);
    }
    d.tracks = {log, saved};
    return d;
}

}  // namespace gpssim
