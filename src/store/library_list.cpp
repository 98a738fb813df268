#include "store/library_list.h"

#include <algorithm>

#include "base/date_time.h"
#include "base/text.h"

namespace klimavo::store {
namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length of the character starting at position i (a lead byte with a trail is two).
std::size_t CharLength(std::string_view s, std::size_t i) {
  return IsGbkLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

unsigned char FoldAscii(unsigned char c) {
  return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}

struct SortEntry {
  std::string key;
  int index;
};

std::string SortKey(const TdiskAir& record, const std::string& memo, int column) {
  switch (column) {
    case static_cast<int>(LibrarySortColumn::kCode):
      return base::TrimRight(record.CodeNo.str());
    case static_cast<int>(LibrarySortColumn::kMemo):
      return base::TrimRight(memo);
    case static_cast<int>(LibrarySortColumn::kTime):
      return base::FormatShortDateTime(record.ChangeTime);
    default:
      return base::TrimRight(record.Brand.str());
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
  // The first byte is compared alone first: most positions differ there.
  for (std::size_t i = 0; i + needle.size() <= haystack.size(); i += CharLength(haystack, i)) {
    if (haystack[i] == needle[0] && haystack.compare(i, needle.size(), needle) == 0) return true;
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
  LibraryListOrder order;
  order.Prepare(library, query.language_no);
  const bool chinese = query.language_no == 2;
  std::vector<LibraryListRow> rows;
  for (const int index : order.Rows(query)) {
    const TdiskAir& r = library[static_cast<std::size_t>(index)].Record;
    rows.push_back(LibraryListRow{index, r.Brand.str(), r.CodeNo.str(),
                                  chinese ? r.MemoCn.str() : r.MemoEn.str(),
                                  base::FormatShortDateTime(r.ChangeTime)});
  }
  return rows;
}

void LibraryListOrder::Prepare(const TdiskAirList& library, int language_no) {
  library_ = &library;
  chinese_ = language_no == 2;
  texts_.clear();
  text_starts_.clear();
  text_starts_.reserve(library.size() * 3 + 1);
  for (const LibraryRecord& entry : library) {
    const TdiskAir& r = entry.Record;
    for (const std::string& field :
         {r.Brand.str(), r.CodeNo.str(), chinese_ ? r.MemoCn.str() : r.MemoEn.str()}) {
      text_starts_.push_back(texts_.size());
      texts_ += UpperGbk(field);
    }
  }
  text_starts_.push_back(texts_.size());
  for (auto& order : ascending_) order.clear();
}

const std::vector<int>& LibraryListOrder::Ascending(int column) {
  std::vector<int>& order = ascending_[static_cast<std::size_t>(column)];
  if (order.size() == library_->size()) return order;
  std::vector<SortEntry> entries;
  entries.reserve(library_->size());
  for (std::size_t i = 0; i < library_->size(); ++i) {
    const TdiskAir& r = (*library_)[i].Record;
    entries.push_back(
        SortEntry{SortKey(r, chinese_ ? r.MemoCn.str() : r.MemoEn.str(), column), static_cast<int>(i)});
  }
  // Equal keys keep library order, so the list does not shuffle between refreshes.
  std::stable_sort(entries.begin(), entries.end(), [](const SortEntry& a, const SortEntry& b) {
    return CompareTextIgnoreCase(a.key, b.key) < 0;
  });
  order.clear();
  order.reserve(entries.size());
  for (const SortEntry& e : entries) order.push_back(e.index);
  return order;
}

std::string_view LibraryListOrder::SearchText(std::size_t index, std::size_t field) const {
  const std::size_t k = index * 3 + field;
  return std::string_view(texts_).substr(text_starts_[k], text_starts_[k + 1] - text_starts_[k]);
}

std::vector<int> LibraryListOrder::Rows(const LibraryListQuery& query) {
  if (!library_) return {};
  // A library that grew or shrank since it was prepared is prepared again,
  // so no row ever names a text that is not there.
  if (text_starts_.size() != library_->size() * 3 + 1) Prepare(*library_, chinese_ ? 2 : 1);
  const std::string keyword = UpperGbk(base::Trim(query.keyword));
  // Columns other than the four sort by brand.
  const int column = query.sort_column >= 0 && query.sort_column <= 3 ? query.sort_column : 0;
  const std::vector<int>& ascending = Ascending(column);
  std::vector<char> hit;
  if (query.learn_filter_on) {
    hit.assign(library_->size(), 0);
    for (int i : query.learn_filter_hits)
      if (i >= 0 && static_cast<std::size_t>(i) < hit.size()) hit[static_cast<std::size_t>(i)] = 1;
  }
  auto shown = [&](int index) {
    const auto i = static_cast<std::size_t>(index);
    if (query.learn_filter_on && !hit[i]) return false;
    if (keyword.empty()) return true;
    return ContainsGbk(SearchText(i, 0), keyword) || ContainsGbk(SearchText(i, 1), keyword) ||
           ContainsGbk(SearchText(i, 2), keyword);
  };
  std::vector<int> rows;
  rows.reserve(ascending.size());
  // Descending is the ascending order reversed, equal keys included.
  if (query.descending) {
    for (auto it = ascending.rbegin(); it != ascending.rend(); ++it)
      if (shown(*it)) rows.push_back(*it);
  } else {
    for (const int index : ascending)
      if (shown(index)) rows.push_back(index);
  }
  return rows;
}

}  // namespace klimavo::store
