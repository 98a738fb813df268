// The main window's part of the online update: the automatic checker's life
// (from the first showing of the window until the Update command or the end of
// the window), the question it asks through the window, the update notice and
// the "Update" command with its dialog.
#include <QAction>
#include <QMetaObject>

#include "app/main_window.h"
#include "ui/dialogs/update_dialog.h"
#include "ui/qt_dispatcher.h"
#include "ui/ui_text.h"
#include "update/auto_update.h"
#include "update/update_outcome.h"
#include "update/update_server.h"

namespace klimavo::app {
namespace {

/// The parameter of the Update request that runs the Update command.
constexpr int kRunUpdate = 1;
constexpr int kTextServerSays = 273;
constexpr int kServerTextChars = 400;

}  // namespace

void TfrmAirEditor::BuildUpdateCommands() {
  update_dispatcher_ = std::make_unique<ui::QtDispatcher>();
  if (QAction* item = findChild<QAction*>("mnuUpdate"))
    connect(item, &QAction::triggered, this, &TfrmAirEditor::UpdateCommand);
}

void TfrmAirEditor::SetUpdateServer(std::optional<std::string> url) { update_url_ = std::move(url); }

void TfrmAirEditor::SetAutoUpdateTiming(update::AutoCheckTiming timing,
                                        std::chrono::milliseconds read_timeout) {
  auto_update_timing_ = timing;
  auto_update_read_timeout_ = read_timeout;
}

void TfrmAirEditor::StartAutoUpdate() {
  // No address (or an unusable one) keeps the check silent: it never starts.
  update::ServerAddress address;
  try {
    address = update::ResolveServerAddress(workbench_.ConfigFile(), update_url_);
  } catch (const std::exception&) {
    return;
  }
  if (address.problem != update::AddressProblem::kNone) return;
  update::ServerSettings server = update::CheckSettings(address.base_url);
  server.read_timeout = auto_update_read_timeout_;
  auto_update_ = std::make_unique<update::TIRAutoUpdate>(
      *update_dispatcher_, std::move(server), workbench_.ConfigFile(), [this] { return AnswerUpdateQuery(); },
      [this](bool available, const std::string& msg) { UpdateNotice(available, msg); }, auto_update_timing_);
  auto_update_->Start();
}

bool TfrmAirEditor::AnswerUpdateQuery() const { return !isActiveWindow(); }

void TfrmAirEditor::UpdateNotice(bool available, const std::string& msg) {
  if (!available) return;
  // The question is the workbench's text; the list's own message follows it,
  // without control characters (the server's text must not steer the display)
  // and cut to a few lines.
  QString question = ui::LangText(workbench_.language, update::kTextUpdateQuestion);
  QString server_text;
  for (const QChar c : ui::FromGbk(msg).left(kServerTextChars))
    if (c == '\n' || (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format))
      server_text += c;
  server_text = server_text.trimmed();
  if (!server_text.isEmpty())
    question += "\n\n" + ui::LangText(workbench_.language, kTextServerSays) + " " + server_text;
  if (prompts_.Ask(this, ui::LangText(workbench_.language, update::kTextUpdateCaption), question,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
    PostUpdateRequest(kRunUpdate);
}

void TfrmAirEditor::PostUpdateRequest(int wparam) {
  QMetaObject::invokeMethod(
      this,
      [this, wparam] {
        if (wparam == kRunUpdate) UpdateCommand();
      },
      Qt::QueuedConnection);
}

void TfrmAirEditor::UpdateCommand() {
  auto_update_.reset();
  // Without a usable address (or a readable config.ini) the dialog says that no
  // server is set.
  update::ServerSettings server;
  try {
    const update::ServerAddress address = update::ResolveServerAddress(workbench_.ConfigFile(), update_url_);
    if (address.problem == update::AddressProblem::kNone)
      server = update::DownloadSettings(workbench_.ConfigFile(), address.base_url);
  } catch (const std::exception&) {
    server = update::ServerSettings{};
  }
  bool copied = false;
  {
    ui::TfrmUpdate dialog(*update_dispatcher_, workbench_.home, server, workbench_.language, this);
    dialog.SetAutoStart(true);
    prompts_.RunDialog(dialog);
    copied = dialog.FilesCopied();
  }
  if (copied) AfterUpdateCopiedFiles();
}

void TfrmAirEditor::AfterUpdateCopiedFiles() {
  // The update may have replaced the library this window has loaded; a later
  // save would overwrite it with the old records unless the changed-on-disk
  // question (Reload / Overwrite / Cancel) is settled now.
  ConfirmLibraryUnchangedOnDisk();
}

update::TIRAutoUpdate* TfrmAirEditor::AutoUpdate() const { return auto_update_.get(); }

}  // namespace klimavo::app
