#include "base/home.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "base/file_error.h"

namespace klimavo::base {
namespace {

namespace fs = std::filesystem;

// The files under a folder (relative path -> contents).
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    files[fs::relative(e.path(), root).string()] = {std::istreambuf_iterator<char>(in), {}};
  }
  return files;
}

class HomeSeeding : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("klimavo_home_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    seed_ = root_ / "seed";
    home_ = root_ / "home";
    fs::create_directories(seed_ / "data");
    fs::create_directories(seed_ / "Binn");
    std::ofstream(seed_ / "config.ini") << "[Config]\nlang=1\n";
    std::ofstream(seed_ / "data" / "Language.ini") << std::string(3000, 'L');
    std::ofstream(seed_ / "data" / "acprotocl.dat") << std::string(40000, 'A');
    std::ofstream(seed_ / "Binn" / "ColorItems.clr") << std::string(2000, 'C');
  }
  void TearDown() override { fs::remove_all(root_); }

  // Seeds the home in a child whose files may not grow past `limit` bytes (a
  // full disk part-way through); returns the child's exit status.
  int SeedOnAFullDisk(rlim_t limit) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      rlimit rl{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &rl);
      try {
        EnsureHomeSeeded(home_, seed_);
      } catch (const FileError&) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path root_, seed_, home_;
};

TEST_F(HomeSeeding, AHomeSeededPartWayIsCompletedAtTheNextStart) {
  ASSERT_EQ(SeedOnAFullDisk(10000), 3);
  ASSERT_TRUE(fs::exists(home_));
  EXPECT_NE(Tree(home_), Tree(seed_)) << "the full disk should have stopped the seeding";
  // The next start finds the unfinished seeding and completes it.
  EXPECT_TRUE(EnsureHomeSeeded(home_, seed_));
  EXPECT_EQ(Tree(home_), Tree(seed_));
  EXPECT_FALSE(fs::exists(home_ / ".klimavo-seeding"));
  EXPECT_FALSE(EnsureHomeSeeded(home_, seed_));
}

TEST_F(HomeSeeding, ASeededHomeIsTheUsersAndIsLeftAlone) {
  EXPECT_TRUE(EnsureHomeSeeded(home_, seed_));
  EXPECT_EQ(Tree(home_), Tree(seed_));
  // The user empties the library and changes the configuration.
  fs::remove(home_ / "data" / "acprotocl.dat");
  std::ofstream(home_ / "config.ini") << "[Config]\nlang=2\n";
  const auto before = Tree(home_);
  EXPECT_FALSE(EnsureHomeSeeded(home_, seed_));
  EXPECT_EQ(Tree(home_), before);
}

TEST_F(HomeSeeding, AnEmptyFolderIsSeededAndAFileIsNoHome) {
  fs::create_directories(home_);
  EXPECT_TRUE(EnsureHomeSeeded(home_, seed_));
  EXPECT_EQ(Tree(home_), Tree(seed_));
  std::ofstream(root_ / "file") << "x";
  EXPECT_THROW(EnsureHomeSeeded(root_ / "file", seed_), FileError);
}

}  // namespace
}  // namespace klimavo::base
