#include "sample_store.h"

namespace tobrel::testing {

void FillSampleStore(TobrelFile& store) {
    store.SetTimeZoneBias(-32400);
    store.AddTracks(2);
    store.SetTrackName(0, "T1");
    store.SetTrackPointCount(0, 3);
    store.SetTrackPoint(0, 0, 1, 35.5, 139.25, 10.0);
    store.SetTrackPoint(0, 1, 1, 35.6, 139.3, 12.5);
    store.SetTrackPoint(0, 2, 1, 35.65, 139.45, 8.0);
    for (int i = 0; i < 3; ++i)
        store.SetTrackPointTime(0, i, 1000000000u + 60u * i);
    store.RecalcTrack(0, 0.0);

    store.SetTrackName(1, "\x93\x8c\x8b\x9e-\x95\x5c");  // Tokyo, then a trail byte 0x5C
    store.SetTrackPointCount(1, 4);
    store.SetTrackSegmentCount(1, 2);
    store.SetTrackPoint(1, 0, 1, -33.9, 151.2, 3.0);
    store.SetTrackPoint(1, 1, 1, -33.8, 151.3, 4.0);
    store.SetTrackPoint(1, 2, 2, -33.7, 151.1, 5.0);
    store.SetTrackPoint(1, 3, 2, -33.6, 151.0, 6.0);
    store.RecalcTrack(1, 0.0);

    const int first = store.AddWaypoints(3);
    store.SetWaypoint(first, "ABC", "first", 35.5, 139.25, 21.0, 50.0f, 18, 0);
    store.SetWaypoint(first + 1, "\x83\x7c\x83\x43\x83\x93\x83\x67", "\x83\x52\x83\x81", 5.5,
                      -0.125, -3.5, 0.0f, 7, 3);
    store.SetWaypoint(first + 2, "LONGNAME-ABCDEFGHIJKLMN", "", -89.999999, 179.999999, 0, 0, 0, 1);

    store.AppendRoute();
    store.SetRouteName(0, "ROUTE A");
    store.InsertRouteWaypoint(0, 99999, "RW_0", "ROUTE A", 35.1, 139.1, 1.0, 0.0f, 18, 3);
    store.InsertRouteWaypoint(0, 99999, "RW_1", "ROUTE A", 35.2, 139.2, 2.0, 0.0f, 18, 3);
    store.AppendRoute();
    store.SetRouteName(1, "EMPTY");
}

void FillLongTrack(TobrelFile& store, int pointCount) {
    const int t = store.GetTrackCount();
    store.AddTracks(1);
    store.SetTrackName(t, "LONG");
    store.SetTrackPointCount(t, pointCount);
    for (int i = 0; i < pointCount; ++i) {
        store.SetTrackPoint(t, i, 1, 35.0 + i * 1e-4, 139.0 + i * 2e-4, i % 500);
        store.SetTrackPointTime(t, i, static_cast<std::uint32_t>(i));
    }
    store.RecalcTrack(t, 0.0);
}

}  // namespace tobrel::testing
