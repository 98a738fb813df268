#pragma once
// Helpers of the store tests: a scratch folder per test, whole-file reads, and
// a file-size limit that makes every write beyond a few bytes fail part-way
// (the way a full disk does), to show that a failed rewrite leaves the old
// file intact and no temporary file behind.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/byte_io.h"

namespace klimavo::store::testing {

namespace fs = std::filesystem;

inline fs::path ScratchDir(const std::string& suite) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path dir = fs::temp_directory_path() / ("klimavo_" + suite + "_" + info->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline base::Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return base::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const base::Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

/// The names of the files in a folder, sorted.
inline std::vector<std::string> FileNames(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

/// While alive, no process write may make a file larger than `bytes`: the
/// write fails with EFBIG (SIGXFSZ is ignored) after writing what fits.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*old_handler_)(int) = nullptr;
};

}  // namespace klimavo::store::testing
