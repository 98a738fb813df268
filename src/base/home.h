#pragma once
// The workbench home: the folder that holds config.ini, data/ (library, picture
// store, template, language files, work files) and Binn/ (colour schemes).
// Chosen by --home DIR, else $KLIMAVO_HOME, else the executable's folder when it
// holds data/, else the XDG data folder (~/.local/share/klimavo). A home that is
// missing or empty is created and seeded with the bundled data; a home whose
// seeding did not finish (a full disk) is seeded again at the next start.

#include <filesystem>
#include <optional>

namespace klimavo::base {

/// Resolves the home folder (does not create it).
std::filesystem::path ResolveHome(const std::optional<std::filesystem::path>& explicit_home);
/// The bundled seed data: <exe>/../share/klimavo/seed when installed, else the
/// build tree's seed folder.
std::filesystem::path BundledSeedDir();
/// Creates the home when missing and seeds it when empty, or when an earlier
/// seeding did not finish (its marker file .klimavo-seeding is still there:
/// the seed files are then copied again over what is there). Returns true when
/// it seeded. Throws FileError when the folder cannot be created or filled.
bool EnsureHomeSeeded(const std::filesystem::path& home, const std::filesystem::path& seed_dir);
/// ResolveHome + EnsureHomeSeeded with the bundled seed.
std::filesystem::path PrepareHome(const std::optional<std::filesystem::path>& explicit_home);

/// Paths inside a home. `data` and `Data` are one folder.
std::filesystem::path ConfigPath(const std::filesystem::path& home);
std::filesystem::path DataDir(const std::filesystem::path& home);
std::filesystem::path BinnDir(const std::filesystem::path& home);

/// The file of the home that writing to `output` would replace: config.ini or
/// a file in data/ or Binn/. Compared by identity (device and inode, links
/// followed), so another spelling, a hard link or a symbolic link to a data
/// file is found as well as its own name. An `output` that does not exist yet
/// is a file of the home when it would be made in data/ or Binn/ (the
/// workbench reads the files there by name) or as the home's config.ini.
/// nullopt otherwise.
std::optional<std::filesystem::path> HomeFileAt(const std::filesystem::path& home,
                                                const std::filesystem::path& output);

}  // namespace klimavo::base
