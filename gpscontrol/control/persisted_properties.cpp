#include "control/persisted_properties.h"

#include "control/dispatch_table.h"

namespace sorvane {

namespace {

// Defaults as the dispatch table gives them.
#define SORVANE_CHECK_DEFAULT(id, name, T, def) \
    static_assert(PersistedProperties{}.name == (def), "default of " #name);
SORVANE_DISPATCH_PROPERTIES(SORVANE_CHECK_DEFAULT)
#undef SORVANE_CHECK_DEFAULT

class Writer {
  public:
    explicit Writer(std::array<std::uint8_t, kPersistedSize>& out) : out_(out) {}
    void Put(std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out_[pos_++] = static_cast<std::uint8_t>(v >> (8 * i));
    }

  private:
    std::array<std::uint8_t, kPersistedSize>& out_;
    std::size_t pos_ = 0;
};

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> in) : in_(in) {}
    // False, leaving value alone, when fewer than `bytes` bytes remain.
    template <class T>
    bool Get(T* value) {
        constexpr std::size_t bytes = sizeof(T);
        if (in_.size() - pos_ < bytes) {
            pos_ = in_.size();
            return false;
        }
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            v |= static_cast<std::uint32_t>(in_[pos_ + i]) << (8 * i);
        pos_ += bytes;
        *value = static_cast<T>(v);
        return true;
    }

  private:
    std::span<const std::uint8_t> in_;
    std::size_t pos_ = 0;
};

}  // namespace

std::array<std::uint8_t, kPersistedSize> EncodeProperties(const PersistedProperties& p) {
    std::array<std::uint8_t, kPersistedSize> out{};
    Writer w(out);
    w.Put(p.version, 4);
    w.Put(static_cast<std::uint32_t>(p.extentWidth), 4);
    w.Put(static_cast<std::uint32_t>(p.extentHeight), 4);
    w.Put(p.stockMask, 4);
    w.Put(static_cast<std::uint32_t>(p.BaudRate), 4);
    w.Put(static_cast<std::uint16_t>(p.CommPort), 2);
    w.Put(static_cast<std::uint16_t>(p.Parity), 2);
    w.Put(static_cast<std::uint16_t>(p.DataLength), 2);
    w.Put(static_cast<std::uint16_t>(p.StopBit), 2);
    return out;
}

LoadStatus DecodeProperties(std::span<const std::uint8_t> bytes, PersistedProperties* out) {
    *out = PersistedProperties{};
    Reader r(bytes);
    // Another version's data is read the same way; the layout has not changed.
    if (!r.Get(&out->version) || !r.Get(&out->extentWidth) || !r.Get(&out->extentHeight))
        return LoadStatus::Short;
    std::uint32_t stockMask = 0;
    if (!r.Get(&stockMask))
        return LoadStatus::Short;
    if (stockMask != 0) {
        // Stock properties of unknown size would come first; reading on would
        // take their bytes for ours.
        return LoadStatus::ForeignStock;
    }
    if (!r.Get(&out->BaudRate) || !r.Get(&out->CommPort) || !r.Get(&out->Parity) ||
        !r.Get(&out->DataLength) || !r.Get(&out->StopBit))
        return LoadStatus::Short;
    return LoadStatus::Complete;
}

}  // namespace sorvane
