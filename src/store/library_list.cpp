#include "store/library_list.h"

#include <algorithm>
#include <unordered_set>

#include "base/date_time.h"
#include "base/text.h"

namespace klimavo::store {
namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length of the character starting at position i (a lead byte with a trail is two).
std::size_t CharLength(std::string_view s, std::size_t i) {
  return IsGbkLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

struct SortEntry {
  std::string key;
  int index;
};

std::string SortKey(const TdiskAir& record, const std::string& memo, int column) {
  switch (column) {
    case static_cast<int>(LibrarySortColumn::kCode): return base::TrimRight(record.CodeNo.str());
    case static_cast<int>(LibrarySortColumn::kMemo): return base::TrimRight(memo);
    case static_cast<int>(LibrarySortColumn::kTime): return base::FormatShortDateTime(record.ChangeTime);
    default: return base::TrimRight(record.Brand.str());
  }
}

}  // namespace

std::string UpperGbk(std::string_view gbk) {
  std::string out(gbk);
  for (std::size_t i = 0; i < out.size(); i += CharLength(out, i)) {
    out[i] = static_cast<char>(FoldAscii(static_cast<unsigned char>(out[i])));
  }
  return out;
}

bool ContainsGbk(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return true;
  for (std::size_t i = 0; i + needle.size() <= haystack.size(); i += CharLength(haystack, i)) {
    if (haystack.compare(i, needle.size(), needle) == 0) return true;
  }
  return false;
}

int CompareTextIgnoreCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
    unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<LibraryListRow> BuildLibraryList(const TdiskAirList& library, const LibraryListQuery& query) {
  const std::string keyword = UpperGbk(base::Trim(query.keyword));
  const bool chinese = query.language_no == 2;
  std::unordered_set<int> hits(query.learn_filter_hits.begin(), query.learn_filter_hits.end());
  std::vector<SortEntry> entries;
  entries.reserve(library.size());
  for (std::size_t i = 0; i < library.size(); ++i) {
    const TdiskAir& r = library[i].Record;
    const int index = static_cast<int>(i);
    std::string memo = chinese ? r.MemoCn.str() : r.MemoEn.str();
    if (!keyword.empty() && !ContainsGbk(UpperGbk(r.Brand.str()), keyword) &&
        !ContainsGbk(UpperGbk(r.CodeNo.str()), keyword) && !ContainsGbk(UpperGbk(memo), keyword))
      continue;
    if (query.learn_filter_on && !hits.contains(index)) continue;
    entries.push_back(SortEntry{SortKey(r, memo, query.sort_column), index});
  }
  // Equal keys keep library order, so the list does not shuffle between refreshes.
  std::stable_sort(entries.begin(), entries.end(), [](const SortEntry& a, const SortEntry& b) {
    return CompareTextIgnoreCase(a.key, b.key) < 0;
  });
  if (query.descending) std::reverse(entries.begin(), entries.end());
  std::vector<LibraryListRow> rows;
  rows.reserve(entries.size());
  for (const SortEntry& e : entries) {
    const TdiskAir& r = library[static_cast<std::size_t>(e.index)].Record;
    rows.push_back(LibraryListRow{e.index, r.Brand.str(), r.CodeNo.str(), chinese ? r.MemoCn.str() : r.MemoEn.str(),
                                  base::FormatShortDateTime(r.ChangeTime)});
  }
  return rows;
}

}  // namespace klimavo::store
