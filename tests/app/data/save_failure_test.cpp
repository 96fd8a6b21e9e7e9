// Saving over an existing file when the disk refuses part of the new one:
// the save reports failure and the old file is still there, whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "data/gpx_file.h"
#include "data/map_server_script.h"
#include "data/native_file.h"
#include "data_test_support.h"

namespace tobrel {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::set<std::string> Entries(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename());
    return names;
}

// Files this process writes may not grow beyond `bytes` while it lives; a
// write past it fails with EFBIG instead of raising SIGXFSZ.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : handler(::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lower = saved;
        lower.rlim_cur = bytes;
        ok = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, handler);
    }
    sighandler_t handler;
    rlimit saved{};
    bool ok = false;
};

std::string NativeBytes(const TobrelFile& s) {
    std::vector<std::uint8_t> b;
    EXPECT_TRUE(EncodeNativeFile(s, b));
    return std::string(b.begin(), b.end());
}
std::string ScriptText(const TobrelFile& s) {
    std::string text;
    EXPECT_TRUE(EncodeMapServerScript(s, text, true, true, true, nullptr, 0, 2));
    return text;
}
bool WriteScript(const TobrelFile& s, const std::string& path) {
    return WriteMapServerScript(s, path, true, true, true, nullptr, 0, 2);
}
bool ReadNative(TobrelFile& s, const std::string& path) {
    return ReadNativeFile(s, path);
}
bool ReadScriptLines(TobrelFile& s, const std::string& path) {
    return ReadMapServerScript(s, path, kReadLines);
}
bool WriteGpxFile(const TobrelFile& s, const std::string& path) {
    return WriteGpx(path, s, GpxOptions(sorvane::DatumShift{})).ok();
}
std::string GpxText(const TobrelFile& s) {
    std::string text;
    EXPECT_TRUE(EncodeGpx(s, GpxOptions(sorvane::DatumShift{}), text));
    return text;
}
bool ReadGpxFile(TobrelFile& s, const std::string& path) {
    return ReadGpx(path, GpxOptions(sorvane::DatumShift{}), s).ok();
}

const struct Format {
    const char* file;
    bool (*write)(const TobrelFile&, const std::string&);
    std::string (*encode)(const TobrelFile&);
    bool (*read)(TobrelFile&, const std::string&);
    int firstTrackPoints;  // of the big store read back
} kFormats[] = {{"data.tb2", WriteNativeFile, NativeBytes, ReadNative, 2000},
                {"data.mps", WriteScript, ScriptText, ReadScriptLines, 1500},
                {"data.gpx", WriteGpxFile, GpxText, ReadGpxFile, 2000}};

class SaveFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tobrel_save_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        testing::FillSample(small_);
        testing::FillLongTrack(big_, 2000);  // about 88 kB either way
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string dir_;
    TobrelFile small_;
    TobrelFile big_;
};

TEST_F(SaveFailure, AFailedWriteKeepsThePreviousFile) {
    fs::create_directory(dir_ + "/taken");
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.file);
        const std::string path = dir_ + "/" + f.file;
        ASSERT_TRUE(f.write(small_, path));
        EXPECT_EQ(Slurp(path), f.encode(small_));
        {
            FileSizeLimit limit(16384);
            ASSERT_TRUE(limit.ok);
            EXPECT_FALSE(f.write(big_, path));
        }
        EXPECT_EQ(Slurp(path), f.encode(small_));
        EXPECT_EQ(Entries(dir_), (std::set<std::string>{f.file, "taken"}));  // no temporary left
        EXPECT_FALSE(f.write(small_, dir_ + "/gone/" + f.file));
        EXPECT_FALSE(f.write(small_, dir_ + "/taken"));  // a folder is not replaced
        EXPECT_FALSE(f.write(small_, ""));
        EXPECT_TRUE(fs::is_directory(dir_ + "/taken"));
        // With room again the same save succeeds.
        ASSERT_TRUE(f.write(big_, path));
        EXPECT_EQ(Slurp(path), f.encode(big_));
        TobrelFile r;
        ASSERT_TRUE(f.read(r, path));
        EXPECT_EQ(r.GetTrackPointCount(0), f.firstTrackPoints);
        EXPECT_FALSE(f.read(r, dir_ + "/missing"));
        fs::remove(path);
    }
    // An empty palette is refused before the file is touched.
    const std::string path = dir_ + "/p.mps";
    ASSERT_TRUE(WriteScript(small_, path));
    const std::uint32_t palette[] = {0};
    EXPECT_FALSE(WriteMapServerScript(small_, path, true, true, true, palette, 0, 2));
    EXPECT_EQ(Slurp(path), ScriptText(small_));
}

TEST_F(SaveFailure, AReadOnlyFileIsRefusedAndKept) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.file);
        const std::string path = dir_ + "/" + f.file;
        ASSERT_TRUE(f.write(small_, path));
        fs::permissions(path, fs::perms(0444));
        EXPECT_FALSE(f.write(big_, path));
        EXPECT_EQ(Slurp(path), f.encode(small_));
        EXPECT_EQ(fs::status(path).permissions(), fs::perms(0444));
        EXPECT_EQ(Entries(dir_), std::set<std::string>{f.file});  // no temporary left
        // Writable again, it is saved over.
        fs::permissions(path, fs::perms(0644));
        EXPECT_TRUE(f.write(big_, path));
        EXPECT_EQ(Slurp(path), f.encode(big_));
        fs::remove(path);
    }
}

TEST_F(SaveFailure, ReplacingKeepsThePermissionsAndFollowsALink) {
    fs::create_directory(dir_ + "/real");
    const std::string real = dir_ + "/real/data.tb2", link = dir_ + "/link.tb2";
    ASSERT_TRUE(WriteNativeFile(small_, real));
    fs::permissions(real, fs::perms(0640));
    fs::create_symlink(real, link);
    ASSERT_TRUE(WriteNativeFile(big_, link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
    EXPECT_EQ(Slurp(real), NativeBytes(big_));
}

}  // namespace
}  // namespace tobrel
