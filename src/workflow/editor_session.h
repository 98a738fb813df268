#pragma once
// The editing session of the workbench without its window: the record being
// edited with its code lines, picture and library index, whether the record
// or the picture has unsaved changes, the learn filter and the sort of the
// library list, and the rules that decide what happens to them: when a record
// is worth the save question, which index the record keeps after a delete,
// which picture files are accepted, and how a write of the library and the
// picture store is locked.

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "store/library.h"
#include "store/library_and_pictures.h"
#include "store/library_list.h"
#include "store/picture_store.h"
#include "store/protocol_record.h"

namespace klimavo::workflow {

class EditorSession {
 public:
  EditorSession();

  // The record being edited, its code lines and its picture.
  store::TdiskAir& Record() { return record_; }
  const store::TdiskAir& Record() const { return record_; }
  store::TBtnLines& Lines() { return lines_; }
  const store::TBtnLines& Lines() const { return lines_; }
  store::TMemPic_Info& Picture() { return picture_; }
  const store::TMemPic_Info& Picture() const { return picture_; }
  /// The record's library index, -1 while it is not stored.
  int Index() const { return index_; }
  void SetIndex(int index) { index_ = index; }

  bool RecordModified() const { return record_modified_; }
  bool PictureModified() const { return picture_modified_; }
  /// True when the record or its picture has unsaved changes.
  bool Modified() const { return record_modified_ || picture_modified_; }
  void SetRecordModified(bool modified) { record_modified_ = modified; }
  void SetPictureModified(bool modified) { picture_modified_ = modified; }

  /// Shows the stored record `index`: its record, lines and picture, nothing unsaved.
  void Open(int index, store::TdiskAir record, store::TBtnLines lines, store::TMemPic_Info picture);
  /// A record made by New: not stored yet (so Save is offered at once), one
  /// empty line set per key, no picture.
  void StartNew(store::TdiskAir record);

  /// True when leaving the record must ask whether to save it: only with
  /// unsaved changes outside Read Only, for a record that has a format, and
  /// either has a key with an assigned bit field or was never stored (dropping
  /// a new record loses it).
  bool WorthSaveQuestion(bool read_only) const;

  /// After the records `deleted` left the library: the shown record's index
  /// moves down by the deleted records before it, or becomes -1 when it was
  /// deleted itself.
  void RecordsDeleted(const std::vector<int>& deleted);
  static int IndexAfterDelete(int index, const std::vector<int>& deleted);

  /// Takes the picture of `file` (through store::ReadPictureFile). On a
  /// refusal the picture stays as it was and the result says why. Throws
  /// base::FileError when the file exists but cannot be read.
  store::PictureFileCheck LoadPictureFile(const std::filesystem::path& file);
  /// Removes the picture; false when there was none to remove.
  bool ClearPicture();

  // The library list: the learn filter and the sort by a heading.
  bool LearnFilterOn() const { return learn_filter_on_; }
  const std::vector<int>& LearnFilterHits() const { return learn_filter_hits_; }
  void SetLearnFilter(std::vector<int> hits);
  void ResetLearnFilter();
  int SortColumn() const { return sort_column_; }
  bool SortDescending() const { return sort_descending_; }
  /// A click on heading `column` (0-based): sorts by it, each click reversing the order.
  void SortBy(int column);
  /// The list's query for a keyword (GBK) in a language.
  store::LibraryListQuery ListQuery(std::string keyword, int language_no) const;
  /// Prepares the list for `library` in a language: call it after every change
  /// of the library (or of the language) before the next FilterList.
  void ListLibrary(const store::TdiskAirList& library, int language_no);
  /// Fills the list for a keyword (GBK) with the learn filter and the sort;
  /// returns the shown library indices in display order.
  const std::vector<int>& FilterList(std::string keyword);
  const std::vector<int>& ListRows() const { return list_rows_; }
  /// The list row (1-based) of a library index; 0 when the list does not show it.
  int RowOfIndex(int index) const;

 private:
  store::TdiskAir record_;
  store::TBtnLines lines_;
  store::TMemPic_Info picture_;
  int index_ = -1;
  bool record_modified_ = false;
  bool picture_modified_ = false;
  bool learn_filter_on_ = false;
  std::vector<int> learn_filter_hits_;
  int sort_column_ = 0;
  bool sort_descending_ = false;
  store::LibraryListOrder list_order_;
  int list_language_no_ = 1;
  std::vector<int> list_rows_;
};

/// Locks the library and the picture store for a write. `settle_disk_change`
/// runs first and again whenever another program wrote the library between it
/// and the lock: it returns true when the write may go on (the file is
/// unchanged, or the user chose to overwrite it) and false to stop, which
/// gives nullopt. Throws base::FileError when a lock cannot be taken.
std::optional<store::StoreLock> LockForWrite(const store::ProtocolLibrary& library,
                                             const std::filesystem::path& picture_file,
                                             const std::function<bool()>& settle_disk_change);

}  // namespace klimavo::workflow
