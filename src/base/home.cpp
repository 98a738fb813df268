#include "base/home.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "base/file_error.h"

#ifndef KLIMAVO_SEED_DIR
#define KLIMAVO_SEED_DIR ""
#endif

namespace klimavo::base {
namespace fs = std::filesystem;
namespace {

fs::path ExecutableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

/// Present in a home while it is being seeded.
constexpr const char* kSeedingMarker = ".klimavo-seeding";

bool IsEmptyDir(const fs::path& dir) {
  std::error_code ec;
  return fs::is_directory(dir, ec) && fs::is_empty(dir, ec);
}

}  // namespace

fs::path ResolveHome(const std::optional<fs::path>& explicit_home) {
  if (explicit_home && !explicit_home->empty()) return *explicit_home;
  if (const char* env = std::getenv("KLIMAVO_HOME"); env && *env) return env;
  fs::path exe_dir = ExecutableDir();
  std::error_code ec;
  if (!exe_dir.empty() && fs::is_directory(exe_dir / "data", ec)) return exe_dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return fs::path(xdg) / "klimavo";
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local/share/klimavo";
  return fs::current_path() / "klimavo-home";
}

fs::path BundledSeedDir() {
  fs::path installed = ExecutableDir() / "../share/klimavo/seed";
  std::error_code ec;
  if (fs::is_directory(installed, ec)) return fs::weakly_canonical(installed, ec);
  return fs::path(KLIMAVO_SEED_DIR);
}

bool EnsureHomeSeeded(const fs::path& home, const fs::path& seed_dir) {
  std::error_code ec;
  bool exists = fs::exists(home, ec);
  if (exists && !fs::is_directory(home, ec)) throw FileError(home, "is not a folder");
  const fs::path marker = home / kSeedingMarker;
  const bool unfinished = fs::exists(marker, ec);
  if (exists && !IsEmptyDir(home) && !unfinished) return false;
  fs::create_directories(home, ec);
  if (ec) throw FileError(home, "cannot create the folder: " + ec.message());
  // The marker stays until every seed file is in place: a home seeded part-way
  // (a full disk, a killed process) is seeded again, over what it has, at the
  // next start. A home without the marker is the user's and is left alone.
  if (!unfinished) {
    std::ofstream out(marker);
    out << "seeding of this home has not finished; it is completed at the next start\n";
    out.close();
    if (!out) throw FileError(marker, "cannot write");
  }
  if (!seed_dir.empty() && fs::is_directory(seed_dir, ec)) {
    fs::copy(seed_dir, home, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) throw FileError(home, "cannot seed from " + seed_dir.string() + ": " + ec.message());
  }
  fs::create_directories(DataDir(home), ec);
  fs::create_directories(BinnDir(home), ec);
  if (!fs::remove(marker, ec) || ec) throw FileError(marker, "cannot remove: " + ec.message());
  return true;
}

fs::path PrepareHome(const std::optional<fs::path>& explicit_home) {
  fs::path home = ResolveHome(explicit_home);
  EnsureHomeSeeded(home, BundledSeedDir());
  return home;
}

fs::path ConfigPath(const fs::path& home) { return home / "config.ini"; }

fs::path DataDir(const fs::path& home) {
  std::error_code ec;
  if (!fs::is_directory(home / "data", ec) && fs::is_directory(home / "Data", ec)) return home / "Data";
  return home / "data";
}

fs::path BinnDir(const fs::path& home) { return home / "Binn"; }

namespace {

bool SameFile(const struct stat& target, const fs::path& file) {
  struct stat other {};
  return ::stat(file.c_str(), &other) == 0 && other.st_dev == target.st_dev && other.st_ino == target.st_ino;
}

/// Where a file that does not exist yet would be made: a file of the home
/// when its folder is data/ or Binn/ (the workbench reads files there by
/// name, so a new one can take the place of a data file it lacks), or when it
/// is the home's config.ini. Links on the way are followed.
std::optional<fs::path> NewHomeFileAt(const fs::path& home, const fs::path& output) {
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(fs::absolute(output, ec), ec);
  if (ec || !resolved.has_filename()) return std::nullopt;
  struct stat folder {};
  if (::stat(resolved.parent_path().c_str(), &folder) != 0) return std::nullopt;
  for (const fs::path& dir : {DataDir(home), BinnDir(home)})
    if (SameFile(folder, dir)) return dir / resolved.filename();
  if (SameFile(folder, home) && resolved.filename() == ConfigPath(home).filename()) return ConfigPath(home);
  return std::nullopt;
}

}  // namespace

std::optional<fs::path> HomeFileAt(const fs::path& home, const fs::path& output) {
  struct stat target {};
  if (::stat(output.c_str(), &target) != 0) return NewHomeFileAt(home, output);
  const auto same = [&target](const fs::path& file) { return SameFile(target, file); };
  if (same(ConfigPath(home))) return ConfigPath(home);
  for (const fs::path& dir : {DataDir(home), BinnDir(home)}) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      if (same(it->path())) return it->path();
  }
  return std::nullopt;
}

}  // namespace klimavo::base
