#pragma once
// The control's automation interface, written down once. Everything that
// knows the members (invoke by DISPID, name lookup, the type-library text, the
// typed host wrapper TSorvane and the control's own declarations) expands
// these lists, so nothing can drift from them.
//
// Types: svI2 short, svI4 long, svR8 double, svBstr string, svBool automation
// boolean, svVoid no result; svPI2, svPI4, svPR8 outputs the method writes
// (short*, long*, double*); svPBstr a string passed by reference that is
// never written (BSTR*).

// P(dispid, name, type, default)
#define SORVANE_DISPATCH_PROPERTIES(P) \
    P(1, BaudRate, svI4, 9600)         \
    P(2, CommPort, svI2, 1)            \
    P(3, Parity, svI2, 0)              \
    P(4, DataLength, svI2, 8)          \
    P(5, StopBit, svI2, 0)

// M(dispid, name, result, (type, parameter)...)
#define SORVANE_DISPATCH_METHODS(M)                                                                \
    M(6, DownloadTrack, svI4)                                                                      \
    M(7, GetVersion, svI4)                                                                         \
    M(8, GetTrackCount, svI4)                                                                      \
    M(9, DownloadWaypoint, svI4)                                                                   \
    M(10, GetWaypointCount, svI4)                                                                  \
    M(11, GetWaypointID, svBstr, (svI4, no))                                                       \
    M(12, GetWaypointComment, svBstr, (svI4, no))                                                  \
    M(13, GetWaypointLatitude, svR8, (svI4, no))                                                   \
    M(14, GetWaypointLongitude, svR8, (svI4, no))                                                  \
    M(15, DownloadRoute, svI4)                                                                     \
    M(16, GetRouteCount, svI4)                                                                     \
    M(17, GetRouteWaypointCount, svI4, (svI4, no))                                                 \
    M(18, ReadProductID, svBstr, (svPI4, id), (svPI4, ver))                                        \
    M(19, GetTrackName, svBstr, (svI4, tno))                                                       \
    M(20, UploadTrack, svBool)                                                                     \
    M(21, GetTrackSegmentCount, svI4, (svI4, tno))                                                 \
    M(22, GetTrackPosition, svBool, (svI4, tno), (svI4, sno), (svI4, dno), (svPR8, lat),           \
      (svPR8, lon), (svPR8, alt))                                                                  \
    M(23, UploadWaypoint, svBool)                                                                  \
    M(24, UploadRoute, svBool)                                                                     \
    M(25, AddTrackSegment, svBool, (svI4, tno))                                                    \
    M(26, AddTrackData, svBool, (svI4, tno), (svI4, sno), (svR8, lat), (svR8, lon), (svR8, alt),   \
      (svI4, t))                                                                                   \
    M(27, DeleteTrackAll, svVoid)                                                                  \
    M(28, DeleteWaypointAll, svVoid)                                                               \
    M(29, DeleteRouteAll, svVoid)                                                                  \
    M(30, AddTrack, svBool, (svPBstr, name))                                                       \
    M(31, AddRoute, svBool, (svPBstr, name))                                                       \
    M(32, AddWaypoint, svBool, (svPBstr, name), (svPBstr, comment), (svR8, lat), (svR8, lon),      \
      (svR8, alt), (svI2, smbl), (svI2, dspl), (svR8, dst))                                        \
    M(33, AddRouteWaypoint, svBool, (svI4, rno), (svPBstr, name), (svPBstr, comment), (svR8, lat), \
      (svR8, lon), (svR8, alt), (svI2, smbl), (svI2, dspl), (svR8, dst))                           \
    M(34, GetDatumCount, svI4)                                                                     \
    M(35, SelectDatum, svVoid, (svI4, no))                                                         \
    M(36, GetDatumName, svBstr)                                                                    \
    M(37, StartNMEAReceiving, svBool)                                                              \
    M(38, StopNMEAReceiving, svVoid)                                                               \
    M(39, GetNumSatellite, svI4)                                                                   \
    M(40, GetSatelliteData, svBool, (svI2, n), (svPI2, PRNnumber), (svPI2, ElevationAngle),        \
      (svPI2, AzimuthAngle), (svPI2, SignalStrength))                                              \
    M(41, UploadSingleRoute, svBool, (svI2, rno))                                                  \
    M(42, SetProductID, svBool, (svI4, id))                                                        \
    M(43, TransformDatumWGS84IntoLocal, svBool, (svR8, inLat), (svR8, inLon), (svR8, inAlt),       \
      (svPR8, outLat), (svPR8, outLon), (svPR8, outAlt))                                           \
    M(44, TransformDatumLocalIntoWGS84, svBool, (svR8, inLat), (svR8, inLon), (svR8, inAlt),       \
      (svPR8, outLat), (svPR8, outLon), (svPR8, outAlt))                                           \
    M(45, GetTrackDataCount, svI4, (svI4, tno))                                                    \
    M(46, GetTrackSegmentDataCount, svI4, (svI4, tno), (svI4, sno))                                \
    M(47, GetRouteName, svBstr, (svI4, rno))                                                       \
    M(48, GetWaypointAltitude, svR8, (svI4, no))                                                   \
    M(49, GetRouteWaypointLatitude, svR8, (svI4, rno), (svI4, wno))                                \
    M(50, GetRouteWaypointLongitude, svR8, (svI4, rno), (svI4, wno))                               \
    M(51, GetRouteWaypointAltitude, svR8, (svI4, rno), (svI4, wno))                                \
    M(52, GetRouteWaypointID, svBstr, (svI4, rno), (svI4, wno))                                    \
    M(53, GetRouteWaypointComment, svBstr, (svI4, rno), (svI4, wno))                               \
    M(54, GetWaypointDst, svR8, (svI4, no))                                                        \
    M(55, GetWaypointSmbl, svI2, (svI4, no))                                                       \
    M(56, GetWaypointDspl, svI2, (svI4, no))                                                       \
    M(57, GetRouteWaypointDst, svR8, (svI4, rno), (svI4, wno))                                     \
    M(58, GetRouteWaypointSmbl, svI2, (svI4, rno), (svI4, wno))                                    \
    M(59, GetRouteWaypointDspl, svI2, (svI4, rno), (svI4, wno))                                    \
    M(60, AbortTransfer, svVoid)                                                                   \
    M(61, CalcDistance, svR8, (svR8, lat1), (svR8, lon1), (svR8, lat2), (svR8, lon2))              \
    M(62, GetEntryDatumName, svBstr, (svI4, no))                                                   \
    M(63, GetEntryDatumName2, svBstr, (svI4, no))                                                  \
    M(64, GetSelectedDatumNumber, svI4)                                                            \
    M(65, GetMapDatumDeltaA, svR8)                                                                 \
    M(66, GetMapDatumDeltaF, svR8)                                                                 \
    M(67, GetMapDatumDeltaX, svR8)                                                                 \
    M(68, GetMapDatumDeltaY, svR8)                                                                 \
    M(69, GetMapDatumDeltaZ, svR8)                                                                 \
    M(70, GetTrackUnixTime, svI4, (svI4, tno), (svI4, sno), (svI4, dno))                           \
    M(71, GetWaypointSymbolCount, svI4)                                                            \
    M(72, GetWaypointSymbolName, svBstr, (svI4, no))                                               \
    M(73, toWaypointSymbolName, svBstr, (svI4, no))                                                \
    M(74, toWaypointSymbolNo, svI4, (svPBstr, name))                                               \
    M(75, SelectDatumByName, svI4, (svPBstr, MapDatumName))                                        \
    M(76, GetErrorCode, svI4)

// E(dispid, name, (type, parameter)...)
#define SORVANE_DISPATCH_EVENTS(E)                                                      \
    E(1, Receiving, (svI4, nReceived), (svI4, nTotal))                                  \
    E(2, NMEAReceived, (svI2, valid), (svR8, lat), (svR8, lon), (svR8, alt), (svI4, t), \
      (svR8, vel), (svI2, dir))
