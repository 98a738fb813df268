// The main window's commands of the function analysis wizard, and the pulse
// feed through which other programs reach the open analysis wizards.
#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "app/device_session.h"
#include "app/main_window.h"
#include "app/pulse_feed.h"
#include "store/record_summary.h"
#include "ui/dialogs/function_wizard_dialog.h"
#include "ui/ui_text.h"

namespace klimavo::app {
namespace {

constexpr int kTextFeedUnavailable = 143;

}  // namespace

void TfrmAirEditor::BuildWizardCommands() {
  connect(act_auto_wizard_, &QAction::triggered, this, &TfrmAirEditor::AssistantAnalyserCommand);
  pulse_feed_ = new PulseFeed(workbench_.captures, this);
  if (!pulse_feed_->Listen(workbench_.home))
    statusBar()->showMessage(ui::LangText(workbench_.language, kTextFeedUnavailable) + " " +
                             pulse_feed_->ErrorText());
}

void TfrmAirEditor::AssistantAnalyserCommand() {
  // The wizard holds its capture slot for as long as it exists, also when it
  // ends by an error.
  ui::TfrmWizard wizard(session_.Record(), session_.Lines(), workbench_.language, workbench_.settings,
                        workbench_.captures, this);
  wizard.SetTell([this](QWidget* parent, const QString& caption, const QString& text) {
    prompts_.Tell(parent, caption, text);
  });
  wizard.SetAsk([this](QWidget* parent, const QString& caption, const QString& text) {
    return prompts_.Ask(parent, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  });
  // The wizard's word that a stored code changed is handled once control is
  // back in the event loop, as a posted message would be.
  connect(&wizard, &ui::TfrmWizard::StoredCodesChanged, this, &TfrmAirEditor::RefreshSummary,
          Qt::QueuedConnection);
  // The near and far items of its waveform menu switch the learner's range.
  wizard.SetLearnModeHandler([this](int tag) {
    if (workbench_.device) workbench_.device->Manager().SetLearnMode(tag);
  });
  // The capture buttons follow the learn mode however the wizard ends.
  struct SyncButtons {
    TfrmAirEditor* window;
    ~SyncButtons() { window->SyncCaptureButtons(); }
  } sync{this};
  prompts_.RunDialog(wizard);
  wizard.Finish();
  if (wizard.RecordChanged()) MarkRecordModified();
  ShowCurrentRecord();
}

void TfrmAirEditor::RefreshSummary() {
  summary_memo_->setPlainText(ui::FromGbk(store::RecordSummaryText(session_.Record(), workbench_.language)));
}

}  // namespace klimavo::app
