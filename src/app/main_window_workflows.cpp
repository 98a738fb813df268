// The main window's record workflows: New, Save as, Edit keys, Modify format
// and Filter by learning, and the typed texts of the record.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/device_session.h"
#include "app/main_window.h"
#include "base/date_time.h"
#include "base/file_error.h"
#include "base/gbk.h"
#include "base/text.h"
#include "store/library.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/key_editor_dialog.h"
#include "ui/dialogs/wait_message.h"
#include "workflow/new_record.h"
#include "workflow/record_edits.h"
#include "workflow/text_fields.h"

namespace klimavo::app {
namespace {

constexpr int kCloseRange = 1;
constexpr int kTextInformation = 9;
constexpr int kTextPleaseWait = 27;
constexpr int kTextClose = 36;
constexpr int kTextModifyNext = 38;
constexpr int kTextLearnFilterCaption = 41;
constexpr int kTextNewKeysCaption = 43;
constexpr int kTextNewKeysOk = 44;
constexpr const char* kEditKeysCaption = "空调按键设置";
constexpr const char* kEditKeysOk = "完成";

QString FromGbk(const std::string& gbk) { return QString::fromStdString(base::GbkToUtf8(gbk)); }

// Holds the format chooser's consumer slot and the learn mode while it is
// open; afterwards (also on an error) the slot is empty, the learn mode is
// restored and the near/far buttons follow it.
class ChooserSession {
 public:
  ChooserSession(Workbench& workbench, ui::TfrmGeShiSelect& chooser, bool close_range,
                 ui::TfrmGeShiSelect*& open_chooser, std::function<void()> sync)
      : open_chooser_(open_chooser), sync_(std::move(sync)) {
    lease_ = workbench.captures.Occupy(device::CaptureConsumer::FormatChooser,
                                       [&chooser](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
                                         chooser.CaptureArrived(durations, carrier);
                                       });
    if (workbench.device) manager_ = &workbench.device->Manager();
    if (manager_ && close_range) {
      learn_mode_ = manager_->LearnMode();
      if (learn_mode_ != kCloseRange) manager_->SetLearnMode(kCloseRange);
    }
    open_chooser_ = &chooser;
  }
  ~ChooserSession() {
    open_chooser_ = nullptr;
    lease_.Reset();
    if (manager_ && learn_mode_ != kCloseRange) manager_->SetLearnMode(learn_mode_);
    sync_();
  }
  ChooserSession(const ChooserSession&) = delete;
  ChooserSession& operator=(const ChooserSession&) = delete;

 private:
  ui::TfrmGeShiSelect*& open_chooser_;
  std::function<void()> sync_;
  device::CaptureRouter::Lease lease_;
  device::TMyHIDUSBMange* manager_ = nullptr;
  int learn_mode_ = kCloseRange;
};

}  // namespace

ui::DialogMessages TfrmAirEditor::Messages() {
  ui::DialogMessages messages;
  messages.tell = [this](QWidget* parent, const QString& caption, const QString& text) {
    prompts_.Tell(parent, caption, text);
  };
  messages.input = [this](QWidget* parent, const QString& caption, const QString& prompt,
                          const QString& value) {
    return prompts_.InputText(parent, caption, prompt, value);
  };
  return messages;
}

void TfrmAirEditor::ConnectWorkflowCommands() {
  connect(actn_new_, &QAction::triggered, this, &TfrmAirEditor::NewCommand);
  connect(act_save_as_, &QAction::triggered, this, &TfrmAirEditor::SaveAsCommand);
  connect(actn_re_geshi_, &QAction::triggered, this, &TfrmAirEditor::ModifyFormat);
  if (auto* edit_keys = findChild<QAction*>("mnuEditKeys"))
    connect(edit_keys, &QAction::triggered, this, &TfrmAirEditor::EditKeys);
  if (auto* learn = findChild<QPushButton*>("btnLearnFilter"))
    connect(learn, &QPushButton::clicked, this, &TfrmAirEditor::FilterByLearning);
}

void TfrmAirEditor::ShowStartupProblems() {
  std::vector<std::string> problems;
  problems.swap(workbench_.startup_problems);
  for (const std::string& problem : problems)
    prompts_.Tell(this, Text(kTextInformation), QString::fromStdString(problem));
}

void TfrmAirEditor::StoreTypedText(int field, const QString& text) {
  if (updating_) return;
  const auto which = static_cast<workflow::TextField>(field);
  const bool chinese = workbench_.language.IsChinese();
  const std::optional<std::string> gbk = workflow::RecordText(text.toStdString());
  if (!gbk) {
    prompts_.Tell(this, Text(kTextInformation),
                  QString::fromStdString(workflow::NotGbkMessage(workbench_.language, which)));
    // The edit shows again what the record holds.
    updating_ = true;
    if (which == workflow::TextField::Brand) brand_edit_->setText(FromGbk(current_record_.Brand.str()));
    if (which == workflow::TextField::CodeNo) code_edit_->setText(FromGbk(current_record_.CodeNo.str()));
    if (which == workflow::TextField::Memo) memo_edit_->setPlainText(MemoOfLanguage(current_record_));
    updating_ = false;
    return;
  }
  if (which == workflow::TextField::Brand) current_record_.Brand.assign(*gbk);
  if (which == workflow::TextField::CodeNo) current_record_.CodeNo.assign(*gbk);
  if (which == workflow::TextField::Memo)
    (chinese ? current_record_.MemoCn : current_record_.MemoEn).assign(*gbk);
  MarkRecordModified();
}

void TfrmAirEditor::NewCommand() {
  if (!ConfirmPendingChanges()) return;
  store::TdiskAir start;
  try {
    start = workflow::LoadNewRecordTemplate(workbench_.library, workbench_.DataDir(), true);
  } catch (const base::FileError& e) {
    prompts_.Tell(this, Text(kTextInformation), QString::fromStdString(e.what()));
    start = workflow::LoadNewRecordTemplate(workbench_.library, workbench_.DataDir(), false);
  }
  ui::TfrmStatusEditor editor(start, workbench_.language, workbench_.DataDir(), Messages(), this);
  editor.setWindowTitle(Text(kTextNewKeysCaption));
  editor.SetOkCaption(Text(kTextNewKeysOk));
  if (prompts_.RunDialog(editor) != QDialog::Accepted) return;
  store::TdiskAir record = workflow::PrepareNewRecord(editor.Record(), base::NowAsDateTime());
  {
    ui::TfrmGeShiSelect chooser(record, workbench_.settings.DecodeTolerance, workbench_.language, Messages(),
                                this);
    ChooserSession session(workbench_, chooser, true, format_chooser_, [this] { SyncCaptureButtons(); });
    if (prompts_.RunDialog(chooser) != QDialog::Accepted) return;
    if (!workflow::FinishNewRecord(record, chooser.Result(), chooser.LsbFirst(), workbench_.library)) return;
  }
  current_index_ = -1;
  current_record_ = record;
  current_picture_ = {};
  ShowModelsAndPicture();
  ShowCurrentRecord();
  current_lines_.assign(current_record_.UsedKeys(), {});
  ShowStatusIndex();
  // The new record is not in the library yet: Save is offered at once.
  record_modified_ = true;
  picture_modified_ = false;
  UpdateActions();
  AssistantAnalyserCommand();
}

void TfrmAirEditor::SaveAsCommand() {
  // The code number must differ from every record, this one's stored copy too.
  const int remembered = current_index_;
  current_index_ = -1;
  const bool valid = ValidateCurrentRecord();
  current_index_ = remembered;
  if (!valid) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    ui::WaitMessageScope wait(Text(kTextPleaseWait));
    current_record_.ChangeTime = base::NowAsDateTime();
    current_index_ = workbench_.library.StoreRecord(current_record_, current_lines_, -1);
    if (current_index_ >= 0) record_modified_ = false;
    ShowStatusIndex();
    CollectModelNames();
    store::StorePicture(base::Trim(current_record_.CodeNo.str()), current_picture_, workbench_.PictureFile());
    picture_modified_ = false;
    lock.reset();
    RefreshLibraryListKeepingRecord();
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, Text(kTextInformation), QString::fromStdString(e.what()));
  }
  UpdateActions();
}

void TfrmAirEditor::EditKeys() {
  if (current_index_ < 0) return;
  ui::TfrmStatusEditor editor(current_record_, workbench_.language, workbench_.DataDir(), Messages(), this);
  // These captions are Chinese texts; in another language the editor keeps its
  // translated caption and OK button.
  if (workbench_.language.IsChinese()) {
    editor.setWindowTitle(kEditKeysCaption);
    editor.SetOkCaption(kEditKeysOk);
  }
  if (prompts_.RunDialog(editor) != QDialog::Accepted) return;
  workflow::CopyBackKeys(current_record_, editor.Record());
  ShowCurrentRecord();
  MarkRecordModified();
}

void TfrmAirEditor::ModifyFormat() {
  bool accepted = false;
  ui::TfrmGeShiSelect chooser(current_record_, workbench_.settings.DecodeTolerance, workbench_.language,
                              Messages(), this);
  {
    ChooserSession session(workbench_, chooser, true, format_chooser_, [this] { SyncCaptureButtons(); });
    chooser.SetNextCaption(Text(kTextModifyNext));
    chooser.SetLsbFirst(store::IsLsbFirst(current_record_));
    chooser.SetEditMode(true);
    accepted = prompts_.RunDialog(chooser) == QDialog::Accepted;
  }
  if (!accepted) return;
  workflow::ApplyEditedFormat(current_record_, chooser.Result().Params, chooser.ProtocolRows());
  MarkRecordModified();
  ShowCurrentRecord();
}

void TfrmAirEditor::FilterByLearning() {
  ui::TfrmGeShiSelect chooser(current_record_, workbench_.settings.DecodeTolerance, workbench_.language,
                              Messages(), this);
  ChooserSession session(workbench_, chooser, false, format_chooser_, [this] { SyncCaptureButtons(); });
  chooser.setWindowTitle(Text(kTextLearnFilterCaption));
  chooser.SetNextVisible(false);
  chooser.SetCancelCaption(Text(kTextClose));
  chooser.SetBothOrders(true);
  emit LearnFilterChooserOpened(&chooser);
  prompts_.RunDialog(chooser);
}

}  // namespace klimavo::app
