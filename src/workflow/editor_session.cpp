#include "workflow/editor_session.h"

#include <algorithm>
#include <utility>

namespace klimavo::workflow {

EditorSession::EditorSession() { store::InitRecord(record_, 0.0); }

void EditorSession::Open(int index, store::TdiskAir record, store::TBtnLines lines,
                         store::TMemPic_Info picture) {
  record_ = std::move(record);
  lines_ = std::move(lines);
  picture_ = std::move(picture);
  index_ = index;
  record_modified_ = picture_modified_ = false;
}

void EditorSession::StartNew(store::TdiskAir record) {
  record_ = std::move(record);
  lines_.assign(record_.UsedKeys(), {});
  picture_ = {};
  index_ = -1;
  record_modified_ = true;
  picture_modified_ = false;
}

bool EditorSession::WorthSaveQuestion(bool read_only) const {
  if (read_only || !Modified()) return false;
  if (record_.Slots[0].Text.empty()) return false;
  if (index_ < 0) return true;
  for (std::size_t k = 0; k < record_.UsedKeys(); ++k)
    if (record_.Keys[k].Columns[0].InUse()) return true;
  return false;
}

int EditorSession::IndexAfterDelete(int index, const std::vector<int>& deleted) {
  if (index < 0) return index;
  if (std::find(deleted.begin(), deleted.end(), index) != deleted.end()) return -1;
  return index - static_cast<int>(
                     std::count_if(deleted.begin(), deleted.end(), [index](int i) { return i < index; }));
}

void EditorSession::RecordsDeleted(const std::vector<int>& deleted) {
  index_ = IndexAfterDelete(index_, deleted);
}

store::PictureFileCheck EditorSession::LoadPictureFile(const std::filesystem::path& file) {
  base::Bytes bytes;
  const store::PictureFileCheck check = store::ReadPictureFile(file, bytes);
  if (check != store::PictureFileCheck::kOk) return check;
  picture_.Picture = std::move(bytes);
  picture_modified_ = true;
  return check;
}

bool EditorSession::ClearPicture() {
  if (picture_.Picture.empty()) return false;
  picture_.Picture.clear();
  picture_modified_ = true;
  return true;
}

void EditorSession::SetLearnFilter(std::vector<int> hits) {
  learn_filter_hits_ = std::move(hits);
  learn_filter_on_ = true;
}

void EditorSession::ResetLearnFilter() { learn_filter_on_ = false; }

void EditorSession::SortBy(int column) {
  sort_column_ = column;
  sort_descending_ = !sort_descending_;
}

store::LibraryListQuery EditorSession::ListQuery(std::string keyword, int language_no) const {
  store::LibraryListQuery query;
  query.keyword = std::move(keyword);
  query.language_no = language_no;
  query.learn_filter_on = learn_filter_on_;
  query.learn_filter_hits = learn_filter_hits_;
  query.sort_column = sort_column_;
  query.descending = sort_descending_;
  return query;
}

void EditorSession::ListLibrary(const store::TdiskAirList& library, int language_no) {
  list_order_.Prepare(library, language_no);
  list_language_no_ = language_no;
}

const std::vector<int>& EditorSession::FilterList(std::string keyword) {
  list_rows_ = list_order_.Rows(ListQuery(std::move(keyword), list_language_no_));
  return list_rows_;
}

int EditorSession::RowOfIndex(int index) const {
  if (index < 0) return 0;
  const auto found = std::find(list_rows_.begin(), list_rows_.end(), index);
  return found == list_rows_.end() ? 0 : static_cast<int>(found - list_rows_.begin()) + 1;
}

std::optional<store::StoreLock> LockForWrite(const store::ProtocolLibrary& library,
                                             const std::filesystem::path& picture_file,
                                             const std::function<bool()>& settle_disk_change) {
  for (;;) {
    if (!settle_disk_change()) return std::nullopt;
    std::optional<store::StoreLock> lock;
    lock.emplace(library.File(), picture_file);
    // Another program may have written between the question and the lock.
    if (!library.ChangedOnDisk()) return lock;
  }
}

}  // namespace klimavo::workflow
