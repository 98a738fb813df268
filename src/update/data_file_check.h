#pragma once
// Whether a downloaded data file reads as the workbench reads that file: an
// update installs nothing that its reader would refuse (an HTML error page
// served under the library's name must not replace a good library).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace klimavo::update {

/// Why `bytes`, downloaded under the plain file name `name`, is not a data file
/// of its kind; nullopt when its reader accepts it. Known kinds: the protocol
/// library (loads cleanly), the picture store (its length field and entries add
/// up), the template (exactly one record image), the language files (the
/// texts have section 1 with texts, the names file names its languages).
/// Files of other names are not checked.
std::optional<std::string> DataFileProblem(std::string_view name, std::span<const std::uint8_t> bytes);

}  // namespace klimavo::update
