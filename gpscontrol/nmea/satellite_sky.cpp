#include "nmea/satellite_sky.h"

#include <algorithm>
#include <limits>

namespace sorvane {

namespace {

template <class V, class K>
auto FindKey(V& groups, const K& key) {
    return std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.key == key; });
}

}  // namespace

void SatelliteSky::ClearTable() {
    for (SatelliteEntry& e : table_)
        e = SatelliteEntry{};
    for (Origin& o : origin_)
        o = Origin{};
}

// Each talker counts once, with the largest count of its signals.
std::int32_t SatelliteSky::CycleCount() const {
    std::int64_t total = 0;
    for (std::size_t i = 0; i < cycle_.size(); ++i) {
        bool counted = false;
        std::int32_t most = 0;
        for (std::size_t j = 0; j < cycle_.size(); ++j) {
            const bool sameTalker = cycle_[j].key.talker[0] == cycle_[i].key.talker[0] &&
                                    cycle_[j].key.talker[1] == cycle_[i].key.talker[1];
            if (!sameTalker)
                continue;
            if (j < i)
                counted = true;
            most = std::max(most, cycle_[j].count);
        }
        if (!counted)
            total += most;
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        total, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void SatelliteSky::WriteTable(const GsvMessage& m, int group) {
    int at = 0;
    while (at < kSatelliteTableSize && table_[at].prn != 0)
        ++at;
    if (at == kSatelliteTableSize) {
        // One set alone starts over at the top, as receivers' tables always
        // have; a second set of the cycle finds the table full.
        if (cycle_.size() > 1)
            return;
        at = 0;
    }
    for (int s = 0; s < m.count && at < kSatelliteTableSize; ++s) {
        const SatelliteEntry& e = m.satellites[s];
        const int fields = s == m.count - 1 ? m.lastFields : 4;
        const Constellation c = SatelliteConstellation(m.talker, e.prn);
        if (cycle_.size() > 1) {
            const auto same = [&](int k) {
                return origin_[k].group >= 0 && origin_[k].group != group &&
                       origin_[k].constellation == c && table_[k].prn == e.prn;
            };
            int k = 0;
            while (k < kSatelliteTableSize && !same(k))
                ++k;
            if (k < kSatelliteTableSize) {
                if (table_[k].snr == 0 && fields == 4)
                    table_[k].snr = e.snr;
                continue;
            }
        }
        SatelliteEntry& t = table_[at];
        t.prn = e.prn;
        if (fields >= 2)
            t.elevation = e.elevation;
        if (fields >= 3)
            t.azimuth = e.azimuth;
        if (fields >= 4)
            t.snr = e.snr;
        origin_[at] = Origin{c, group};
        ++at;
    }
}

bool SatelliteSky::ApplyGsv(const GsvMessage& m) {
    GroupKey key;
    for (std::size_t i = 0; i < 2 && i < m.talker.size(); ++i)
        key.talker[i] = m.talker[i];
    key.signal = m.signal;

    std::lock_guard lock(mutex_);
    auto it = FindKey(cycle_, key);
    if (m.number == 1 && it != cycle_.end()) {
        // A set of this cycle starts again: the next cycle has begun. Sets
        // the receiver no longer sends leave the list with the old cycle.
        ClearTable();
        lastCycleCount_ = 0;
        for (const Group& c : cycle_) {
            if (c.key.talker[0] != cycle_[0].key.talker[0] ||
                c.key.talker[1] != cycle_[0].key.talker[1])
                lastCycleCount_ = CycleCount();
        }
        std::erase_if(published_,
                      [&](const Group& p) { return FindKey(cycle_, p.key) == cycle_.end(); });
        cycle_.clear();
        it = cycle_.end();
    }
    if (it == cycle_.end()) {
        cycle_.push_back(Group{key, 0, {}});
        it = cycle_.end() - 1;
    }
    Group& g = *it;
    const int group = static_cast<int>(it - cycle_.begin());
    g.count = static_cast<std::int32_t>(std::clamp<long>(m.inView,
                                                         std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
    if (m.number == 1)
        g.satellites.clear();
    inView_ = std::max(CycleCount(), lastCycleCount_);
    WriteTable(m, group);

    for (int s = 0; s < m.count; ++s) {
        const SatelliteEntry& e = m.satellites[s];
        if (e.prn == 0)
            continue;
        const int fields = s == m.count - 1 ? m.lastFields : 4;
        SatelliteInfo info;
        info.constellation = SatelliteConstellation(m.talker, e.prn);
        info.prn = e.prn;
        info.number = static_cast<std::int16_t>(SatelliteNumber(info.constellation, e.prn));
        info.elevation = fields >= 2 ? e.elevation : std::int16_t{0};
        info.azimuth = fields >= 3 ? e.azimuth : std::int16_t{0};
        info.snr = fields >= 4 ? e.snr : std::int16_t{0};
        info.signal = m.signal;
        g.satellites.push_back(info);
    }
    if (m.number < m.total)
        return false;
    if (auto p = FindKey(published_, key); p != published_.end()) {
        p->satellites = g.satellites;
    } else {
        published_.push_back(g);
    }
    return true;
}

void SatelliteSky::ApplyGsa(Constellation c, std::span<const std::int16_t> used, bool noFix) {
    std::lock_guard lock(mutex_);
    const bool again = std::find(gsaCycle_.begin(), gsaCycle_.end(), c) != gsaCycle_.end();
    if (gsaCycle_.empty() || again) {
        ClearTable();
        if (again)
            gsaCycle_.clear();
    }
    gsaCycle_.push_back(c);
    if (noFix) {
        for (auto& u : used_)
            u.clear();
    }
    if (c != Constellation::kUnknown)
        used_[static_cast<std::size_t>(c)].assign(used.begin(), used.end());
}

void SatelliteSky::Replace(std::int32_t inView, std::vector<SatelliteInfo> satellites) {
    std::lock_guard lock(mutex_);
    ClearTable();
    for (std::size_t i = 0; i < satellites.size() && i < kSatelliteTableSize; ++i) {
        const SatelliteInfo& s = satellites[i];
        table_[i] = SatelliteEntry{s.prn, s.elevation, s.azimuth, s.snr};
        origin_[i] = Origin{s.constellation, 0};
    }
    inView_ = inView;
    lastCycleCount_ = 0;
    cycle_.clear();
    gsaCycle_.clear();
    for (auto& u : used_)
        u.clear();
    published_.assign(1, Group{GroupKey{}, inView, std::move(satellites)});
}

int SatelliteSky::Count() const {
    std::lock_guard lock(mutex_);
    return inView_;
}

bool SatelliteSky::Entry(int n, SatelliteEntry* out) const {
    std::lock_guard lock(mutex_);
    if (n < 0 || n >= inView_ || n >= kSatelliteTableSize)
        return false;
    *out = table_[n];
    return true;
}

std::vector<SatelliteInfo> SatelliteSky::List() const {
    std::lock_guard lock(mutex_);
    std::vector<SatelliteInfo> all;
    for (const Group& g : published_) {
        for (const SatelliteInfo& s : g.satellites) {
            const auto same = std::find_if(all.begin(), all.end(), [&](const SatelliteInfo& a) {
                return a.constellation == s.constellation &&
                       (s.constellation != Constellation::kUnknown ? a.number == s.number
                                                                   : a.prn == s.prn);
            });
            if (same == all.end()) {
                all.push_back(s);
                continue;
            }
            // The same satellite on another signal.
            if (same->snr == 0)
                same->snr = s.snr;
            same->used = same->used || s.used;
        }
    }
    const auto listed = [&](Constellation c, std::int16_t prn) {
        const auto& used = used_[static_cast<std::size_t>(c)];
        return std::find(used.begin(), used.end(), prn) != used.end();
    };
    for (SatelliteInfo& s : all) {
        // A GPS GSA also names the SBAS and QZSS satellites it uses.
        const bool gpsBand =
            s.constellation == Constellation::kSbas || s.constellation == Constellation::kQzss;
        if (listed(s.constellation, s.prn) || (gpsBand && listed(Constellation::kGps, s.prn)))
            s.used = true;
    }
    return all;
}

}  // namespace sorvane
