#pragma once
// The library list of the main window without the window: which records a
// keyword and the learn filter let through, and in which order they are shown.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "store/protocol_record.h"

namespace klimavo::store {

/// Sort keys of the list: brand, code number, memo, change time.
enum class LibrarySortColumn { kBrand = 0, kCode = 1, kMemo = 2, kTime = 3 };

struct LibraryListQuery {
  std::string keyword;           ///< GBK; upper-cased (ASCII letters) and trimmed before use
  int language_no = 1;           ///< 2 shows and searches the Chinese memo, else the English one
  bool learn_filter_on = false;  ///< only the records listed in learn_filter_hits
  std::vector<int> learn_filter_hits;
  int sort_column = 0;      ///< 0 brand, 1 code, 2 memo, 3 change time; others sort by brand
  bool descending = false;  ///< rows in reverse order
};

/// One row of the list (texts GBK as stored).
struct LibraryListRow {
  int index = 0;
  std::string brand;
  std::string code;
  std::string memo;
  std::string change_time;  ///< "yy-mm-dd hh:nn"
};

/// The rows of the library list for a query, in display order.
std::vector<LibraryListRow> BuildLibraryList(const TdiskAirList& library, const LibraryListQuery& query);

/// The library list of a large library: the upper-cased search texts are
/// prepared once per library and language and each sort order once per
/// column, so that a keyword, the learn filter or a sort only walks a vector
/// of library indices. Gives the rows BuildLibraryList gives.
class LibraryListOrder {
 public:
  /// Prepares the texts of `library` in language `language_no` (2 Chinese
  /// memos, else English) and forgets the sort orders. `library` must outlive
  /// the next Rows and must not change before Prepare is called again.
  void Prepare(const TdiskAirList& library, int language_no);
  /// The library indices of the rows for `query` (its language_no is the
  /// prepared one), in display order.
  std::vector<int> Rows(const LibraryListQuery& query);

 private:
  const std::vector<int>& Ascending(int column);
  /// Field `field` (0 brand, 1 code number, 2 memo) of record `index`, upper-cased.
  std::string_view SearchText(std::size_t index, std::size_t field) const;

  const TdiskAirList* library_ = nullptr;
  bool chinese_ = false;
  // The upper-cased brand, code number and memo of every record one after
  // another in one block, so a keyword walks memory in order; text_starts_
  // holds where each field starts (three per record) and where the last ends.
  std::string texts_;
  std::vector<std::size_t> text_starts_;
  std::array<std::vector<int>, 4> ascending_;  ///< per sort column, built on first use
};

/// Upper-cases the ASCII letters of a GBK text, leaving two-byte characters whole.
std::string UpperGbk(std::string_view gbk);
/// True when `needle` occurs in `haystack` starting on a character boundary.
bool ContainsGbk(std::string_view haystack, std::string_view needle);
/// Case-insensitive order of two GBK texts (ASCII letters fold; other bytes by value).
int CompareTextIgnoreCase(std::string_view a, std::string_view b);

}  // namespace klimavo::store
