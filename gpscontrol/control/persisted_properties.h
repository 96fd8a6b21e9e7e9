#pragma once
// The control's persisted form: 28 little-endian bytes that a container
// stores and hands back when it recreates the control.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "control/identities.h"

namespace sorvane {

constexpr std::size_t kPersistedSize = 28;
constexpr std::int32_t kDefaultExtentWidth = 2646;  // 0.01 mm
constexpr std::int32_t kDefaultExtentHeight = 1323;

struct PersistedProperties {
    std::uint32_t version = kPersistedVersion;
    std::int32_t extentWidth = kDefaultExtentWidth;
    std::int32_t extentHeight = kDefaultExtentHeight;
    std::uint32_t stockMask = 0;
    std::int32_t BaudRate = 9600;
    std::int16_t CommPort = 1;
    std::int16_t Parity = 0;
    std::int16_t DataLength = 8;
    std::int16_t StopBit = 0;
};

std::array<std::uint8_t, kPersistedSize> EncodeProperties(const PersistedProperties& p);

enum class LoadStatus {
    Complete,     // every field was there
    Short,        // the stream ended early; what was missing took its default
    ForeignStock  // stock properties we do not have follow; the five kept their defaults
};

// Reads what the stream holds. A field cut off by the end of the stream, and
// everything after it, keeps its default.
LoadStatus DecodeProperties(std::span<const std::uint8_t> bytes, PersistedProperties* out);

}  // namespace sorvane
