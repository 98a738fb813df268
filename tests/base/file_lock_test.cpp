#include "base/file_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "base/file_error.h"

namespace klimavo::base {
namespace {

namespace fs = std::filesystem;

class FileLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("klimavo_lock_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    guarded_ = dir_ / "acprotocl.dat";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Whether a forked child can take the lock of `path` without waiting.
  static bool ChildCanLock(const fs::path& path) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(FileLock::TryLock(path).has_value() ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  fs::path dir_;
  fs::path guarded_;
};

TEST_F(FileLockTest, LocksTheSeparateLockFileAndLeavesTheGuardedFileAlone) {
  {
    FileLock lock(guarded_);
    EXPECT_EQ(lock.LockFile(), dir_ / "acprotocl.dat.lock");
    EXPECT_TRUE(fs::exists(dir_ / "acprotocl.dat.lock"));
    EXPECT_FALSE(fs::exists(guarded_));
    EXPECT_FALSE(ChildCanLock(guarded_));
  }
  EXPECT_TRUE(ChildCanLock(guarded_));
  EXPECT_TRUE(fs::exists(dir_ / "acprotocl.dat.lock"));  // kept: removing it would split the lock
}

TEST_F(FileLockTest, AWaitingProcessGetsTheLockOnlyAfterItIsReleased) {
  auto lock = std::make_optional<FileLock>(guarded_);
  pid_t pid = ::fork();
  if (pid == 0) {
    FileLock waits(guarded_);
    ::_exit(0);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = 0;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the child took a lock that was held";
  lock.reset();
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(FileLockTest, ALinkAndItsTargetShareOneLock) {
  fs::create_directories(dir_ / "real");
  const fs::path target = dir_ / "real" / "acprotocl.dat";
  fs::create_symlink("real/acprotocl.dat", guarded_);  // a relative link
  FileLock lock(guarded_);
  EXPECT_EQ(lock.LockFile(), dir_ / "real" / "acprotocl.dat.lock");
  EXPECT_FALSE(ChildCanLock(target));
  EXPECT_FALSE(ChildCanLock(guarded_));
}

TEST_F(FileLockTest, TheSameProcessCannotLockTwiceButCanAfterRelease) {
  {
    FileLock lock(guarded_);
    EXPECT_THROW(FileLock again(guarded_), std::logic_error);
    FileLock moved(std::move(lock));  // moving keeps it held
    EXPECT_FALSE(ChildCanLock(guarded_));
  }
  EXPECT_NO_THROW(FileLock again(guarded_));
  // Another file has its own lock.
  FileLock first(guarded_);
  EXPECT_NO_THROW(FileLock other(dir_ / "picmem.dat"));
}

TEST_F(FileLockTest, ALockFileThatCannotBeCreatedIsAFileError) {
  EXPECT_THROW(FileLock lock(dir_ / "no-such-folder" / "acprotocl.dat"), FileError);
  // The failed attempt holds nothing.
  fs::create_directories(dir_ / "no-such-folder");
  EXPECT_NO_THROW(FileLock lock(dir_ / "no-such-folder" / "acprotocl.dat"));
}

}  // namespace
}  // namespace klimavo::base
