#pragma once
// A throw-away workbench home for the update tests: config.ini with recorded
// dates and a data folder with an old library and picture store, plus a
// snapshot of every file so a test can prove that nothing changed.

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "store/library.h"
#include "store/picture_store.h"

namespace klimavo::testing {

/// A library file that loads cleanly (no records), told apart by its stamp.
inline std::string LibraryText(double stamp) {
  const base::Bytes bytes = store::LibraryFileBytes({}, stamp);
  return std::string(bytes.begin(), bytes.end());
}
/// A picture store with one entry whose model name is `name`.
inline std::string PicturesText(const std::string& name) {
  const base::Bytes bytes =
      store::PictureFileBytes({store::MakeRawEntry("0001", store::TMemPic_Info{{name}, {}})});
  return std::string(bytes.begin(), bytes.end());
}
inline const std::string kOldLibrary = LibraryText(1);
inline const std::string kNewLibrary = LibraryText(2);
inline const std::string kOldPictures = PicturesText("old");
inline const std::string kNewPictures = PicturesText("new");

/// A folder in the temporary directory that no other test process uses.
inline std::filesystem::path TempFolder(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("klimavo-" + name + "-" + std::to_string(::getpid()));
}

class UpdateHome {
 public:
  explicit UpdateHome(const std::string& name) : path_(TempFolder("update-" + name)) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_ / "data");
    Write("data/acprotocl.dat", kOldLibrary);
    Write("data/picmem.dat", kOldPictures);
    Write("config.ini", "[Config]\nlang=1\n[updateinfo]\nacprotocl.dat=2024-01-01\npicmem.dat=2024-01-01\n");
  }
  ~UpdateHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  UpdateHome(const UpdateHome&) = delete;
  UpdateHome& operator=(const UpdateHome&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void Write(const std::string& relative, const std::string& text) const {
    std::ofstream(path_ / relative, std::ios::binary) << text;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  /// Every file of the data folder and config.ini with its contents. The empty
  /// lock files beside the library and the picture store are left out: taking
  /// a lock creates its file, and it stays.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_ / "data")) {
      const std::string relative = entry.path().lexically_relative(path_).string();
      if (entry.is_regular_file() && !(relative.ends_with(".lock") && Read(relative).empty()))
        files[relative] = Read(relative);
    }
    files["config.ini"] = Read("config.ini");
    return files;
  }

 private:
  std::filesystem::path path_;
};

/// The list a server publishes for the given (name, date) pairs.
inline std::string ListText(std::initializer_list<std::pair<std::string, std::string>> files, int softid = 1,
                            const std::string& msg = "") {
  std::string text = "softid=" + std::to_string(softid) + "\r\nmsg=" + msg +
                     "\r\nfilecount=" + std::to_string(files.size()) + "\r\n";
  int i = 0;
  for (const auto& [name, date] : files) {
    text += "filename" + std::to_string(i) + "=" + name + "\r\nfiledate" + std::to_string(i) + "=" + date +
            "\r\n";
    ++i;
  }
  return text;
}

}  // namespace klimavo::testing
