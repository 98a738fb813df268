#pragma once
// Installing downloaded update files into the data folder, all or nothing as
// far as the file system allows: every file is first staged next to its
// target (written and flushed in full), and only when all are staged are they
// renamed over their old copies, so a reader never sees a half-written file
// and a failure while staging leaves every old file in place. The dates of the
// files that were replaced are then recorded in section `updateinfo`.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "update/update_list.h"

namespace klimavo::update {

/// <home>/Update: where downloads are kept.
std::filesystem::path UpdateDir(const std::filesystem::path& home);
/// The file-system name of a listed name (GBK bytes -> UTF-8). Only for names
/// IsPlainFileName accepts.
std::filesystem::path LocalFileName(std::string_view name);

struct InstallResult {
  /// The files that replaced their old copies (their dates are recorded).
  std::vector<ListedFile> copied;
  /// Why installing stopped; empty when every file was copied and recorded.
  std::string error;
};

/// Installs `files` (plain names, each downloaded into UpdateDir(home)) into
/// the data folder of `home` and records their dates in its config.ini. While
/// it replaces the protocol library or the picture store it holds that file's
/// lock (base::FileLock, waiting for another process that holds it), so no
/// other process of the workbench reads or writes it meanwhile. A data file
/// that is a symbolic link is replaced where the link points, as saves do.
InstallResult InstallFiles(const std::filesystem::path& home, const std::vector<ListedFile>& files);

}  // namespace klimavo::update
