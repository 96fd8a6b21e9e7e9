#pragma once
// The files the host reads and writes: which form a file has, whether an
// output can be written before a long download begins, and reading a text
// file whole with a message that says what is wrong with it.

#include <optional>
#include <string>

#include "data/native_file.h"

namespace sorvane_cli {

enum class FileFormat { kTab, kGpx, kNative };

// By the extension: ".gpx" GPX, ".tb2" the native file, anything else the
// tab format (letter case ignored).
FileFormat OutputFormat(const std::string& path);
// By the extension, else by the first bytes ("-" is standard input, tab).
FileFormat InputFormat(const std::string& path);

// Why a file cannot be written at path (its folder is missing or not
// writable, or it is a folder), or nullopt.
std::optional<std::string> OutputProblem(const std::string& path);

// The whole text of the file ("-": standard input), or nullopt with the
// reason in *problem: missing, unreadable, a folder, empty.
std::optional<std::string> ReadText(const std::string& path, std::string* problem);

// What a native file refusal says.
std::string NativeReadMessage(tobrel::NativeReadError error);

// Writes bytes to the file whole, the previous file kept unless all of it was
// written ("-": standard output). False with errno set.
bool WriteText(const std::string& path, const std::string& text);

}  // namespace sorvane_cli
