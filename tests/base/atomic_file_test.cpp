#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_error.h"

namespace klimavo::base {
namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("klimavo_atomic_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
  }
  std::vector<std::string> Names(const fs::path& dir) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(AtomicFile, ALinkIsWrittenThroughAndStaysALink) {
  fs::create_directories(dir_ / "shared");
  Write(dir_ / "shared" / "acprotocl.dat", "old");
  fs::create_symlink("shared/acprotocl.dat", dir_ / "middle.dat");  // relative
  fs::create_symlink(dir_ / "middle.dat", dir_ / "acprotocl.dat");  // absolute, to another link
  WriteFileAtomically(dir_ / "acprotocl.dat", std::string_view("new"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "acprotocl.dat"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "middle.dat"));
  EXPECT_EQ(Read(dir_ / "shared" / "acprotocl.dat"), "new");
  EXPECT_EQ(Names(dir_ / "shared"), std::vector<std::string>{"acprotocl.dat"});

  // A link to a file that does not exist yet creates that file.
  fs::create_symlink("shared/fresh.dat", dir_ / "fresh.dat");
  WriteFileAtomically(dir_ / "fresh.dat", std::string_view("x"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "fresh.dat"));
  EXPECT_EQ(Read(dir_ / "shared" / "fresh.dat"), "x");
}

TEST_F(AtomicFile, ALinkLoopIsAFileError) {
  fs::create_symlink("b", dir_ / "a");
  fs::create_symlink("a", dir_ / "b");
  EXPECT_THROW(WriteFileAtomically(dir_ / "a", std::string_view("x")), FileError);
}

TEST_F(AtomicFile, SeveralFilesAreAllReplaced) {
  Write(dir_ / "one", "1");
  const std::string two = "second file";
  WriteFilesAtomically({{dir_ / "one", AsBytes("first")}, {dir_ / "two", AsBytes(two)}});
  EXPECT_EQ(Read(dir_ / "one"), "first");
  EXPECT_EQ(Read(dir_ / "two"), "second file");
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"one", "two"}));
}

TEST_F(AtomicFile, ARenameThatFailsPutsBackTheFilesAlreadyReplaced) {
  // The third target is a folder: its rename fails after the first two files
  // were replaced, and they get their old state back (the new one disappears).
  Write(dir_ / "one", "old one");
  fs::create_directories(dir_ / "folder");
  EXPECT_THROW(WriteFilesAtomically({{dir_ / "one", AsBytes("new one")},
                                     {dir_ / "two", AsBytes("new two")},
                                     {dir_ / "folder", AsBytes("x")}}),
               FileError);
  EXPECT_EQ(Read(dir_ / "one"), "old one");
  EXPECT_FALSE(fs::exists(dir_ / "two"));
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"folder", "one"}));
}

TEST_F(AtomicFile, AFullDiskWhileWritingChangesNoFile) {
  Write(dir_ / "one", "old one");
  Write(dir_ / "two", "old two");
  const std::string big(50000, 'b');
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{20000, 20000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFilesAtomically({{dir_ / "one", AsBytes("new one")}, {dir_ / "two", AsBytes(big)}});
    } catch (const FileError&) {
      ::_exit(3);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(Read(dir_ / "one"), "old one");
  EXPECT_EQ(Read(dir_ / "two"), "old two");
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"one", "two"}));
}

TEST_F(AtomicFile, AFileWrittenInPiecesHoldsThePiecesInOrder) {
  Write(dir_ / "one", "old");
  WriteFileAtomicallyFrom(dir_ / "one", [](const ByteSink& sink) {
    sink(AsBytes("first "));
    sink(AsBytes(""));
    sink(AsBytes("second"));
  });
  EXPECT_EQ(Read(dir_ / "one"), "first second");
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"one"}));
}

TEST_F(AtomicFile, AFailureWhileProducingThePiecesLeavesTheOldFile) {
  Write(dir_ / "one", "old one");
  EXPECT_THROW(WriteFileAtomicallyFrom(dir_ / "one",
                                       [](const ByteSink& sink) {
                                         sink(AsBytes("half of it"));
                                         throw std::runtime_error("the rest cannot be made");
                                       }),
               std::runtime_error);
  EXPECT_EQ(Read(dir_ / "one"), "old one");
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"one"}));
}

TEST_F(AtomicFile, AFullDiskWhileWritingPiecesIsAFileErrorAndChangesNothing) {
  Write(dir_ / "one", "old one");
  const std::string piece(8000, 'p');
  pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{20000, 20000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      WriteFileAtomicallyFrom(dir_ / "one", [&](const ByteSink& sink) {
        for (int i = 0; i < 5; ++i) sink(AsBytes(piece));
      });
    } catch (const FileError& e) {
      ::_exit(std::string(e.what()).find("cannot write") != std::string::npos ? 3 : 4);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(Read(dir_ / "one"), "old one");
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"one"}));
}

TEST_F(AtomicFile, StaleTemporaryFilesOfOneFileAreRemovedAndNothingElse) {
  const struct {
    const char* name;
    bool removed;
  } cases[] = {
      {".acprotocl.dat.Ab12Cd", true},   {".acprotocl.dat.zzzzzz", true},  {".acprotocl.dat.Ab12C", false},
      {".acprotocl.dat.Ab12Cde", false}, {".acprotocl.dat.Ab-2Cd", false}, {"acprotocl.dat.Ab12Cd", false},
      {".picmem.dat.Ab12Cd", false},     {"acprotocl.dat", false},         {"acprotocl.dat.lock", false},
  };
  for (const auto& c : cases) Write(dir_ / c.name, "x");
  EXPECT_EQ(RemoveStaleTemporaryFiles(dir_ / "acprotocl.dat"), 2);
  for (const auto& c : cases) EXPECT_EQ(fs::exists(dir_ / c.name), !c.removed) << c.name;
}

}  // namespace
}  // namespace klimavo::base
