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
#include "base/text.h"
#include "lang/text_numbers.h"
#include "store/exchange_file.h"
#include "store/library.h"
#include "store/library_list.h"
#include "store/record_validation.h"
#include "ui/dialogs/wait_message.h"
#include "ui/ui_text.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

constexpr int kTextLibraryIndex = 265;
constexpr int kTextNotSaved = 266;
constexpr int kTextQuestion = 267;
constexpr int kTextExported = 272;
constexpr int kTextExportCaption = 305;
constexpr int kTextImportCaption = 306;

}  // namespace

void TfrmAirEditor::RefreshLibraryList() {
  session_.ListLibrary(workbench_.library.Records(), workbench_.language.LanguageNo());
  ShowLibraryRows();
}

void TfrmAirEditor::ShowLibraryRows() {
  updating_ = true;
  const std::vector<int>& rows = session_.FilterList(ui::ToGbk(keyword_edit_->text()).value_or(""));
  library_grid_->SetRows(workbench_.library.Records(), rows, workbench_.language.LanguageNo() == 2);
  library_grid_->SetHeading(3, ui::LangText(workbench_.language, 90) + QString::number(rows.size()));
  updating_ = false;
  // The shown record keeps its row when the list still has one. Otherwise the
  // record of the grid's current row is loaded (unless the caller keeps the
  // shown record); either way the selection then matches the editor.
  if (!rows.empty() && RowOfLibraryIndex(session_.Index()) == 0 && !keep_shown_record_)
    LibraryRowChanged(std::clamp(library_grid_->CurrentRow(), 1, static_cast<int>(rows.size())));
  SyncLibrarySelection();
}

void TfrmAirEditor::LibraryRowChanged(int row) {
  if (updating_ || hold_current_ || row < 1) return;
  const int index = library_grid_->IndexAt(row);
  if (index < 0 || index == session_.Index()) return;
  // A refused change leaves the shown record; its row gets the selection back
  // once the click that moved it has been handled.
  auto keep_selection = [this] { QTimer::singleShot(0, this, &TfrmAirEditor::SyncLibrarySelection); };
  if (!ConfirmPendingChanges()) return keep_selection();
  store::TdiskAir record;
  store::TBtnLines lines;
  if (!workbench_.library.FetchRecord(index, record, lines)) return keep_selection();
  store::TMemPic_Info picture;
  try {
    if (!store::LoadPicture(base::Trim(record.CodeNo.str()), picture, workbench_.PictureFile())) picture = {};
  } catch (const std::exception&) {
    picture = {};
  }
  session_.Open(index, std::move(record), std::move(lines), std::move(picture));
  ShowModelsAndPicture();
  ShowCurrentRecord();
  ShowStatusIndex();
  UpdateActions();
  SyncLibrarySelection();
}

void TfrmAirEditor::LibraryHeadingClicked(int column) {
  session_.SortBy(column - 1);
  ShowLibraryRows();
}

bool TfrmAirEditor::ConfirmPendingChanges() {
  if (!session_.WorthSaveQuestion(workbench_.settings.ReadOnlyMode)) return true;
  const auto answer = prompts_.Ask(this, ui::LangText(workbench_.language, kTextQuestion),
                                   ui::LangText(workbench_.language, 18),
                                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::No) return true;
  SaveCommand();
  return !session_.Modified();
}

bool TfrmAirEditor::ValidateCurrentRecord() {
  const store::RecordValidation v =
      store::ValidateRecord(session_.Record(), workbench_.library, session_.Index());
  if (v.ok()) return true;
  prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                ui::LangText(workbench_.language, v.text));
  if (v.key >= 0) SelectKey(v.key);
  return false;
}

void TfrmAirEditor::SaveCommand() {
  if (!ValidateCurrentRecord()) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    ui::WaitMessageScope wait(ui::LangText(workbench_.language, 27));
    if (session_.RecordModified()) {
      session_.Record().ChangeTime = base::NowAsDateTime();
      session_.SetIndex(
          workbench_.library.StoreRecord(session_.Record(), session_.Lines(), session_.Index()));
      if (session_.Index() >= 0) session_.SetRecordModified(false);
      ShowStatusIndex();
    }
    if (session_.PictureModified()) {
      CollectModelNames();
      store::StorePicture(base::Trim(session_.Record().CodeNo.str()), session_.Picture(),
                          workbench_.PictureFile());
      session_.SetPictureModified(false);
    }
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
  UpdateActions();
  // The list shows the stored code number and change time at once, with the saved record's row selected.
  RefreshLibraryListKeepingRecord();
}

std::vector<int> TfrmAirEditor::SelectedLibraryIndices() const {
  std::vector<int> indices;
  for (int row : library_grid_->SelectedRows()) {
    const int index = library_grid_->IndexAt(row);
    if (index >= 0) indices.push_back(index);
  }
  return indices;
}

void TfrmAirEditor::ShowStatusIndex() {
  // The library index of the record shown, as the command line names records.
  status_index_->setText(session_.Index() >= 0
                             ? ui::LangText(workbench_.language, kTextLibraryIndex).arg(session_.Index())
                             : ui::LangText(workbench_.language, kTextNotSaved));
}

void TfrmAirEditor::DeleteSelectedRecords() {
  if (workbench_.settings.ReadOnlyMode) return;
  if (prompts_.Ask(this, ui::LangText(workbench_.language, kTextQuestion),
                   ui::LangText(workbench_.language, 13),
                   QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  const std::vector<int> indices = SelectedLibraryIndices();
  if (indices.empty()) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    ui::WaitMessageScope wait(ui::LangText(workbench_.language, 27));
    // The records and their pictures go in one change of both files.
    store::DeleteRecordsWithPictures(workbench_.library, indices, workbench_.PictureFile());
  } catch (const std::exception& e) {
    // A failed delete changed neither file nor the list.
    lock.reset();
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
    return;
  }
  lock.reset();
  // Keep CurrentIndex naming the shown record: a deleted current record is no
  // longer stored, and records before it moved down.
  session_.RecordsDeleted(indices);
  RefreshLibraryList();
  UpdateActions();
}

void TfrmAirEditor::ExportSelectedRecords() {
  const std::vector<int> indices = SelectedLibraryIndices();
  if (indices.empty()) return;
  auto target = prompts_.SaveFile(this, ui::LangText(workbench_.language, kTextExportCaption),
                                  ui::LangText(workbench_.language, lang::kTextExchangeFilesFilter), "acpf");
  if (!target || RefuseHomeFileAsExport(*target)) return;
  try {
    const store::ExportResult result =
        store::ExportRecords(workbench_.library, indices, workbench_.DataDir(), target->toStdString());
    if (!result.pictures_left_out.empty()) TellPicturesLeftOut(result.pictures_left_out);
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
    return;
  }
  prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                ui::LangText(workbench_.language, kTextExported).arg(indices.size()).arg(*target));
}

void TfrmAirEditor::ImportRecords() {
  if (workbench_.settings.ReadOnlyMode) return;
  auto source = prompts_.OpenFile(this, ui::LangText(workbench_.language, kTextImportCaption),
                                  ui::LangText(workbench_.language, lang::kTextExchangeFilesFilter));
  if (!source) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  store::ImportResult result;
  try {
    ui::WaitMessageScope wait(ui::LangText(workbench_.language, 27));
    result = store::ImportRecords(workbench_.library, workbench_.DataDir(), source->toStdString());
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
    return;
  }
  lock.reset();
  if (!result.valid_file) {
    prompts_.Tell(this, QString(), ui::LangText(workbench_.language, 98));
    return;
  }
  QString text = ui::LangText(workbench_.language, 10) + QString::number(result.count);
  if (result.count > 0) {
    text += ui::LangText(workbench_.language, 99) + ui::FromGbk(result.first_new_code);
    RefreshLibraryList();
  }
  for (const store::DamagedPicture& damaged : result.damaged_pictures)
    text += "\n" + ui::LangText(workbench_.language, 138) + " " + ui::FromGbk(damaged.new_code);
  prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation), text);
}

}  // namespace klimavo::app
