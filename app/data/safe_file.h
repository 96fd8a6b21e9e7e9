#pragma once
// File input and output shared by the data files. Saving never leaves a half
// written file in place of the one the user had: the bytes go to a temporary
// file beside the target, which replaces the target only when all of it has
// reached the disk.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tobrel {

// Files larger than this are never read whole.
constexpr std::size_t kMaxWholeFileSize = 0x7FFFFFFF;

// Reads the whole file. False when it cannot be opened or read, is not a
// regular file (a FIFO would block, a device never end) or is larger than
// maxSize.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                   std::size_t maxSize = kMaxWholeFileSize);

class SafeFileWriter {
  public:
    SafeFileWriter() = default;
    ~SafeFileWriter();  // discards the temporary unless committed
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Creates the temporary file in the target's folder. False (errno EACCES)
    // for a target the user may not write, which is then kept as it is.
    bool Open(const std::string& path);
    // Buffered; false once any write has failed.
    bool Write(const void* data, std::size_t size);
    // Flushes, syncs and renames over the target. False leaves the target as it was.
    bool Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();

    bool ok() const { return fd_ >= 0 && !failed_; }

  private:
    bool Flush();

    int fd_ = -1;
    bool failed_ = false;
    std::string target_;
    std::string temp_;
    std::vector<char> buffer_;
};

// Collects the bytes in memory; the same interface as SafeFileWriter for the encoders.
class MemoryWriter {
  public:
    explicit MemoryWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    bool Write(const void* data, std::size_t size) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        try {
            out_.insert(out_.end(), p, p + size);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }

  private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace tobrel
