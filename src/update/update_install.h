#pragma once
// Installing downloaded update files into the data folder, all or nothing:
// every new file is written in full and flushed beside its target before any
// old file is replaced, and should a replacement fail, the files already
// replaced get their old contents back (base::WriteFilesAtomically). A reader
// never sees a half-written file. The dates of the files are then recorded in
// section `updateinfo`.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "update/update_list.h"
#include "update/update_outcome.h"

namespace klimavo::update {

/// <home>/Update: where downloads are kept.
std::filesystem::path UpdateDir(const std::filesystem::path& home);
/// <home>/Backup: the copy of each data file that an update last replaced,
/// under its own name, to restore it from.
std::filesystem::path BackupDir(const std::filesystem::path& home);

/// Writes a file into `folder` (UpdateDir or BackupDir of a home), which must
/// be a real folder (not a symbolic link; created, private, when missing). The
/// file is written under a temporary name and renamed over `name`, which is
/// never followed as a link: a link planted there is replaced, not written
/// through. Throws base::FileError.
void WriteHomeFolderFile(const std::filesystem::path& folder, const std::filesystem::path& name,
                         std::span<const std::uint8_t> bytes);
/// Reads a file of such a folder without following a link; only a regular file
/// is read. Throws base::FileError.
base::Bytes ReadHomeFolderFile(const std::filesystem::path& folder, const std::filesystem::path& name);

/// Why the update of `files` must not go on: the home's library or picture
/// store is damaged and the update would replace one of them (an update treats
/// a damaged file as every writer does: it never replaces it, so the records it
/// still holds can be rescued). nullopt when the update may go on.
std::optional<FailedFile> DamagedStoreFile(const std::filesystem::path& home,
                                           const std::vector<ListedFile>& files);
/// The file-system name of a listed name (GBK bytes -> UTF-8). Only for names
/// IsPlainFileName accepts.
std::filesystem::path LocalFileName(std::string_view name);

struct InstallResult {
  /// The files that replaced their old copies: all of them, or none.
  std::vector<ListedFile> copied;
  /// The copies of the replaced files kept in BackupDir(home).
  std::vector<std::filesystem::path> kept;
  /// Why installing failed (nothing copied), or why the dates of the copied
  /// files could not be recorded; empty on success.
  std::string error;
};

/// Installs `files` (plain names, each downloaded into UpdateDir(home)) into
/// the data folder of `home` and records their dates in its config.ini. Each
/// downloaded file must read as its reader reads it (DataFileProblem), and the
/// library and picture store must not be damaged (DamagedStoreFile), or
/// nothing is installed. A copy of each file about to be replaced is kept in
/// BackupDir(home) first. While
/// it replaces the protocol library or the picture store it holds the locks of
/// both (store::StoreLock, waiting for another process that holds them), so no
/// other process of the workbench reads or writes them meanwhile. A data file
/// that is a symbolic link is replaced where the link points, as saves do.
InstallResult InstallFiles(const std::filesystem::path& home, const std::vector<ListedFile>& files);

}  // namespace klimavo::update
