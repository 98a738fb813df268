// The main window's data safety: a damaged library or picture store puts the
// workbench into a protected state in which nothing writes them, and the
// records read whole can be saved as an exchange file; a library file that
// another program changed while the window was open is never overwritten
// without a question.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <filesystem>
#include <numeric>
#include <optional>

#include "app/main_window.h"
#include "base/home.h"
#include "base/text.h"
#include "lang/text_numbers.h"
#include "store/disk_change.h"
#include "store/exchange_file.h"
#include "store/fault_words.h"
#include "store/library.h"
#include "ui/ui_text.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

// Language texts of the protected state and of the question about a change on disk.
constexpr int kTextDamaged = 120;
constexpr int kTextFile = 121;
constexpr int kTextFault = 122;
constexpr int kTextRecordsRead = 130;
constexpr int kTextSaveReadableHint = 131;
constexpr int kTextProtected = 132;
constexpr int kTextChangedOnDisk = 133;
constexpr int kTextReloadQuestion = 134;
constexpr int kTextReload = 135;
constexpr int kTextOverwrite = 136;
constexpr int kTextCancel = 137;
constexpr int kTextReadableSaved = 139;
constexpr int kTextPicturesLeftOut = 230;
constexpr int kTextSaveReadableCaption = 308;

// A fault in the user's language, with its numbers in brackets.
QString FaultText(const lang::Language& language, const store::FaultWords& words) {
  return ui::LangText(language, words.text) + " (" + QString::fromStdString(words.details) + ")";
}

QString PathText(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

void TfrmAirEditor::BuildSafetyActions(QMenu* file_menu) {
  act_save_readable_ = new QAction("Save readable records as…", this);
  act_save_readable_->setObjectName("actSaveReadable");
  connect(act_save_readable_, &QAction::triggered, this, &TfrmAirEditor::SaveReadableRecordsAs);
  addAction(act_save_readable_);
  file_menu->addAction(act_save_readable_);
}

void TfrmAirEditor::BuildProtectionNotice() {
  // While protected, a notice above the library list says so for as long as
  // the window is open.
  protected_label_ = new QLabel(library_grid_->parentWidget());
  protected_label_->setObjectName("lblProtected");
  protected_label_->setWordWrap(true);
  protected_label_->setStyleSheet("QLabel { color: #b00000; font-weight: bold; }");
  protected_label_->hide();
  if (auto* layout = qobject_cast<QVBoxLayout*>(library_grid_->parentWidget()->layout()))
    layout->insertWidget(layout->indexOf(library_grid_), protected_label_);
}

void TfrmAirEditor::ApplyProtection() {
  if (protected_label_ == nullptr) BuildProtectionNotice();
  const bool writable = !LibraryProtected();
  if (!writable) {
    actn_save_->setEnabled(false);
    act_save_as_->setEnabled(false);
  }
  // Delete and Import write the library: neither while it is protected or in Read Only.
  const bool library_writable = writable && !workbench_.settings.ReadOnlyMode;
  for (QAction* item : library_grid_->actions()) {
    if (item->objectName() == "mnuImport" || item->objectName() == "mnuDeleteRecords")
      item->setEnabled(library_writable);
  }
  act_save_readable_->setEnabled(!writable);
  protected_label_->setText(writable ? QString() : ui::LangText(workbench_.language, kTextDamaged));
  protected_label_->setVisible(!writable);
}

void TfrmAirEditor::ReportDamage() {
  const lang::Language& language = workbench_.language;
  auto file_and_fault = [&](const std::filesystem::path& file, const store::FaultWords& words) {
    return "\n" + ui::LangText(language, kTextFile) + " " + PathText(file) + "\n" +
           ui::LangText(language, kTextFault) + " " + FaultText(language, words) + "\n";
  };
  QString text = ui::LangText(language, kTextDamaged) + "\n";
  const store::LibraryLoadResult& load = workbench_.library_load;
  if (load.Damaged()) {
    text += file_and_fault(workbench_.library.File(), store::LibraryFaultWords(load)) +
            ui::LangText(language, kTextRecordsRead) + " " + QString::number(workbench_.library.Size()) +
            "\n";
  }
  if (!workbench_.picture_check.ok())
    text += file_and_fault(workbench_.PictureFile(), store::PictureStoreFaultWords(workbench_.picture_check));
  text += "\n" + ui::LangText(language, kTextSaveReadableHint);
  prompts_.Tell(this, ui::LangText(language, lang::kTextInformation), text);
}

bool TfrmAirEditor::ConfirmLibraryUnchangedOnDisk() {
  if (!workbench_.library.ChangedOnDisk()) return true;
  const int choice = prompts_.Choose(
      this, ui::LangText(workbench_.language, lang::kTextInformation),
      ui::LangText(workbench_.language, kTextChangedOnDisk) + "\n" +
          ui::LangText(workbench_.language, kTextReloadQuestion),
      {ui::LangText(workbench_.language, kTextReload), ui::LangText(workbench_.language, kTextOverwrite),
       ui::LangText(workbench_.language, kTextCancel)});
  switch (store::DiskChangeAnswerFromIndex(choice)) {
    case store::DiskChangeAnswer::kOverwrite:
      workbench_.library.AcceptDiskState();
      return true;
    case store::DiskChangeAnswer::kReload:
      ReloadLibrary();
      return false;
    case store::DiskChangeAnswer::kCancel:
      break;
  }
  return false;
}

void TfrmAirEditor::ReloadLibrary() {
  workbench_.LoadLibrary();
  const store::CurrentAfterReload place =
      store::PlaceCurrentAfterReload(workbench_.library, session_.Record(), session_.RecordModified());
  if (!place.modified && place.index >= 0) {
    workbench_.library.FetchRecord(place.index, session_.Record(), session_.Lines());
    ShowCurrentRecord();
  }
  session_.SetIndex(place.index);
  session_.SetRecordModified(place.modified);
  ShowStatusIndex();
  // The record shown stays shown while the list is refilled.
  hold_current_ = place.modified || place.index >= 0;
  RefreshLibraryList();
  hold_current_ = false;
  UpdateActions();
  if (LibraryProtected()) ReportDamage();
}

std::optional<store::StoreLock> TfrmAirEditor::BeginStoreWrite() {
  if (LibraryProtected()) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  ui::LangText(workbench_.language, kTextProtected));
    return std::nullopt;
  }
  try {
    return workflow::LockForWrite(workbench_.library, workbench_.PictureFile(),
                                  [this] { return ConfirmLibraryUnchangedOnDisk(); });
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
    return std::nullopt;
  }
}

void TfrmAirEditor::SaveReadableRecordsAs() {
  auto target = prompts_.SaveFile(this, ui::LangText(workbench_.language, kTextSaveReadableCaption),
                                  ui::LangText(workbench_.language, lang::kTextExchangeFilesFilter), "acpf");
  if (!target || RefuseHomeFileAsExport(*target)) return;
  std::vector<int> all(static_cast<std::size_t>(workbench_.library.Size()));
  std::iota(all.begin(), all.end(), 0);
  try {
    const store::ExportResult result =
        store::ExportRecords(workbench_.library, all, workbench_.DataDir(), target->toStdString());
    QString text = ui::LangText(workbench_.language, kTextReadableSaved) + " " + QString::number(all.size());
    if (!result.pictures_left_out.empty()) text += "\n" + PicturesLeftOutText(result.pictures_left_out);
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation), text);
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
}

QString TfrmAirEditor::PicturesLeftOutText(const std::vector<std::string>& codes) const {
  QString text = ui::LangText(workbench_.language, kTextPicturesLeftOut);
  for (const std::string& code : codes) text += " " + ui::FromGbk(code);
  return text;
}

bool TfrmAirEditor::RefuseHomeFileAsExport(const QString& target) {
  const std::optional<std::filesystem::path> own = base::HomeFileAt(workbench_.home, target.toStdString());
  if (!own) return false;
  prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                QString::fromStdString(own->string() + ": the workbench's own file; it was not written"));
  return true;
}

void TfrmAirEditor::TellPicturesLeftOut(const std::vector<std::string>& codes) {
  prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation), PicturesLeftOutText(codes));
}

}  // namespace klimavo::app
