#pragma once
// The program's own binary data file (*.tb2): the whole store behind a header
// of section offsets. Written as version 7; versions 0 and 2 to 7 are read.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "data/tobrel_file.h"

namespace tobrel {

constexpr std::int32_t kNativeFileVersion = 7;
constexpr std::size_t kNativeHeaderSize = 108;
constexpr std::size_t kNativeTrackHeaderSize = 32;
constexpr std::size_t kNativeRouteHeaderSize = 72;

// Writes the store; the file that was there stays untouched unless the new
// one was written completely. False when anything failed.
bool WriteNativeFile(const TobrelFile& store, const std::string& path);
// The same bytes in memory. False when the store is too large for the
// format's 32-bit offsets or memory ran out.
bool EncodeNativeFile(const TobrelFile& store, std::vector<std::uint8_t>& out);

// Appends the file's tracks, waypoints and routes to the store. False when the
// file cannot be read, is not a native data file or has a version this
// program does not know; damaged sections give what they hold whole.
bool ReadNativeFile(TobrelFile& store, const std::string& path);
bool ReadNativeFile(TobrelFile& store, std::span<const std::uint8_t> bytes);

}  // namespace tobrel
