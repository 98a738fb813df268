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
#include "base/text.h"
#include "lang/text_numbers.h"
#include "store/library.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/key_editor_dialog.h"
#include "ui/dialogs/wait_message.h"
#include "ui/ui_text.h"
#include "workflow/new_record.h"
#include "workflow/record_edits.h"
#include "workflow/text_fields.h"

namespace klimavo::app {
namespace {

constexpr int kCloseRange = 1;
constexpr int kTextPleaseWait = 27;
constexpr int kTextClose = 36;
constexpr int kTextModifyNext = 38;
constexpr int kTextLearnFilterCaption = 41;
constexpr int kTextNewKeysCaption = 43;
constexpr int kTextNewKeysOk = 44;
constexpr const char* kEditKeysCaption = "空调按键设置";
constexpr const char* kEditKeysOk = "完成";

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
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(problem));
}

void TfrmAirEditor::StoreTypedText(int field, const QString& text) {
  if (updating_) return;
  const auto which = static_cast<workflow::TextField>(field);
  const bool chinese = workbench_.language.IsChinese();
  const std::optional<std::string> gbk = workflow::RecordText(text.toStdString());
  if (!gbk) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(workflow::NotGbkMessage(workbench_.language, which)));
    // The edit shows again what the record holds.
    updating_ = true;
    if (which == workflow::TextField::Brand) brand_edit_->setText(ui::FromGbk(session_.Record().Brand.str()));
    if (which == workflow::TextField::CodeNo)
      code_edit_->setText(ui::FromGbk(session_.Record().CodeNo.str()));
    if (which == workflow::TextField::Memo) memo_edit_->setPlainText(MemoOfLanguage(session_.Record()));
    updating_ = false;
    return;
  }
  if (which == workflow::TextField::Brand) session_.Record().Brand.assign(*gbk);
  if (which == workflow::TextField::CodeNo) session_.Record().CodeNo.assign(*gbk);
  if (which == workflow::TextField::Memo)
    (chinese ? session_.Record().MemoCn : session_.Record().MemoEn).assign(*gbk);
  MarkRecordModified();
}

void TfrmAirEditor::NewCommand() {
  if (!ConfirmPendingChanges()) return;
  store::TdiskAir start;
  try {
    start = workflow::LoadNewRecordTemplate(workbench_.library, workbench_.DataDir(), true);
  } catch (const base::FileError& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
    start = workflow::LoadNewRecordTemplate(workbench_.library, workbench_.DataDir(), false);
  }
  ui::TfrmStatusEditor editor(start, workbench_.language, workbench_.DataDir(), Messages(), this);
  editor.setWindowTitle(ui::LangText(workbench_.language, kTextNewKeysCaption));
  editor.SetOkCaption(ui::LangText(workbench_.language, kTextNewKeysOk));
  if (prompts_.RunDialog(editor) != QDialog::Accepted) return;
  store::TdiskAir record = workflow::PrepareNewRecord(editor.Record(), base::NowAsDateTime());
  {
    ui::TfrmGeShiSelect chooser(record, workbench_.settings.DecodeTolerance, workbench_.language, Messages(),
                                this);
    ChooserSession session(workbench_, chooser, true, format_chooser_, [this] { SyncCaptureButtons(); });
    if (prompts_.RunDialog(chooser) != QDialog::Accepted) return;
    if (!workflow::FinishNewRecord(record, chooser.Result(), chooser.LsbFirst(), workbench_.library)) return;
  }
  // The new record is not in the library yet: Save is offered at once.
  session_.StartNew(record);
  ShowModelsAndPicture();
  ShowCurrentRecord();
  ShowStatusIndex();
  UpdateActions();
  AssistantAnalyserCommand();
}

void TfrmAirEditor::SaveAsCommand() {
  // The code number must differ from every record, this one's stored copy too.
  const int remembered = session_.Index();
  session_.SetIndex(-1);
  const bool valid = ValidateCurrentRecord();
  session_.SetIndex(remembered);
  if (!valid) return;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    ui::WaitMessageScope wait(ui::LangText(workbench_.language, kTextPleaseWait));
    session_.Record().ChangeTime = base::NowAsDateTime();
    session_.SetIndex(workbench_.library.StoreRecord(session_.Record(), session_.Lines(), -1));
    if (session_.Index() >= 0) session_.SetRecordModified(false);
    ShowStatusIndex();
    CollectModelNames();
    store::StorePicture(base::Trim(session_.Record().CodeNo.str()), session_.Picture(),
                        workbench_.PictureFile());
    session_.SetPictureModified(false);
    lock.reset();
    RefreshLibraryListKeepingRecord();
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
  UpdateActions();
}

void TfrmAirEditor::EditKeys() {
  if (session_.Index() < 0) return;
  ui::TfrmStatusEditor editor(session_.Record(), workbench_.language, workbench_.DataDir(), Messages(), this);
  // These captions are Chinese texts; in another language the editor keeps its
  // translated caption and OK button.
  if (workbench_.language.IsChinese()) {
    editor.setWindowTitle(kEditKeysCaption);
    editor.SetOkCaption(kEditKeysOk);
  }
  if (prompts_.RunDialog(editor) != QDialog::Accepted) return;
  workflow::CopyBackKeys(session_.Record(), editor.Record());
  ShowCurrentRecord();
  MarkRecordModified();
}

void TfrmAirEditor::ModifyFormat() {
  bool accepted = false;
  ui::TfrmGeShiSelect chooser(session_.Record(), workbench_.settings.DecodeTolerance, workbench_.language,
                              Messages(), this);
  {
    ChooserSession session(workbench_, chooser, true, format_chooser_, [this] { SyncCaptureButtons(); });
    chooser.SetNextCaption(ui::LangText(workbench_.language, kTextModifyNext));
    chooser.SetLsbFirst(store::IsLsbFirst(session_.Record()));
    chooser.SetEditMode(true);
    accepted = prompts_.RunDialog(chooser) == QDialog::Accepted;
  }
  if (!accepted) return;
  workflow::ApplyEditedFormat(session_.Record(), chooser.Result().Params, chooser.ProtocolRows());
  MarkRecordModified();
  ShowCurrentRecord();
}

void TfrmAirEditor::FilterByLearning() {
  ui::TfrmGeShiSelect chooser(session_.Record(), workbench_.settings.DecodeTolerance, workbench_.language,
                              Messages(), this);
  ChooserSession session(workbench_, chooser, false, format_chooser_, [this] { SyncCaptureButtons(); });
  chooser.setWindowTitle(ui::LangText(workbench_.language, kTextLearnFilterCaption));
  chooser.SetNextVisible(false);
  chooser.SetCancelCaption(ui::LangText(workbench_.language, kTextClose));
  chooser.SetBothOrders(true);
  emit LearnFilterChooserOpened(&chooser);
  prompts_.RunDialog(chooser);
}

}  // namespace klimavo::app
