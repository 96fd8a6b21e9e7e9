// Saving over an existing file when the disk refuses part of the new one:
// the save reports failure and the old file is still there, whole.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/map_server_script.h"
#include "data/native_file.h"
#include "sample_store.h"

namespace tobrel {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    return names;
}

// Files this process writes may not grow beyond `bytes` while it lives; a
// write past it fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    sighandler_t oldHandler_;
    bool ok_ = false;
};

class SaveFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tobrel_save_XXXXXX";
        dir_ = ::mkdtemp(pattern);
        testing::FillSampleStore(small_);
        testing::FillLongTrack(big_, 2000);  // about 88 kB either way
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

    std::string dir_;
    TobrelFile small_;
    TobrelFile big_;
};

TEST_F(SaveFailure, NativeFileKeepsThePreviousFile) {
    const std::string path = dir_ + "/data.tb2";
    ASSERT_TRUE(WriteNativeFile(small_, path));
    const std::string before = Slurp(path);
    {
        FileSizeLimit limit(16384);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(WriteNativeFile(big_, path));
    }
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"data.tb2"});  // no temporary left
    // With room again the same save succeeds.
    EXPECT_TRUE(WriteNativeFile(big_, path));
    TobrelFile r;
    ASSERT_TRUE(ReadNativeFile(r, path));
    EXPECT_EQ(r.GetTrackPointCount(0), 2000);
}

TEST_F(SaveFailure, MapServerScriptKeepsThePreviousFile) {
    const std::string path = dir_ + "/data.mps";
    ASSERT_TRUE(WriteMapServerScript(small_, path, true, true, true, nullptr, 0, 2));
    const std::string before = Slurp(path);
    {
        FileSizeLimit limit(16384);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(WriteMapServerScript(big_, path, true, true, true, nullptr, 0, 2));
    }
    EXPECT_EQ(Slurp(path), before);
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"data.mps"});
}

TEST_F(SaveFailure, MissingFolderOrDirectoryTarget) {
    EXPECT_FALSE(WriteNativeFile(small_, dir_ + "/gone/data.tb2"));
    EXPECT_FALSE(
        WriteMapServerScript(small_, dir_ + "/gone/data.mps", true, true, true, nullptr, 0, 2));
    // A folder where the file should go is not replaced.
    ASSERT_EQ(::mkdir((dir_ + "/taken").c_str(), 0755), 0);
    EXPECT_FALSE(WriteNativeFile(small_, dir_ + "/taken"));
    EXPECT_FALSE(WriteMapServerScript(small_, dir_ + "/taken", true, true, true, nullptr, 0, 2));
    struct stat st {};
    ASSERT_EQ(::stat((dir_ + "/taken").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(Entries(dir_), std::vector<std::string>{"taken"});
    EXPECT_FALSE(WriteNativeFile(small_, ""));
}

TEST_F(SaveFailure, EmptyPaletteIsRefusedBeforeTouchingTheFile) {
    const std::string path = dir_ + "/p.mps";
    ASSERT_TRUE(WriteMapServerScript(small_, path, true, true, true, nullptr, 0, 2));
    const std::string before = Slurp(path);
    const std::uint32_t palette[] = {0};
    EXPECT_FALSE(WriteMapServerScript(small_, path, true, true, true, palette, 0, 2));
    EXPECT_EQ(Slurp(path), before);
}

TEST_F(SaveFailure, ReplacingKeepsThePermissions) {
    const std::string path = dir_ + "/mode.tb2";
    ASSERT_TRUE(WriteNativeFile(small_, path));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(WriteNativeFile(big_, path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(SaveFailure, SavingThroughALinkReplacesTheLinkedFile) {
    ASSERT_EQ(::mkdir((dir_ + "/real").c_str(), 0755), 0);
    const std::string real = dir_ + "/real/data.tb2";
    ASSERT_TRUE(WriteNativeFile(small_, real));
    const std::string link = dir_ + "/link.tb2";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WriteNativeFile(big_, link));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    TobrelFile r;
    ASSERT_TRUE(ReadNativeFile(r, real));
    EXPECT_EQ(r.GetTrackPointCount(0), 2000);
}

}  // namespace
}  // namespace tobrel
