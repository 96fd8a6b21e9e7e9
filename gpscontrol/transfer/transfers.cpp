#include "transfer/transfers.h"

#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "link/device_records.h"
#include "link/packet.h"
#include "records/product_table.h"

namespace sorvane {

namespace {

// Packets taken past the announced count before a download stops listening:
// enough for any stream a 16-bit count can stand for, but not an endless one.
constexpr int kMaxExtraPackets = 65536;

// The open line of one transfer. It remembers the ID of the last packet that
// went over it in either direction, which some uploads send back at the end,
// and whether the receiver kept rejecting a packet.
class Line {
  public:
    Line(ByteStream& port, const TransferContext& ctx) : port_(port), ctx_(ctx) {}

    // Sends a packet and waits for the receiver's answer; a packet it rejects
    // is sent again (SendAndWait).
    Answer Send(std::uint8_t* packet, std::size_t length) {
        std::uint8_t slot[kPacketSlotSize];
        const Answer answer = SendAndWait(port_, packet, length, slot);
        lastId_ = answer == Answer::kNone ? packet[1] : slot[1];
        if (answer == Answer::kRejected)
            rejected_ = true;
        return answer;
    }
    template <std::size_t N>
    Answer Send(std::array<std::uint8_t, N>& packet) {
        return Send(packet.data(), N);
    }
    Answer Send(std::vector<std::uint8_t>& packet) { return Send(packet.data(), packet.size()); }

    // The packet's length, or 0 when it did not arrive in time.
    int Receive(std::uint8_t (&slot)[kPacketSlotSize]) {
        const int n = ReceivePacket(port_, slot);
        if (n > 0)
            lastId_ = slot[1];
        return n;
    }
    void Ack(std::uint8_t id) { SendAck(port_, id); }
    void Progress(std::int32_t done, std::int32_t total) const {
        if (ctx_.progress)
            ctx_.progress(done, total);
    }
    bool Aborted() const { return ctx_.store.IsAbortRequested(); }
    // Sends transfer complete; true when it was acknowledged.
    bool Complete(std::uint8_t first) {
        auto done = BuildTransferCompletePacket(first);
        return Send(done) == Answer::kAcknowledged;
    }
    std::uint8_t LastId() const { return lastId_; }
    bool Rejected() const { return rejected_; }

  private:
    ByteStream& port_;
    const TransferContext& ctx_;
    std::uint8_t lastId_ = 0;
    bool rejected_ = false;
};

// Clears the abort flag, opens the port, runs the exchange, keeps the error
// code of the last failing call (an older one stays when none failed, and a
// packet the receiver kept rejecting counts as one) and closes the port.
template <class Exchange>
int RunTransfer(const TransferContext& ctx, Exchange&& exchange) {
    ctx.store.ClearAbort();
    SerialPort port(ctx.byteTimeoutMs);
    int result = 0;
    bool rejected = false;
    if (port.Open(ctx.settings)) {
        Line line(port, ctx);
        result = exchange(line);
        rejected = line.Rejected();
    }
    port.Close();
    if (rejected)
        ctx.store.SetErrorCode(static_cast<std::uint32_t>(kRejectedError));
    else if (port.ErrorCode() != 0)
        ctx.store.SetErrorCode(static_cast<std::uint32_t>(port.ErrorCode()));
    return result;
}

// Sends the command, then takes the receiver's acknowledgement and the
// records packet, and acknowledges that. The announced count (signed 16-bit),
// or nothing on a time-out.
std::optional<int> StartDownload(Line& line, std::uint16_t command) {
    auto packet = BuildCommandPacket(command);
    if (line.Send(packet) != Answer::kAcknowledged)
        return std::nullopt;
    std::uint8_t slot[kPacketSlotSize];
    const int n = line.Receive(slot);
    if (n == 0)
        return std::nullopt;
    line.Ack(slot[1]);
    return ParseRecordsCount(PacketData(slot, static_cast<std::size_t>(n)));
}

struct Slot {
    std::uint8_t bytes[kPacketSlotSize];
    int length;

    std::uint8_t id() const { return bytes[1]; }
    std::span<const std::uint8_t> data() const {
        return PacketData(bytes, static_cast<std::size_t>(length));
    }
};

// The packets of a track or route download, up to and including transfer
// complete: C + 1 of them for an announced count C. Empty when the stream
// is unusable: it ended early, timed out, was aborted or ran past its count.
std::vector<Slot> ReceiveStream(Line& line, std::uint16_t command) {
    const std::optional<int> announced = StartDownload(line, command);
    if (!announced)
        return {};
    const int count = *announced;
    // A negative count is a 16-bit wrap: nothing of that stream is kept.
    const int capacity = count < 0 ? 0 : count + 1;
    std::vector<Slot> slots;
    try {
        slots.resize(static_cast<std::size_t>(capacity));
    } catch (const std::bad_alloc&) {
        return {};
    }

    int counted = 0;
    bool overrun = false;
    Slot spare{};
    for (int k = 0;; ++k) {
        // Past the slots the packets are still acknowledged, so that the
        // receiver finishes its stream and the line is quiet for the next
        // transfer, but they are not kept.
        const bool full = counted == capacity;
        Slot& slot = full ? spare : slots[static_cast<std::size_t>(counted)];
        slot.length = line.Receive(slot.bytes);
        if (slot.length == 0)
            break;
        line.Ack(slot.id());
        if (k % 10 == 0)
            line.Progress(k, count);
        if (line.Aborted())
            break;
        if (full) {
            overrun = true;
            if (slot.id() == kPidTransferComplete || k > capacity + kMaxExtraPackets)
                break;
            continue;
        }
        ++counted;
        if (slot.id() == kPidTransferComplete)
            break;
    }
    if (overrun || counted <= count)
        return {};
    return slots;
}

// Splits a run of received track points into segments: a point with its
// new-segment flag starts one, and so does the first point of the run.
std::vector<TrackSegment> TrackSegments(std::span<const Slot> run, bool newerFamily) {
    std::vector<std::size_t> sizes;
    std::vector<ReceivedTrackPoint> points(run.size());
    for (std::size_t i = 0; i < run.size(); ++i) {
        ParseTrackPoint(newerFamily, run[i].data(), &points[i]);
        if (i == 0 || points[i].newSegment) {
            sizes.push_back(1);
        } else {
            ++sizes.back();
        }
    }
    std::vector<TrackSegment> segments(sizes.size());
    std::size_t at = 0;
    for (std::size_t s = 0; s < sizes.size(); ++s) {
        segments[s].points.reserve(sizes[s]);
        for (std::size_t i = 0; i < sizes[s]; ++i)
            segments[s].points.push_back(points[at++].point);
    }
    return segments;
}

int ParseTracks(KelData& store, std::span<const Slot> packets, bool newerFamily) {
    store.DeleteTrackAll();
    std::size_t trackCount = 1;
    if (newerFamily) {
        trackCount = 0;
        for (const Slot& p : packets)
            trackCount += p.id() == kPidTrackHeader ? 1 : 0;
        if (trackCount == 0)
            return 0;
    }
    std::vector<TrackRecord> tracks(trackCount);
    std::size_t pos = 0;
    for (TrackRecord& track : tracks) {
        if (pos < packets.size() && packets[pos].id() == kPidTrackHeader) {
            if (newerFamily)
                ParseTrackHeaderName(packets[pos].data(), track.name);
            ++pos;
            if (pos == packets.size())
                break;
        }
        std::size_t end = pos;
        while (end < packets.size() && packets[end].id() == kPidTrackPoint)
            ++end;
        track.segments = TrackSegments(packets.subspan(pos, end - pos), newerFamily);
        pos = end;
    }
    store.ReplaceTracks(std::move(tracks));
    return 1;
}

int ParseRoutes(KelData& store, std::span<const Slot> packets, bool newerFamily, int waypointType,
                int characterSet) {
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].id() == kPidRouteHeader)
            headers.push_back(i);
    }
    if (headers.empty())
        return 0;
    std::vector<RouteRecord> routes(headers.size());
    for (std::size_t r = 0; r < headers.size(); ++r) {
        const std::size_t begin = headers[r] + 1;
        const std::size_t end = r + 1 < headers.size() ? headers[r + 1] : packets.size();
        const RouteHeader header = ParseRouteHeader(newerFamily, packets[headers[r]].data());
        RouteRecord& route = routes[r];
        route.number = newerFamily ? 0 : header.number;
        static_assert(sizeof route.name == sizeof header.name);
        std::copy(std::begin(header.name), std::end(header.name), route.name);
        std::size_t waypoints = 0;
        for (std::size_t i = begin; i < end; ++i)
            waypoints += packets[i].id() == kPidRouteWaypoint ? 1 : 0;
        try {
            route.waypoints.reserve(waypoints);
        } catch (const std::bad_alloc&) {
            break;  // the routes before this one stay
        }
        for (std::size_t i = begin; i < end; ++i) {
            if (packets[i].id() != kPidRouteWaypoint)
                continue;
            WaypointRecord w;
            ParseWaypoint(waypointType, characterSet, packets[i].data(), &w);
            route.waypoints.push_back(w);
        }
    }
    store.DeleteRouteAll();
    store.ReplaceRoutes(std::move(routes));
    return 1;
}

std::int32_t Low16(long long total) {
    return static_cast<std::int32_t>(total & 0xFFFF);
}

int RouteTotal(const RouteRecord& route, bool newerFamily) {
    const int n = static_cast<int>(route.waypoints.size());
    return newerFamily ? 2 * n : n + 1;
}

}  // namespace

int DownloadTrack(const TransferContext& ctx) {
    return RunTransfer(ctx, [&](Line& line) {
        const std::vector<Slot> packets = ReceiveStream(line, kCommandTransferTracks);
        if (packets.empty())
            return 0;
        try {
            return ParseTracks(ctx.store, packets, ctx.store.IsNewerFamily());
        } catch (const std::bad_alloc&) {
            return 0;
        }
    });
}

int DownloadRoute(const TransferContext& ctx) {
    return RunTransfer(ctx, [&](Line& line) {
        const std::vector<Slot> packets = ReceiveStream(line, kCommandTransferRoutes);
        if (packets.empty())
            return 0;
        try {
            return ParseRoutes(ctx.store, packets, ctx.store.IsNewerFamily(),
                               ctx.store.GetWaypointType(), ctx.store.GetCharacterSet());
        } catch (const std::bad_alloc&) {
            return 0;
        }
    });
}

int DownloadWaypoint(const TransferContext& ctx) {
    return RunTransfer(ctx, [&](Line& line) {
        const std::optional<int> announced = StartDownload(line, kCommandTransferWaypoints);
        if (!announced)
            return 0;
        // A negative count is a 16-bit wrap: the store keeps what it had, and
        // the stream is taken and dropped.
        const bool wrapped = *announced < 0;
        const int count = wrapped ? 0 : *announced;
        KelData& store = ctx.store;
        if (!wrapped)
            store.DeleteWaypointAll();
        std::vector<WaypointRecord> waypoints;
        try {
            waypoints.reserve(static_cast<std::size_t>(count));
        } catch (const std::bad_alloc&) {
            return 0;
        }
        const int type = store.GetWaypointType();
        const int characterSet = store.GetCharacterSet();
        int n = 0;
        int extra = 0;
        std::uint8_t slot[kPacketSlotSize];
        for (;;) {
            const int length = line.Receive(slot);
            if (length == 0)
                break;
            const std::uint8_t id = slot[1];
            if (id == kPidWaypoint) {
                if (n < count) {
                    WaypointRecord w;
                    ParseWaypoint(type, characterSet,
                                  PacketData(slot, static_cast<std::size_t>(length)), &w);
                    waypoints.push_back(w);
                    ++n;
                    if (n % 10 == 0)
                        line.Progress(n, count);
                } else {
                    // More than announced: acknowledged and dropped.
                    ++extra;
                }
            }
            line.Ack(id);
            if (line.Aborted() || id == kPidTransferComplete || extra > kMaxExtraPackets)
                break;
        }
        if (wrapped)
            return 0;
        store.ReplaceWaypoints(std::move(waypoints));
        return n >= count && extra == 0 ? 1 : 0;
    });
}

int UploadTrack(const TransferContext& ctx) {
    return RunTransfer(ctx, [&](Line& line) {
        const KelData& store = ctx.store;
        const bool newer = store.IsNewerFamily();
        const std::vector<TrackRecord>& tracks = store.Tracks();
        long long total = newer ? static_cast<long long>(tracks.size()) : 0;
        for (const TrackRecord& t : tracks) {
            for (const TrackSegment& s : t.segments)
                total += static_cast<long long>(s.points.size());
        }
        auto records = BuildRecordsPacket(static_cast<std::uint16_t>(total));
        if (line.Send(records) != Answer::kAcknowledged)
            return 0;

        // A point whose acknowledgement never came leaves the upload
        // incomplete, even though it goes on with the next segment; a packet
        // the receiver keeps rejecting ends it.
        bool lost = false;
        int k = 0;
        [&] {
            for (const TrackRecord& track : tracks) {
                if (newer) {
                    std::vector<std::uint8_t> header = BuildTrackHeaderPacket(
                        std::string_view(track.name, strnlen(track.name, sizeof track.name)));
                    if (line.Send(header) != Answer::kAcknowledged) {
                        lost = true;
                        return;
                    }
                }
                for (const TrackSegment& segment : track.segments) {
                    for (std::size_t i = 0; i < segment.points.size(); ++i) {
                        std::vector<std::uint8_t> point =
                            BuildTrackPointPacket(newer, segment.points[i], i == 0);
                        const Answer answer = line.Send(point);
                        if (answer != Answer::kAcknowledged) {
                            lost = true;
                            if (answer == Answer::kRejected)
                                return;
                            break;
                        }
                        ++k;
                        if ((k - 1) % 10 == 0)
                            line.Progress(k, Low16(total));
                        if (line.Aborted())
                            return;
                    }
                }
            }
        }();
        const bool acknowledged = line.Complete(line.LastId());
        return acknowledged && !lost ? 1 : 0;
    });
}

int UploadWaypoint(const TransferContext& ctx) {
    return RunTransfer(ctx, [&](Line& line) {
        const KelData& store = ctx.store;
        const std::vector<WaypointRecord>& waypoints = store.Waypoints();
        const auto count = static_cast<std::int32_t>(waypoints.size());
        auto records = BuildRecordsPacket(static_cast<std::uint16_t>(count));
        if (line.Send(records) != Answer::kAcknowledged)
            return 0;

        const int type = store.GetWaypointType();
        const int characterSet = store.GetCharacterSet();
        bool lost = false;
        for (std::int32_t i = 0; i < count; ++i) {
            std::vector<std::uint8_t> packet =
                BuildWaypointPacket(type, characterSet, kPidWaypoint, waypoints[i]);
            if (line.Send(packet) != Answer::kAcknowledged) {
                lost = true;
                break;
            }
            if (i % 10 == 0)
                line.Progress(i, count);
            if (line.Aborted())
                break;
        }
        const bool acknowledged = line.Complete(line.LastId());
        return acknowledged && !lost ? 1 : 0;
    });
}

int UploadRoute(const TransferContext& ctx) {
    return RunTransfer(ctx, [&](Line& line) {
        const KelData& store = ctx.store;
        const bool newer = store.IsNewerFamily();
        const std::vector<RouteRecord>& routes = store.Routes();
        long long total = 0;
        for (const RouteRecord& r : routes)
            total += RouteTotal(r, newer);
        auto records = BuildRecordsPacket(static_cast<std::uint16_t>(total));
        if (line.Send(records) != Answer::kAcknowledged)
            return 0;

        const int type = store.GetWaypointType();
        const int headerType = store.GetRouteHeaderType();
        const int characterSet = store.GetCharacterSet();
        bool lost = false;
        int k = 0;
        [&] {
            for (const RouteRecord& route : routes) {
                std::vector<std::uint8_t> header = BuildRouteHeaderPacket(
                    headerType, static_cast<std::uint8_t>(route.number),
                    std::string_view(route.name, strnlen(route.name, sizeof route.name)));
                if (line.Send(header) != Answer::kAcknowledged) {
                    lost = true;
                    return;
                }
                ++k;
                for (std::size_t j = 0; j < route.waypoints.size(); ++j) {
                    if (j > 0 && newer) {
                        std::vector<std::uint8_t> link = BuildRouteLinkPacket();
                        if (line.Send(link) != Answer::kAcknowledged) {
                            lost = true;
                            return;
                        }
                        ++k;
                    }
                    std::vector<std::uint8_t> packet = BuildWaypointPacket(
                        type, characterSet, kPidRouteWaypoint, route.waypoints[j]);
                    if (line.Send(packet) != Answer::kAcknowledged) {
                        lost = true;
                        return;
                    }
                    ++k;
                    if (k % 10 == 0)
                        line.Progress(k, Low16(total));
                    if (line.Aborted())
                        return;
                }
            }
        }();
        const bool acknowledged = line.Complete(kPidRouteHeader);
        return acknowledged && !lost ? 1 : 0;
    });
}

int UploadSingleRoute(const TransferContext& ctx, std::int16_t route) {
    if (route < 0 || route >= ctx.store.GetRouteCount())
        return 0;
    return RunTransfer(ctx, [&](Line& line) {
        const KelData& store = ctx.store;
        const bool newer = store.IsNewerFamily();
        const RouteRecord& r = store.Routes()[static_cast<std::size_t>(route)];
        const int total = RouteTotal(r, newer);
        auto records = BuildRecordsPacket(static_cast<std::uint16_t>(total));
        if (line.Send(records) != Answer::kAcknowledged)
            return 0;
        std::vector<std::uint8_t> header =
            BuildRouteHeaderPacket(store.GetRouteHeaderType(), static_cast<std::uint8_t>(r.number),
                                   std::string_view(r.name, strnlen(r.name, sizeof r.name)));
        if (line.Send(header) != Answer::kAcknowledged)
            return 0;

        const int type = store.GetWaypointType();
        const int characterSet = store.GetCharacterSet();
        std::size_t sent = 0;
        for (std::size_t j = 0; j < r.waypoints.size(); ++j) {
            if (j > 0 && newer) {
                std::vector<std::uint8_t> link = BuildRouteLinkPacket();
                if (line.Send(link) != Answer::kAcknowledged)
                    break;
            }
            std::vector<std::uint8_t> packet =
                BuildWaypointPacket(type, characterSet, kPidRouteWaypoint, r.waypoints[j]);
            if (line.Send(packet) != Answer::kAcknowledged)
                break;
            ++sent;
            if (sent % 10 == 0)
                line.Progress(static_cast<std::int32_t>(sent), Low16(total));
            if (line.Aborted())
                break;
        }
        if (sent < r.waypoints.size())
            return 0;
        return line.Complete(line.LastId()) ? 1 : 0;
    });
}

ProductIdentification IdentifyProduct(const TransferContext& ctx) {
    ProductIdentification r = ReadProductID(ctx.settings, ctx.byteTimeoutMs);
    if (r.ok) {
        ctx.store.SetCurrentProductId(r.productId);
        ctx.store.SetSoftwareVersion(r.softwareVersion);
    }
    if (r.errorCode != 0)
        ctx.store.SetErrorCode(static_cast<std::uint32_t>(r.errorCode));
    return r;
}

}  // namespace sorvane
