#include "store/library_list.h"

#include <gtest/gtest.h>

#include "base/date_time.h"
#include "store/library.h"

namespace klimavo::store {
namespace {

LibraryRecord Entry(const char* brand, const char* code, const char* memo_en, const char* memo_cn,
                    double time) {
  LibraryRecord e;
  InitRecord(e.Record, time);
  e.Record.Brand.assign(brand);
  e.Record.CodeNo.assign(code);
  e.Record.MemoEn.assign(memo_en);
  e.Record.MemoCn.assign(memo_cn);
  return e;
}

double At(int year, int month, int day, int hour, int minute) {
  return base::ToDateTime(base::LocalDateTime{year, month, day, hour, minute, 0, 0});
}

// GBK: 格力 (Gree), and a character whose trail byte is the letter 'A' (0x81 0x41).
const TdiskAirList& Library() {
  static const TdiskAirList library = {
      Entry("gree", "0149", "cool only", "\xB8\xF1\xC1\xA6", At(2023, 5, 1, 10, 0)),
      Entry("Midea ", "0150", "heat pump", "", At(2021, 1, 2, 3, 4)),
      Entry("Gree", "0003", "Gree window unit", "", At(2024, 12, 31, 23, 59)),
      Entry("fujitsu", "B100", "", "\x81\x41", At(2022, 6, 6, 6, 6)),
  };
  return library;
}

std::vector<int> Indices(const LibraryListQuery& q) {
  std::vector<int> out;
  for (const auto& row : BuildLibraryList(Library(), q)) out.push_back(row.index);
  return out;
}

TEST(LibraryList, KeywordFiltersBrandCodeAndMemoOfTheLanguage) {
  struct Case {
    const char* keyword;
    int language_no;
    std::vector<int> indices;
  };
  const Case cases[] = {
      {"", 1, {3, 0, 2, 1}},
      {"  gree ", 1, {0, 2}},        // trimmed, any case, brand and memo
      {"01", 1, {0, 1}},             // code
      {"PUMP", 1, {1}},              // English memo
      {"\xB8\xF1\xC1\xA6", 1, {}},   // the Chinese memo is not searched in English
      {"\xB8\xF1\xC1\xA6", 2, {0}},  // but is in Chinese
      {"a", 2, {1}},                 // "Midea"; the 'A' inside 0x81 0x41 is no letter
      {"nothing like it", 1, {}},
  };
  for (const Case& c : cases) {
    LibraryListQuery q;
    q.keyword = c.keyword;
    q.language_no = c.language_no;
    EXPECT_EQ(Indices(q), c.indices) << c.keyword;
  }
}

TEST(LibraryList, SortsByEachColumnAndReversesWhenDescending) {
  struct Case {
    int column;
    std::vector<int> ascending;
  };
  const Case cases[] = {
      {0, {3, 0, 2, 1}},  // brand: "gree" and "Gree" tie and keep library order
      {1, {2, 0, 1, 3}},  // code
      {2, {3, 0, 2, 1}},  // English memo: "" first
      {3, {1, 3, 0, 2}},  // change time
      {7, {3, 0, 2, 1}},  // any other column sorts by brand
  };
  for (const Case& c : cases) {
    LibraryListQuery q;
    q.sort_column = c.column;
    EXPECT_EQ(Indices(q), c.ascending) << c.column;
    q.descending = true;
    EXPECT_EQ(Indices(q), std::vector<int>(c.ascending.rbegin(), c.ascending.rend())) << c.column;
  }
}

TEST(LibraryList, LearnFilterKeepsOnlyItsHitsAndRowsCarryTheirTexts) {
  LibraryListQuery q;
  q.learn_filter_on = true;
  q.learn_filter_hits = {2, 1, 9};
  q.language_no = 2;
  auto rows = BuildLibraryList(Library(), q);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].index, 2);
  EXPECT_EQ(rows[1].index, 1);
  EXPECT_EQ(rows[1].brand, "Midea ");
  EXPECT_EQ(rows[1].code, "0150");
  EXPECT_EQ(rows[1].memo, "");
  EXPECT_EQ(rows[1].change_time, "21-01-02 03:04");
  q.keyword = "midea";
  EXPECT_EQ(BuildLibraryList(Library(), q).size(), 1u);
}

TEST(LibraryList, APreparedOrderAnswersEveryQueryAsAFreshListDoes) {
  // One order serves a user who types, sorts and filters in turn: its cached
  // sort orders must never leak from one query into the next.
  LibraryListOrder order;
  order.Prepare(Library(), 1);
  for (const char* keyword : {"", "GREE", "0", "unit"}) {
    for (int column : {3, 0, 2, 1, 7}) {
      for (bool descending : {false, true}) {
        for (bool learn : {false, true}) {
          LibraryListQuery q;
          q.keyword = keyword;
          q.sort_column = column;
          q.descending = descending;
          q.learn_filter_on = learn;
          q.learn_filter_hits = {0, 3, 2, -1, 40};
          EXPECT_EQ(order.Rows(q), Indices(q))
              << keyword << " " << column << " " << descending << " " << learn;
        }
      }
    }
  }
  // Prepared again for a changed library, it lists the new records.
  TdiskAirList bigger = Library();
  bigger.push_back(Entry("Aux", "0007", "", "", At(2020, 1, 1, 0, 0)));
  bigger.erase(bigger.begin());
  order.Prepare(bigger, 1);
  LibraryListQuery q;
  EXPECT_EQ(order.Rows(q), (std::vector<int>{3, 2, 1, 0}));
  q.sort_column = 1;
  EXPECT_EQ(order.Rows(q), (std::vector<int>{1, 3, 0, 2}));
}

TEST(LibraryList, GbkHelpersRespectTwoByteCharacters) {
  EXPECT_EQ(UpperGbk("ab\x81\x61z"), "AB\x81\x61Z");
  EXPECT_TRUE(ContainsGbk("x\x81\x41", "\x81\x41"));
  EXPECT_FALSE(ContainsGbk("x\x81\x41", "A"));
  EXPECT_LT(CompareTextIgnoreCase("apple", "Banana"), 0);
  EXPECT_EQ(CompareTextIgnoreCase("GREE", "gree"), 0);
  EXPECT_LT(CompareTextIgnoreCase("Gree", "Gree2"), 0);
  EXPECT_GT(CompareTextIgnoreCase("\xB8\xF1", "z"), 0);
}

}  // namespace
}  // namespace klimavo::store
