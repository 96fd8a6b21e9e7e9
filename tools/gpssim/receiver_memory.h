#pragma once
// The receiver's side of the transfers: it answers the host's download
// commands from its data set in the layouts of the model it plays, and it
// records every upload (so that tests can compare it field by field) and
// keeps what was uploaded for the next download.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dataset.h"
#include "engine.h"
#include "profile.h"
#include "records.h"

namespace gpssim {

// Faults of the download streams.
struct StreamFaults {
    std::optional<int> announce;  // records count to announce instead of the true one
    int extraPackets = 0;         // announce this many packets fewer than are sent
    bool noComplete = false;      // end the stream without transfer complete
};

struct Upload {
    int announced = -1;  // the records count, as an unsigned 16-bit value; -1 when none came
    std::vector<UploadedPacket> packets;
    bool complete = false;
    std::array<std::uint8_t, 2> completeData{};  // the transfer complete data bytes

    std::vector<int> Ids() const;
};

class ReceiverMemory {
  public:
    ReceiverMemory(Profile profile, DataSet data, StreamFaults faults = {});

    // Registers the command and packet handlers on the engine.
    void Install(ReceiverEngine& engine);

    // Every line that describes an upload as it happens goes here as well.
    void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    const DataSet& data() const { return data_; }
    const std::vector<Upload>& uploads() const { return uploads_; }

    // The packets of each download, records and transfer complete included.
    std::vector<Packet> TrackStream(std::uint16_t command = kCommandTracks) const;
    std::vector<Packet> WaypointStream() const;
    std::vector<Packet> RouteStream() const;

  private:
    std::vector<Packet> Frame(std::vector<Packet> records, std::uint16_t command) const;
    void OnRecords(const Packet& p);
    void OnRecord(const Packet& p);
    void OnComplete(const Packet& p);
    void Adopt(const Upload& u);
    void Log(const std::string& line) const;

    Profile profile_;
    DataSet data_;
    StreamFaults faults_;
    std::vector<Upload> uploads_;
    bool open_ = false;  // an upload has begun and not yet completed
    std::function<void(const std::string&)> log_;
};

}  // namespace gpssim
