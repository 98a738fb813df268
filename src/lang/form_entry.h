#pragma once
// One entry of a window's section in Language.sil, parsed into what the GUI
// applies: "Caption" (a property of the window), "Font.Name"/"Font.Size" (the
// window's font), "lblBrand.Caption" (a property of a component),
// "grid.Col[3].Heading" (a grid column heading, a labeled edit's label, or a
// property of a sub-object). The parser knows no widgets; the GUI looks the
// names up and skips what it cannot find.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace klimavo::lang {

enum class EntryTarget {
  kInvalid,            ///< empty path, empty part, an unknown font entry or more than three parts
  kWindowProperty,     ///< one part: property of the window itself
  kFontName,           ///< FONT.NAME: the font name of the window and of every font it holds
  kFontSize,           ///< FONT.SIZE: the window's font size
  kComponentProperty,  ///< component.property
  kSubProperty,        ///< component.sub.property
};

struct FormEntryPath {
  EntryTarget target = EntryTarget::kInvalid;
  std::string component;  ///< empty for window and font entries
  std::string sub;        ///< the middle part of a three-part path, as written
  std::string property;   ///< the last part
  /// For a three-part path whose upper-cased middle part holds "COL": the
  /// number between "[" and "]", when there is one and it is an integer. A
  /// data grid sets the heading of that column to the value.
  std::optional<int> column;
};

/// Parses an entry path (trimmed, split at ".").
FormEntryPath ParseFormEntryPath(std::string_view path);
/// A value for a list-of-strings property: the items between commas. Item i
/// replaces line i of the list while i is below its current line count.
std::vector<std::string> SplitListValue(std::string_view value);
/// A value for an integer property; nullopt when it is not an integer (the
/// entry is then ignored).
std::optional<long long> EntryIntegerValue(std::string_view value);

}  // namespace klimavo::lang
