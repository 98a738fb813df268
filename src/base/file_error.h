#pragma once
// File errors surface as exceptions: the GUI shows them, the CLI prints them and
// exits with a non-zero status. Decoders and generators never throw; they report
// failure by result.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace klimavo::base {

class FileError : public std::runtime_error {
 public:
  FileError(const std::filesystem::path& path, const std::string& what)
      : std::runtime_error(path.string() + ": " + what), path_(path) {}
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace klimavo::base
