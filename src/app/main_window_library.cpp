// The main window's library list, the save-changes question and the commands
// that store, delete, export and import records.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <algorithm>
#include <exception>

#include "app/main_window.h"
#include "base/date_time.h"
#include "base/gbk.h"
#include "base/text.h"
#include "store/exchange_file.h"
#include "store/library.h"
#include "store/library_list.h"
#include "store/record_validation.h"
#include "ui/dialogs/wait_message.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::app {
namespace {

constexpr int kTextLibraryIndex = 265;
constexpr int kTextNotSaved = 266;
constexpr int kTextQuestion = 267;
constexpr int kTextExported = 272;

QString FromGbk(const std::string& gbk) { return QString::fromStdString(base::GbkToUtf8(gbk)); }

}  // namespace

void TfrmAirEditor::RefreshLibraryList() {
  updating_ = true;
  store::LibraryListQuery query;
  query.keyword = base::Utf8ToGbk(keyword_edit_->text().toStdString()).value_or("");
  query.language_no = workbench_.language.LanguageNo();
  query.learn_filter_on = learn_filter_on_;
  query.learn_filter_hits = learn_filter_hits_;
  query.sort_column = sort_column_;
  query.descending = sort_descending_;
  const auto rows = store::BuildLibraryList(workbench_.library.Records(), query);
  library_grid_->clearContents();
  library_grid_->SetRows(static_cast<int>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int r = static_cast<int>(i) + 1;
    library_grid_->SetCell(1, r, FromGbk(rows[i].brand));
    library_grid_->SetCell(2, r, FromGbk(rows[i].code));
    library_grid_->SetCell(3, r, FromGbk(rows[i].memo));
    library_grid_->SetCell(4, r, QString::fromStdString(rows[i].change_time));
    library_grid_->SetCell(5, r, QString::number(rows[i].index));
  }
  library_grid_->SetHeading(3, Text(90) + QString::number(rows.size()));
  updating_ = false;
  // The shown record keeps its row when the list still has one. Otherwise the
  // record of the grid's current row is loaded (unless the caller keeps the
  // shown record); either way the selection then matches the editor.
  if (!rows.empty() && RowOfLibraryIndex(current_index_) == 0 && !keep_shown_record_)
    LibraryRowChanged(std::clamp(library_grid_->CurrentRow(), 1, static_cast<int>(rows.size())));
  SyncLibrarySelection();
}

void TfrmAirEditor::LibraryRowChanged(int row) {
  if (updating_ || hold_current_ || row < 1) return;
  bool ok = false;
  const int index = library_grid_->Cell(5, row).toInt(&ok);
  if (!ok || index < 0 || index == current_index_) return;
  // A refused change leaves the shown record; its row gets the selection back
  // once the click that moved it has been handled.
  auto keep_selection = [this] { QTimer::singleShot(0, this, &TfrmAirEditor::SyncLibrarySelection); };
  if (!ConfirmPendingChanges()) return keep_selection();
  store::TdiskAir record;
  store::TBtnLines lines;
  if (!workbench_.library.FetchRecord(index, record, lines)) return keep_selection();
  current_record_ = record;
  current_lines_ = std::move(lines);
  try {
    if (!store::LoadPicture(base::Trim(current_record_.CodeNo.str()), current_picture_, workbench_.PictureFile()))
      current_picture_ = {};
  } catch (const std::exception&) {
    current_picture_ = {};
  }
  ShowModelsAndPicture();
  current_index_ = index;
  ShowCurrentRecord();
  ShowStatusIndex();
  record_modified_ = picture_modified_ = false;
  UpdateActions();
  SyncLibrarySelection();
}

void TfrmAirEditor::LibraryHeadingClicked(int column) {
  sort_column_ = column - 1;
  sort_descending_ = !sort_descending_;
  RefreshLibraryList();
}

bool TfrmAirEditor::ConfirmPendingChanges() {
  if (workbench_.settings.ReadOnlyMode || (!record_modified_ && !picture_modified_)) return true;
  bool worth_asking = !current_record_.Slots[0].Text.empty();
  bool any_assigned = false;
  for (std::size_t k = 0; k < current_record_.UsedKeys(); ++k)
    any_assigned = any_assigned || current_record_.Keys[k].Columns[0].InUse();
  // A record made by New and never stored is asked about as well: dropping it loses it.
  const bool never_stored = current_index_ < 0;
  if (!(worth_asking && (any_assigned || never_stored))) return true;
  const auto answer = prompts_.Ask(this, Text(kTextQuestion), Text(18), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  SaveCommand();
  return !record_modified_ && !picture_modified_;
}

bool TfrmAirEditor::ValidateCurrentRecord() {
  const store::RecordValidation v = store::ValidateRecord(current_record_, workbench_.library, current_index_);
  if (v.ok()) return true;
  prompts_.Tell(this, Text(9), Text(v.text));
  if (v.key >= 0) SelectKey(v.key);
  return false;
}

void TfrmAirEditor::SaveCommand() {
  if (!ValidateCurrentRecord()) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    ui::WaitMessageScope wait(Text(27));
    if (record_modified_) {
      current_record_.ChangeTime = base::NowAsDateTime();
      current_index_ = workbench_.library.StoreRecord(current_record_, current_lines_, current_index_);
      if (current_index_ >= 0) record_modified_ = false;
      ShowStatusIndex();
    }
    if (picture_modified_) {
      CollectModelNames();
      store::StorePicture(base::Trim(current_record_.CodeNo.str()), current_picture_, workbench_.PictureFile());
      picture_modified_ = false;
    }
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, Text(9), QString::fromStdString(e.what()));
  }
  UpdateActions();
  // The list shows the stored code number and change time at once, with the saved record's row selected.
  RefreshLibraryListKeepingRecord();
}

std::vector<int> TfrmAirEditor::SelectedLibraryIndices() const {
  std::vector<int> indices;
  for (int row : library_grid_->SelectedRows()) {
    bool ok = false;
    const int index = library_grid_->Cell(5, row).toInt(&ok);
    if (ok) indices.push_back(index);
  }
  return indices;
}

void TfrmAirEditor::ShowStatusIndex() {
  // The library index of the record shown, as the command line names records.
  status_index_->setText(current_index_ >= 0 ? Text(kTextLibraryIndex).arg(current_index_) : Text(kTextNotSaved));
}

void TfrmAirEditor::DeleteSelectedRecords() {
  if (workbench_.settings.ReadOnlyMode) return;
  if (prompts_.Ask(this, Text(kTextQuestion), Text(13), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) return;
  const std::vector<int> indices = SelectedLibraryIndices();
  if (indices.empty()) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    ui::WaitMessageScope wait(Text(27));
    // The records and their pictures go in one change of both files.
    store::DeleteRecordsWithPictures(workbench_.library, indices, workbench_.PictureFile());
  } catch (const std::exception& e) {
    // A failed delete changed neither file nor the list.
    lock.reset();
    prompts_.Tell(this, Text(9), QString::fromStdString(e.what()));
    return;
  }
  lock.reset();
  // Keep CurrentIndex naming the shown record: a deleted current record is no
  // longer stored, and records before it moved down.
  if (current_index_ >= 0) {
    if (std::find(indices.begin(), indices.end(), current_index_) != indices.end()) {
      current_index_ = -1;
    } else {
      current_index_ -= static_cast<int>(std::count_if(indices.begin(), indices.end(), [this](int i) { return i < current_index_; }));
    }
  }
  RefreshLibraryList();
  UpdateActions();
}

void TfrmAirEditor::ExportSelectedRecords() {
  const std::vector<int> indices = SelectedLibraryIndices();
  if (indices.empty()) return;
  auto target = prompts_.SaveFile(this, QString(), "AC File(*.acpf)", "acpf");
  if (!target || RefuseHomeFileAsExport(*target)) return;
  try {
    const store::ExportResult result =
        store::ExportRecords(workbench_.library, indices, workbench_.DataDir(), target->toStdString());
    if (!result.pictures_left_out.empty()) TellPicturesLeftOut(result.pictures_left_out);
  } catch (const std::exception& e) {
    prompts_.Tell(this, Text(9), QString::fromStdString(e.what()));
    return;
  }
  prompts_.Tell(this, Text(9), Text(kTextExported).arg(indices.size()).arg(*target));
}

void TfrmAirEditor::ImportRecords() {
  if (workbench_.settings.ReadOnlyMode) return;
  auto source = prompts_.OpenFile(this, QString(), "AC File(*.acpf)");
  if (!source) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  store::ImportResult result;
  try {
    ui::WaitMessageScope wait(Text(27));
    result = store::ImportRecords(workbench_.library, workbench_.DataDir(), source->toStdString());
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, Text(9), QString::fromStdString(e.what()));
    return;
  }
  lock.reset();
  if (!result.valid_file) {
    prompts_.Tell(this, QString(), Text(98));
    return;
  }
  QString text = Text(10) + QString::number(result.count);
  if (result.count > 0) {
    text += Text(99) + FromGbk(result.first_new_code);
    RefreshLibraryList();
  }
  for (const store::DamagedPicture& damaged : result.damaged_pictures)
    text += "\n" + Text(138) + " " + FromGbk(damaged.new_code);
  prompts_.Tell(this, Text(9), text);
}

}  // namespace klimavo::app
