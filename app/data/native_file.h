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
// The header's offsets are signed 32-bit, and no file is larger than they reach.
constexpr std::size_t kMaxNativeFileSize = 0x7FFFFFFF;

// Why a native file was not read.
enum class NativeReadError {
    kNone,
    kCannotOpen,       // missing, or no permission
    kNotARegularFile,  // a folder, a device, a FIFO
    kTooLarge,         // larger than any native file can be
    kNotNativeFile,    // shorter than the header, or another magic
    kUnknownVersion,   // version 1, or 8 and above
};

// Writes the store; the file that was there stays untouched unless the new
// one was written completely. False when anything failed, when the target is
// read-only, or when the store is too large for the format.
bool WriteNativeFile(const TobrelFile& store, const std::string& path);
// The same bytes in memory. False when the store is too large for the
// format's 32-bit offsets or memory ran out.
bool EncodeNativeFile(const TobrelFile& store, std::vector<std::uint8_t>& out);

// Appends the file's tracks, waypoints and routes to the store. False, with
// the reason in *error when asked for, when the file cannot be opened, is not
// a regular file, is larger than any native file, is not a native data file
// or has a version this program does not know; the header is checked from the
// first bytes before anything else is read. Damaged sections give what they
// hold whole, each ending where the next one begins.
bool ReadNativeFile(TobrelFile& store, const std::string& path, NativeReadError* error = nullptr);
bool ReadNativeFile(TobrelFile& store, std::span<const std::uint8_t> bytes,
                    NativeReadError* error = nullptr);

}  // namespace tobrel
