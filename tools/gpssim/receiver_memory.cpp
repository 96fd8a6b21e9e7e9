#include "receiver_memory.h"

namespace gpssim {

std::vector<int> Upload::Ids() const {
    std::vector<int> ids;
    for (const UploadedPacket& p : packets)
        ids.push_back(p.id);
    return ids;
}

ReceiverMemory::ReceiverMemory(Profile profile, DataSet data, StreamFaults faults)
    : profile_(std::move(profile)), data_(std::move(data)), faults_(faults) {}

void ReceiverMemory::Install(ReceiverEngine& engine) {
    engine.SetCommandHandler(kCommandTracks, [this](ReceiverEngine& e, std::uint16_t) {
        for (Packet& p : TrackStream())
            e.Queue(std::move(p));
    });
    engine.SetCommandHandler(kCommandWaypoints, [this](ReceiverEngine& e, std::uint16_t) {
        for (Packet& p : WaypointStream())
            e.Queue(std::move(p));
    });
    engine.SetCommandHandler(kCommandRoutes, [this](ReceiverEngine& e, std::uint16_t) {
        for (Packet& p : RouteStream())
            e.Queue(std::move(p));
    });
    engine.SetPacketHandler(kPidRecords,
                            [this](ReceiverEngine&, const Packet& p) { OnRecords(p); });
    for (std::uint8_t id : {kPidRouteHeader, kPidRouteWaypoint, kPidTrackPoint, kPidWaypoint,
                            kPidRouteLink, kPidTrackHeader}) {
        engine.SetPacketHandler(id, [this](ReceiverEngine&, const Packet& p) { OnRecord(p); });
    }
    engine.SetPacketHandler(kPidTransferComplete,
                            [this](ReceiverEngine&, const Packet& p) { OnComplete(p); });
}

std::vector<Packet> ReceiverMemory::Frame(std::vector<Packet> records,
                                          std::uint16_t command) const {
    int count = static_cast<int>(records.size()) - faults_.extraPackets;
    if (count < 0)
        count = 0;
    if (faults_.announce)
        count = *faults_.announce;
    const auto c = static_cast<std::uint16_t>(count);
    std::vector<Packet> out;
    out.reserve(records.size() + 2);
    out.push_back({kPidRecords, {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)}});
    for (Packet& p : records)
        out.push_back(std::move(p));
    if (!faults_.noComplete) {
        out.push_back(
            {kPidTransferComplete,
             {static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(command >> 8)}});
    }
    return out;
}

std::vector<Packet> ReceiverMemory::TrackStream(std::uint16_t command) const {
    const bool newer = IsNewerFamily(profile_);
    std::vector<Packet> records;
    // Older receivers keep a single track log: the tracks follow one another
    // in it, each beginning a segment.
    for (const SimTrack& t : data_.tracks) {
        if (newer)
            records.push_back({kPidTrackHeader, EncodeTrackHeader(t)});
        for (std::size_t i = 0; i < t.points.size(); ++i) {
            const SimTrackPoint& p = t.points[i];
            records.push_back({kPidTrackPoint, EncodeTrackPoint(newer, p, i == 0 || p.newSegment)});
        }
    }
    return Frame(std::move(records), command);
}

std::vector<Packet> ReceiverMemory::WaypointStream() const {
    std::vector<Packet> records;
    for (const SimWaypoint& w : data_.waypoints)
        records.push_back({kPidWaypoint, EncodeWaypoint(profile_.waypointType, w)});
    return Frame(std::move(records), kCommandWaypoints);
}

std::vector<Packet> ReceiverMemory::RouteStream() const {
    const bool newer = IsNewerFamily(profile_);
    std::vector<Packet> records;
    for (const SimRoute& r : data_.routes) {
        records.push_back({kPidRouteHeader, EncodeRouteHeader(newer, r)});
        for (std::size_t i = 0; i < r.waypoints.size(); ++i) {
            if (newer && i > 0)
                records.push_back({kPidRouteLink, EncodeRouteLink()});
            records.push_back(
                {kPidRouteWaypoint, EncodeWaypoint(profile_.waypointType, r.waypoints[i])});
        }
    }
    return Frame(std::move(records), kCommandRoutes);
}

void ReceiverMemory::Log(const std::string& line) const {
    if (log_)
        log_(line);
}

void ReceiverMemory::OnRecords(const Packet& p) {
    Upload u;
    u.announced = p.data.size() >= 2 ? (p.data[0] | p.data[1] << 8) : 0;
    uploads_.push_back(std::move(u));
    open_ = true;
    Log("records " + std::to_string(uploads_.back().announced));
}

void ReceiverMemory::OnRecord(const Packet& p) {
    if (!open_) {
        // Records without an announcement still count as an upload.
        uploads_.emplace_back();
        open_ = true;
    }
    uploads_.back().packets.push_back(DecodeUpload(profile_, p.id, p.data));
    Log(DescribeUpload(uploads_.back().packets.back()));
}

void ReceiverMemory::OnComplete(const Packet& p) {
    if (!open_)
        uploads_.emplace_back();
    Upload& u = uploads_.back();
    u.complete = true;
    u.completeData = {p.data.size() > 0 ? p.data[0] : std::uint8_t{0},
                      p.data.size() > 1 ? p.data[1] : std::uint8_t{0}};
    open_ = false;
    Log("complete " + std::to_string(u.completeData[0]) + " " + std::to_string(u.completeData[1]));
    Adopt(u);
}

void ReceiverMemory::Adopt(const Upload& u) {
    const bool newer = IsNewerFamily(profile_);
    bool hasWaypoints = false, hasTracks = false, hasRoutes = false;
    for (const UploadedPacket& p : u.packets) {
        hasWaypoints |= p.id == kPidWaypoint;
        hasTracks |= p.id == kPidTrackPoint || p.id == kPidTrackHeader;
        hasRoutes |= p.id == kPidRouteHeader;
    }
    if (hasWaypoints) {
        data_.waypoints.clear();
        for (const UploadedPacket& p : u.packets) {
            if (p.id == kPidWaypoint)
                data_.waypoints.push_back(p.waypoint);
        }
    }
    if (hasTracks) {
        data_.tracks.clear();
        for (const UploadedPacket& p : u.packets) {
            if (p.id == kPidTrackHeader) {
                data_.tracks.push_back({p.trackName, {}});
            } else if (p.id == kPidTrackPoint) {
                if (data_.tracks.empty())
                    data_.tracks.push_back({newer ? "" : "ACTIVE LOG", {}});
                data_.tracks.back().points.push_back(p.trackPoint);
            }
        }
    }
    if (hasRoutes) {
        data_.routes.clear();
        for (const UploadedPacket& p : u.packets) {
            if (p.id == kPidRouteHeader) {
                data_.routes.push_back({p.routeNumber, p.routeName, {}});
            } else if (p.id == kPidRouteWaypoint && !data_.routes.empty()) {
                data_.routes.back().waypoints.push_back(p.waypoint);
            }
        }
    }
}

}  // namespace gpssim
