#include "control/sorvane_ctrl.h"

#include <new>

#include "control/identities.h"
#include "nmea/nmea_receiver.h"
#include "store/kel_data.h"
#include "text/cp932.h"

namespace sorvane {

namespace {

constexpr const char* kNoStoreText = "ERROR";
constexpr double kBadPosition = -9999.9;

std::unique_ptr<KelData> MakeStore() {
    return std::make_unique<KelData>();
}

// Store strings are code page 932; the interface speaks UTF-8.
std::string Out(const std::string& cp932Text) {
    return cp932::ToUtf8(cp932Text);
}

std::string In(const std::string& utf8Text) {
    return cp932::FromUtf8(utf8Text);
}

template <class T>
void Write(T* out, T value) {
    if (out != nullptr)
        *out = value;
}

}  // namespace

CSorvaneCtrl::CSorvaneCtrl() : CSorvaneCtrl(StoreFactory(MakeStore)) {}

CSorvaneCtrl::CSorvaneCtrl(const StoreFactory& makeStore) {
    // A store that cannot be made is not reported here; the members answer
    // with their no-store values instead.
    try {
        if (makeStore)
            store_ = makeStore();
    } catch (const std::bad_alloc&) {
        store_.reset();
    }
}

CSorvaneCtrl::~CSorvaneCtrl() {
    // A running receiver raises events; it goes before anything else.
    StopNMEAReceiving();
    store_.reset();
    receiverSinks_.DisconnectAll();
    sinks_.DisconnectAll();
}

void CSorvaneCtrl::InEventHold(const std::function<void()>& f) {
    if (holdAcquire_)
        holdAcquire_();
    // The release may destroy this control together with its copy of the
    // function, so it runs from a copy of its own.
    struct Release {
        std::function<void()> release;
        ~Release() {
            if (release)
                release();
        }
    } release{holdRelease_};
    f();
}

void CSorvaneCtrl::Fire(std::int32_t dispid, std::span<const Variant> args) {
    InEventHold([&] { sinks_.Fire(dispid, args); });
}

void CSorvaneCtrl::FireReceiver(const ReceiverEvent& event) {
    InEventHold([&] { receiverSinks_.Fire(event); });
}

// ---- persistence ---------------------------------------------------------------

std::array<std::uint8_t, kPersistedSize> CSorvaneCtrl::Save(bool clearDirty) {
    PersistedProperties p;
    p.extentWidth = extentWidth_;
    p.extentHeight = extentHeight_;
#define SORVANE_SAVE_FIELD(id, name, T, def) p.name = name##_;
    SORVANE_DISPATCH_PROPERTIES(SORVANE_SAVE_FIELD)
#undef SORVANE_SAVE_FIELD
    if (clearDirty)
        modified_ = false;
    return EncodeProperties(p);
}

LoadStatus CSorvaneCtrl::Load(std::span<const std::uint8_t> bytes) {
    PersistedProperties p;
    const LoadStatus status = DecodeProperties(bytes, &p);
    extentWidth_ = p.extentWidth;
    extentHeight_ = p.extentHeight;
#define SORVANE_LOAD_FIELD(id, name, T, def) name##_ = p.name;
    SORVANE_DISPATCH_PROPERTIES(SORVANE_LOAD_FIELD)
#undef SORVANE_LOAD_FIELD
    modified_ = false;
    return status;
}

void CSorvaneCtrl::ResetState() {
#define SORVANE_RESET_FIELD(id, name, T, def) name##_ = def;
    SORVANE_DISPATCH_PROPERTIES(SORVANE_RESET_FIELD)
#undef SORVANE_RESET_FIELD
    modified_ = false;
}

void CSorvaneCtrl::SetExtent(std::int32_t width, std::int32_t height) {
    extentWidth_ = width;
    extentHeight_ = height;
    modified_ = true;
}

PortSettings CSorvaneCtrl::LineSettings() const {
    PortSettings s;
    s.port = static_cast<std::uint8_t>(CommPort_ & 0xFF);
    s.baudRate = static_cast<std::uint32_t>(BaudRate_);
    s.parity = static_cast<std::uint8_t>(Parity_ & 0xFF);
    s.dataBits = static_cast<std::uint8_t>(DataLength_ & 0xFF);
    s.stopBits = static_cast<std::uint8_t>(StopBit_ & 0xFF);
    return s;
}

// ---- version and product -------------------------------------------------------

std::int32_t CSorvaneCtrl::GetVersion() {
    return kControlVersion;
}

bool CSorvaneCtrl::SetProductID(std::int32_t id) {
    return store_ && store_->SetProductID(id) != 0;
}

void CSorvaneCtrl::AbortTransfer() {
    if (store_)
        store_->AbortTransfer();
}

std::int32_t CSorvaneCtrl::GetErrorCode() {
    return store_ ? static_cast<std::int32_t>(store_->GetErrorCode()) : -1;
}

// ---- tracks ----------------------------------------------------------------------

std::int32_t CSorvaneCtrl::GetTrackCount() {
    return store_ ? store_->GetTrackCount() : 0;
}

std::string CSorvaneCtrl::GetTrackName(std::int32_t tno) {
    return store_ ? Out(store_->GetTrackName(tno)) : kNoStoreText;
}

std::int32_t CSorvaneCtrl::GetTrackSegmentCount(std::int32_t tno) {
    return store_ ? store_->GetTrackSegmentCount(tno) : 0;
}

std::int32_t CSorvaneCtrl::GetTrackDataCount(std::int32_t tno) {
    return store_ ? store_->GetTrackDataCount(tno) : 0;
}

std::int32_t CSorvaneCtrl::GetTrackSegmentDataCount(std::int32_t tno, std::int32_t sno) {
    return store_ ? store_->GetTrackSegmentDataCount(tno, sno) : 0;
}

bool CSorvaneCtrl::GetTrackPosition(std::int32_t tno, std::int32_t sno, std::int32_t dno,
                                    double* lat, double* lon, double* alt) {
    if (!store_)
        return false;
    double la = 0.0, lo = 0.0, al = 0.0;
    // A bad index gives 0.0 three times and still counts as success.
    store_->GetTrackPosition(tno, sno, dno, la, lo, al);
    Write(lat, la);
    Write(lon, lo);
    Write(alt, al);
    return true;
}

std::int32_t CSorvaneCtrl::GetTrackUnixTime(std::int32_t tno, std::int32_t sno, std::int32_t dno) {
    return store_ ? static_cast<std::int32_t>(store_->GetTrackUnixTime(tno, sno, dno)) : 0;
}

bool CSorvaneCtrl::AddTrack(const std::string& name) {
    return store_ && store_->AddTrack(In(name)) != 0;
}

bool CSorvaneCtrl::AddTrackSegment(std::int32_t tno) {
    return store_ && store_->AddTrackSegment(tno) != 0;
}

bool CSorvaneCtrl::AddTrackData(std::int32_t tno, std::int32_t sno, double lat, double lon,
                                double alt, std::int32_t t) {
    return store_ &&
           store_->AddTrackData(tno, sno, lat, lon, alt, static_cast<std::uint32_t>(t)) != 0;
}

void CSorvaneCtrl::DeleteTrackAll() {
    if (store_)
        store_->DeleteTrackAll();
}

// ---- waypoints -------------------------------------------------------------------

std::int32_t CSorvaneCtrl::GetWaypointCount() {
    return store_ ? store_->GetWaypointCount() : 0;
}

std::string CSorvaneCtrl::GetWaypointID(std::int32_t no) {
    return store_ ? Out(store_->GetWaypointID(no)) : kNoStoreText;
}

std::string CSorvaneCtrl::GetWaypointComment(std::int32_t no) {
    return store_ ? Out(store_->GetWaypointComment(no)) : kNoStoreText;
}

double CSorvaneCtrl::GetWaypointLatitude(std::int32_t no) {
    return store_ ? store_->GetWaypointLatitude(no) : kBadPosition;
}

double CSorvaneCtrl::GetWaypointLongitude(std::int32_t no) {
    return store_ ? store_->GetWaypointLongitude(no) : kBadPosition;
}

double CSorvaneCtrl::GetWaypointAltitude(std::int32_t no) {
    return store_ ? store_->GetWaypointAltitude(no) : kBadPosition;
}

double CSorvaneCtrl::GetWaypointDst(std::int32_t no) {
    return store_ ? store_->GetWaypointDst(no) : -1.0;
}

std::int16_t CSorvaneCtrl::GetWaypointSmbl(std::int32_t no) {
    return store_ ? static_cast<std::int16_t>(store_->GetWaypointSmbl(no)) : 0;
}

std::int16_t CSorvaneCtrl::GetWaypointDspl(std::int32_t no) {
    return store_ ? static_cast<std::int16_t>(store_->GetWaypointDspl(no)) : -1;
}

bool CSorvaneCtrl::AddWaypoint(const std::string& name, const std::string& comment, double lat,
                               double lon, double alt, std::int16_t smbl, std::int16_t dspl,
                               double dst) {
    return store_ && store_->AddWaypoint(In(name), In(comment), lat, lon, alt,
                                         static_cast<std::uint16_t>(smbl),
                                         static_cast<std::uint8_t>(dspl), dst) != 0;
}

void CSorvaneCtrl::DeleteWaypointAll() {
    if (store_)
        store_->DeleteWaypointAll();
}

// ---- routes ----------------------------------------------------------------------

std::int32_t CSorvaneCtrl::GetRouteCount() {
    return store_ ? store_->GetRouteCount() : 0;
}

std::string CSorvaneCtrl::GetRouteName(std::int32_t rno) {
    return store_ ? Out(store_->GetRouteName(rno)) : kNoStoreText;
}

std::int32_t CSorvaneCtrl::GetRouteWaypointCount(std::int32_t no) {
    return store_ ? store_->GetRouteWaypointCount(no) : 0;
}

std::string CSorvaneCtrl::GetRouteWaypointID(std::int32_t rno, std::int32_t wno) {
    return store_ ? Out(store_->GetRouteWaypointID(rno, wno)) : kNoStoreText;
}

std::string CSorvaneCtrl::GetRouteWaypointComment(std::int32_t rno, std::int32_t wno) {
    return store_ ? Out(store_->GetRouteWaypointComment(rno, wno)) : kNoStoreText;
}

double CSorvaneCtrl::GetRouteWaypointLatitude(std::int32_t rno, std::int32_t wno) {
    return store_ ? store_->GetRouteWaypointLatitude(rno, wno) : kBadPosition;
}

double CSorvaneCtrl::GetRouteWaypointLongitude(std::int32_t rno, std::int32_t wno) {
    return store_ ? store_->GetRouteWaypointLongitude(rno, wno) : kBadPosition;
}

double CSorvaneCtrl::GetRouteWaypointAltitude(std::int32_t rno, std::int32_t wno) {
    return store_ ? store_->GetRouteWaypointAltitude(rno, wno) : kBadPosition;
}

double CSorvaneCtrl::GetRouteWaypointDst(std::int32_t rno, std::int32_t wno) {
    return store_ ? store_->GetRouteWaypointDst(rno, wno) : -1.0;
}

std::int16_t CSorvaneCtrl::GetRouteWaypointSmbl(std::int32_t rno, std::int32_t wno) {
    return store_ ? static_cast<std::int16_t>(store_->GetRouteWaypointSmbl(rno, wno)) : 0;
}

std::int16_t CSorvaneCtrl::GetRouteWaypointDspl(std::int32_t rno, std::int32_t wno) {
    return store_ ? static_cast<std::int16_t>(store_->GetRouteWaypointDspl(rno, wno)) : 0;
}

bool CSorvaneCtrl::AddRoute(const std::string& name) {
    return store_ && store_->AddRoute(In(name)) != 0;
}

bool CSorvaneCtrl::AddRouteWaypoint(std::int32_t rno, const std::string& name,
                                    const std::string& comment, double lat, double lon, double alt,
                                    std::int16_t smbl, std::int16_t dspl, double dst) {
    return store_ && store_->AddRouteWaypoint(rno, In(name), In(comment), lat, lon, alt,
                                              static_cast<std::uint16_t>(smbl),
                                              static_cast<std::uint8_t>(dspl), dst) != 0;
}

void CSorvaneCtrl::DeleteRouteAll() {
    if (store_)
        store_->DeleteRouteAll();
}

// ---- datum -----------------------------------------------------------------------

std::int32_t CSorvaneCtrl::GetDatumCount() {
    return store_ ? store_->GetDatumCount() : 0;
}

void CSorvaneCtrl::SelectDatum(std::int32_t no) {
    if (store_)
        store_->SelectDatum(no);
}

std::int32_t CSorvaneCtrl::SelectDatumByName(const std::string& MapDatumName) {
    return store_ ? store_->SelectDatumByName(In(MapDatumName)) : 0;
}

std::string CSorvaneCtrl::GetDatumName() {
    return store_ ? Out(store_->GetDatumName()) : kNoStoreText;
}

std::int32_t CSorvaneCtrl::GetSelectedDatumNumber() {
    return store_ ? store_->GetSelectedDatumNumber() : -1;
}

std::string CSorvaneCtrl::GetEntryDatumName(std::int32_t no) {
    return store_ ? Out(store_->GetEntryDatumName(no)) : kNoStoreText;
}

std::string CSorvaneCtrl::GetEntryDatumName2(std::int32_t no) {
    return store_ ? Out(store_->GetEntryDatumName2(no)) : kNoStoreText;
}

double CSorvaneCtrl::GetMapDatumDeltaA() {
    return store_ ? store_->GetMapDatumDeltaA() : 0.0;
}

double CSorvaneCtrl::GetMapDatumDeltaF() {
    return store_ ? store_->GetMapDatumDeltaF() : 0.0;
}

double CSorvaneCtrl::GetMapDatumDeltaX() {
    return store_ ? store_->GetMapDatumDeltaX() : 0.0;
}

double CSorvaneCtrl::GetMapDatumDeltaY() {
    return store_ ? store_->GetMapDatumDeltaY() : 0.0;
}

double CSorvaneCtrl::GetMapDatumDeltaZ() {
    return store_ ? store_->GetMapDatumDeltaZ() : 0.0;
}

namespace {

template <class Convert>
bool Transform(KelData* store, Convert convert, double inLat, double inLon, double inAlt,
               double* outLat, double* outLon, double* outAlt) {
    double la = inLat, lo = inLon, al = inAlt;
    const bool ok = store != nullptr && (store->*convert)(inLat, inLon, inAlt, la, lo, al) != 0;
    // On failure the store has already copied the input; without one we do.
    Write(outLat, la);
    Write(outLon, lo);
    Write(outAlt, al);
    return ok;
}

}  // namespace

bool CSorvaneCtrl::TransformDatumWGS84IntoLocal(double inLat, double inLon, double inAlt,
                                                double* outLat, double* outLon, double* outAlt) {
    return Transform(store_.get(), &KelData::TransformDatumWGS84IntoLocal, inLat, inLon, inAlt,
                     outLat, outLon, outAlt);
}

bool CSorvaneCtrl::TransformDatumLocalIntoWGS84(double inLat, double inLon, double inAlt,
                                                double* outLat, double* outLon, double* outAlt) {
    return Transform(store_.get(), &KelData::TransformDatumLocalIntoWGS84, inLat, inLon, inAlt,
                     outLat, outLon, outAlt);
}

double CSorvaneCtrl::CalcDistance(double lat1, double lon1, double lat2, double lon2) {
    return store_ ? store_->CalcDistance(lat1, lon1, lat2, lon2) : 0.0;
}

// ---- waypoint symbols ------------------------------------------------------------

std::int32_t CSorvaneCtrl::GetWaypointSymbolCount() {
    return store_ ? store_->GetWaypointSymbolCount() : 0;
}

std::string CSorvaneCtrl::GetWaypointSymbolName(std::int32_t no) {
    return store_ ? Out(store_->GetWaypointSymbolName(no)) : kNoStoreText;
}

std::string CSorvaneCtrl::toWaypointSymbolName(std::int32_t no) {
    return store_ ? Out(store_->toWaypointSymbolName(no)) : kNoStoreText;
}

std::int32_t CSorvaneCtrl::toWaypointSymbolNo(const std::string& name) {
    return store_ ? store_->toWaypointSymbolNo(In(name)) : 0;
}

}  // namespace sorvane
