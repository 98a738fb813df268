#pragma once
// GBK text at the edges of the workbench. Records, library files and language
// files hold GBK bytes; JSON, the CLI and the GUI speak UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace klimavo::base {

/// Converts GBK bytes to UTF-8; bytes that are not GBK become U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
/// Converts UTF-8 to GBK; nullopt when the text holds a character GBK lacks
/// or is not valid UTF-8.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
/// Length in bytes of the longest prefix of `gbk` that is at most `max_bytes`
/// long and does not end inside a two-byte character.
std::size_t GbkCutLength(std::string_view gbk, std::size_t max_bytes);
/// The prefix of GbkCutLength.
std::string GbkCut(std::string_view gbk, std::size_t max_bytes);

}  // namespace klimavo::base
