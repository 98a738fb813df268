#pragma once
// The update server's list "up.txt" (lines of name=value: softid, msg,
// filecount, filename<i>, filedate<i>) and its comparison with the dates of the
// installed files, recorded per file name in section `updateinfo` of config.ini.
//
// The list comes from the network, so reading it is bounded: the text is read
// only up to kMaxListBytes, and a file count above kMaxListedFiles makes the
// list unreadable. File names are GBK bytes as the list holds them; a name is
// used to build paths only after IsPlainFileName has accepted it.

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klimavo::update {

/// The largest "up.txt" a download accepts (bytes); a longer one is stopped.
inline constexpr std::size_t kMaxListBytes = 256 * 1024;
/// The most files a list may announce.
inline constexpr long long kMaxListedFiles = 4096;
/// The longest file name accepted (bytes), as the update dialog's list holds it.
inline constexpr std::size_t kMaxFileNameBytes = 254;
/// From this `softid` on, the automatic check announces an update without
/// looking at the files.
inline constexpr long long kSoftIdForcesUpdate = 3;

/// One file of the list (GBK bytes, trimmed).
struct ListedFile {
  std::string name;
  std::string date;
  friend bool operator==(const ListedFile&, const ListedFile&) = default;
};

/// What "up.txt" says.
struct UpdateList {
  /// Key `softid` is present and not empty.
  bool has_softid = false;
  /// `softid` as an integer, 0 when it is not one.
  long long softid = 0;
  /// Key `msg` (GBK).
  std::string msg;
  /// False when `filecount` is missing, not an integer, or above kMaxListedFiles.
  bool count_readable = false;
  /// `filename`i / `filedate`i for i = 0 .. filecount - 1 (a missing key reads empty).
  std::vector<ListedFile> files;
};

/// Reads the text of "up.txt" (LF or CR LF lines; keys without regard to ASCII
/// letter case; the first occurrence of a key counts; names and values trimmed).
/// Never fails: what cannot be read stays at its empty value.
UpdateList ParseUpdateList(std::string_view text);

/// Recorded dates of the installed files: the entries of section `updateinfo`.
/// Looked up without regard to ASCII letter case, as config.ini keys are.
class RecordedDates {
 public:
  RecordedDates() = default;
  /// Reads section `updateinfo` of config.ini (a missing file is empty).
  /// Throws base::FileError when the file exists but cannot be read.
  static RecordedDates Load(const std::filesystem::path& config_ini);
  void Set(std::string_view name, std::string_view date);
  /// The recorded date; empty when none is recorded (and for an empty name).
  std::string DateOf(std::string_view name) const;

 private:
  std::map<std::string, std::string> dates_;  // upper-cased name -> date
};

/// The files of the list whose published date differs, in any character, from
/// the recorded one, in list order. Empty when the file count is unreadable.
std::vector<ListedFile> ChangedFiles(const UpdateList& list, const RecordedDates& recorded);

/// The verdict of the automatic check on a downloaded list: no `softid` means
/// no update; a `softid` of 3 or more means update; otherwise update when the
/// file count is readable and above 0 and one file has changed.
bool AutoCheckFindsUpdate(const UpdateList& list, const RecordedDates& recorded);

/// True for a name that can only name a file directly inside the data folder:
/// 1 to 254 bytes of valid GBK text, no path separator ('/' '\'), no drive or
/// stream colon, no control character, none of the characters that no file
/// name may hold on common systems (* ? " < > |), no '=' (the name is a key of
/// config.ini), not starting with '.' (so neither "." nor ".." nor a hidden
/// file), '[' or ';' (which config.ini would read as a section or a comment),
/// no blank at either end, and not ending in ".lock" (the workbench's lock
/// files beside the library and the picture store).
bool IsPlainFileName(std::string_view name);

/// Writes each (name, date) into section `updateinfo` of config.ini (one
/// atomic rewrite). Throws base::FileError.
void RecordDates(const std::filesystem::path& config_ini, const std::vector<ListedFile>& files);

}  // namespace klimavo::update
