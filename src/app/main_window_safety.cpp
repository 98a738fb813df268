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
#include "base/gbk.h"
#include "base/home.h"
#include "base/text.h"
#include "store/disk_change.h"
#include "store/exchange_file.h"
#include "store/library.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::app {
namespace {

// Language texts of the protected state and of the question about a change on disk.
constexpr int kTextDamaged = 120;
constexpr int kTextFile = 121;
constexpr int kTextFault = 122;
constexpr int kTextLengthField = 123;
constexpr int kTextFewerRecords = 124;
constexpr int kTextCutLines = 125;
constexpr int kTextBytesAfter = 126;
constexpr int kTextShorterThanHeader = 127;
constexpr int kTextUnreadable = 128;
constexpr int kTextPicturesPastEnd = 129;
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
constexpr int kTextCaption = 9;

int LibraryFaultText(store::LibraryFault fault) {
  switch (fault) {
    case store::LibraryFault::kLengthField: return kTextLengthField;
    case store::LibraryFault::kFewerRecords: return kTextFewerRecords;
    case store::LibraryFault::kCutLineBlock: return kTextCutLines;
    case store::LibraryFault::kBytesAfterRecords: return kTextBytesAfter;
    case store::LibraryFault::kShorterThanHeader: return kTextShorterThanHeader;
    default: return kTextUnreadable;
  }
}

int PictureFaultText(store::PictureFault fault) {
  switch (fault) {
    case store::PictureFault::kLengthField: return kTextLengthField;
    case store::PictureFault::kShorterThanHeader: return kTextShorterThanHeader;
    default: return kTextPicturesPastEnd;
  }
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
  protected_label_->setText(writable ? QString() : Text(kTextDamaged));
  protected_label_->setVisible(!writable);
}

void TfrmAirEditor::ReportDamage() {
  QString text = Text(kTextDamaged) + "\n";
  const store::LibraryLoadResult& load = workbench_.library_load;
  if (load.Damaged()) {
    QString fault = Text(LibraryFaultText(load.fault));
    if (load.fault == store::LibraryFault::kUnreadable && !load.reason.empty())
      fault += " (" + QString::fromStdString(load.reason) + ")";
    text += "\n" + Text(kTextFile) + " " + PathText(workbench_.library.File()) + "\n" + Text(kTextFault) + " " +
            fault + "\n" + Text(kTextRecordsRead) + " " + QString::number(workbench_.library.Size()) + "\n";
  }
  if (!workbench_.picture_check.ok()) {
    text += "\n" + Text(kTextFile) + " " + PathText(workbench_.PictureFile()) + "\n" + Text(kTextFault) + " " +
            Text(PictureFaultText(workbench_.picture_check.fault)) + "\n";
  }
  text += "\n" + Text(kTextSaveReadableHint);
  prompts_.Tell(this, Text(kTextCaption), text);
}

bool TfrmAirEditor::ConfirmLibraryUnchangedOnDisk() {
  if (!workbench_.library.ChangedOnDisk()) return true;
  const int choice =
      prompts_.Choose(this, Text(kTextCaption), Text(kTextChangedOnDisk) + "\n" + Text(kTextReloadQuestion),
                      {Text(kTextReload), Text(kTextOverwrite), Text(kTextCancel)});
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
      store::PlaceCurrentAfterReload(workbench_.library, current_record_, record_modified_);
  if (!place.modified && place.index >= 0) {
    workbench_.library.FetchRecord(place.index, current_record_, current_lines_);
    ShowCurrentRecord();
  }
  current_index_ = place.index;
  record_modified_ = place.modified;
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
    prompts_.Tell(this, Text(kTextCaption), Text(kTextProtected));
    return std::nullopt;
  }
  for (;;) {
    if (!ConfirmLibraryUnchangedOnDisk()) return std::nullopt;
    std::optional<store::StoreLock> lock;
    try {
      lock.emplace(workbench_.library.File(), workbench_.PictureFile());
    } catch (const std::exception& e) {
      prompts_.Tell(this, Text(kTextCaption), QString::fromStdString(e.what()));
      return std::nullopt;
    }
    // Another program may have written between the question and the lock.
    if (!workbench_.library.ChangedOnDisk()) return lock;
  }
}

void TfrmAirEditor::SaveReadableRecordsAs() {
  auto target = prompts_.SaveFile(this, QString(), "AC File(*.acpf)", "acpf");
  if (!target || RefuseHomeFileAsExport(*target)) return;
  std::vector<int> all(static_cast<std::size_t>(workbench_.library.Size()));
  std::iota(all.begin(), all.end(), 0);
  try {
    const store::ExportResult result =
        store::ExportRecords(workbench_.library, all, workbench_.DataDir(), target->toStdString());
    QString text = Text(kTextReadableSaved) + " " + QString::number(all.size());
    if (!result.pictures_left_out.empty()) text += "\n" + PicturesLeftOutText(result.pictures_left_out);
    prompts_.Tell(this, Text(kTextCaption), text);
  } catch (const std::exception& e) {
    prompts_.Tell(this, Text(kTextCaption), QString::fromStdString(e.what()));
  }
}

QString TfrmAirEditor::PicturesLeftOutText(const std::vector<std::string>& codes) const {
  QString text = Text(kTextPicturesLeftOut);
  for (const std::string& code : codes) text += " " + QString::fromStdString(base::GbkToUtf8(code));
  return text;
}

bool TfrmAirEditor::RefuseHomeFileAsExport(const QString& target) {
  const std::optional<std::filesystem::path> own = base::HomeFileAt(workbench_.home, target.toStdString());
  if (!own) return false;
  prompts_.Tell(this, Text(kTextCaption),
                QString::fromStdString(own->string() + ": the workbench's own file; it was not written"));
  return true;
}

void TfrmAirEditor::TellPicturesLeftOut(const std::vector<std::string>& codes) {
  prompts_.Tell(this, Text(kTextCaption), PicturesLeftOutText(codes));
}

}  // namespace klimavo::app
