#pragma once
// Installing downloaded update files into the data folder, all or nothing:
// every new file is written in full and flushed beside its target before any
// old file is replaced, and should a replacement fail, the files already
// replaced get their old contents back (base::WriteFilesAtomically). A reader
// never sees a half-written file. The dates of the files are then recorded in
// section `updateinfo`.

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
  /// The files that replaced their old copies: all of them, or none.
  std::vector<ListedFile> copied;
  /// Why installing failed (nothing copied), or why the dates of the copied
  /// files could not be recorded; empty on success.
  std::string error;
};

/// Installs `files` (plain names, each downloaded into UpdateDir(home)) into
/// the data folder of `home` and records their dates in its config.ini. While
/// it replaces the protocol library or the picture store it holds the locks of
/// both (store::StoreLock, waiting for another process that holds them), so no
/// other process of the workbench reads or writes them meanwhile. A data file
/// that is a symbolic link is replaced where the link points, as saves do.
InstallResult InstallFiles(const std::filesystem::path& home, const std::vector<ListedFile>& files);

}  // namespace klimavo::update
