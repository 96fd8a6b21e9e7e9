#pragma once
// Small stores shared by the data tests and the fuzz seed writer.

#include "data/tobrel_file.h"

namespace tobrel::testing {

// Two tracks (the second with two segments), three waypoints, two routes, and
// names with double-byte characters.
void FillSampleStore(TobrelFile& store);

// One track of pointCount points along a line, for size and split tests.
void FillLongTrack(TobrelFile& store, int pointCount);

}  // namespace tobrel::testing
