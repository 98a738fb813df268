// The main window's verification and output commands: the remote check
// ("Compare code"), filter by learning (its library search), Program, the C
// array ("Create c++"), the chip-image check of all records, the universal
// conversion into <home>/acwn.txt and the mobile bundle ("Export mobile file").
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTimer>
#include <exception>

#include "analysis/protocol_comparison.h"
#include "analysis/table_image_problem.h"
#include "app/device_session.h"
#include "app/main_window.h"
#include "base/text.h"
#include "device/capture_router.h"
#include "device/programming.h"
#include "firmware/chip_image_check.h"
#include "firmware/mobile_bundle.h"
#include "firmware/table_file.h"
#include "firmware/table_image.h"
#include "lang/text_numbers.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/programming_dialog.h"
#include "ui/dialogs/remote_check_dialog.h"
#include "ui/dialogs/wait_message.h"
#include "ui/ui_text.h"

namespace klimavo::app {
namespace {

constexpr const char* kTableFileName = "acwn.txt";
// Texts of these commands.
constexpr int kTextPleaseWait = 27;
constexpr int kTextTableFileWritten = 160;
constexpr int kTextNoCurrentRecord = 161;
constexpr int kTextCheckingImages = 163;
constexpr int kTextImagesChecked = 164;
constexpr int kTextLearnFilterHits = 165;
constexpr int kTextSmallestImage = 166;
constexpr int kTextNotProgrammed = 167;
constexpr int kTextImageTooLarge = 168;
constexpr int kTextCancel = 169;
constexpr int kTextMobileFilesFilter = 303;
constexpr int kTextMobileFileCaption = 307;

}  // namespace

void TfrmAirEditor::ConnectOutputCommands() {
  auto bind = [this](const char* name, void (TfrmAirEditor::*command)()) {
    if (auto* action = findChild<QAction*>(name)) connect(action, &QAction::triggered, this, command);
  };
  bind("btnCompareCode", &TfrmAirEditor::CompareCode);
  bind("actnProgram", &TfrmAirEditor::ProgramCommand);
  bind("actnSend", &TfrmAirEditor::SendCommand);
  bind("mnuCreateCpp", &TfrmAirEditor::CreateCArray);
  bind("btnCheckImages", &TfrmAirEditor::CheckAllChipImages);
  bind("mnuConvertOne", &TfrmAirEditor::ConvertToUniversal);
  bind("mnuMobileFile", &TfrmAirEditor::ExportMobileBundle);
  // The chooser of Filter by learning asks for a library search after each
  // decode and for the comparison with one record; both requests are posted
  // and only served while that chooser is still open.
  connect(this, &TfrmAirEditor::LearnFilterChooserOpened, this, [this](ui::TfrmGeShiSelect* chooser) {
    connect(
        chooser, &ui::TfrmGeShiSelect::FilterDecoded, chooser,
        [this, chooser] {
          if (FormatChooser() == chooser) LearnFilterSearch(chooser->Result());
        },
        Qt::QueuedConnection);
    connect(
        chooser, &ui::TfrmGeShiSelect::CompareWithRecordRequested, chooser,
        [this, chooser](int index) {
          if (FormatChooser() == chooser) CompareWithRecord(chooser->Result(), index);
        },
        Qt::QueuedConnection);
  });
}

void TfrmAirEditor::CompareCode() {
  // The capture buttons follow the learn mode however the check ends, also
  // when its window fails.
  struct SyncButtons {
    TfrmAirEditor* window;
    ~SyncButtons() { window->SyncCaptureButtons(); }
  } sync{this};
  ui::TfrmCheckAc dialog(session_.Record(), workbench_.settings.DecodeTolerance, workbench_.language, this);
  // The window takes the captures for exactly as long as it exists.
  const device::CaptureRouter::Lease lease =
      workbench_.captures.Occupy(device::CaptureConsumer::RemoteCheck,
                                 [&dialog](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
                                   dialog.CheckCapture(durations, carrier);
                                 });
  prompts_.RunDialog(dialog);
}

void TfrmAirEditor::ProgramCommand() {
  base::Bytes image;
  const int code =
      firmware::BuildTableImage(session_.Record(), session_.Lines(), true, workbench_.settings.Timing, image);
  if (code != 0) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  ui::FromGbk(analysis::TableImageProblem(code, workbench_.language)));
    return;
  }
  if (const std::string problem = device::ProgramImageSizeProblem(image.size()); !problem.empty()) {
    prompts_.Tell(
        this, ui::LangText(workbench_.language, lang::kTextInformation),
        ui::LangText(workbench_.language, kTextImageTooLarge) + " " + QString::fromStdString(problem));
    return;
  }
  // The programmer is reached through the learner's link, with listening off:
  // a pending start of listening must not take the programmer's replies.
  ListenTimer()->stop();
  device::TIRTongxun* link = workbench_.device ? &workbench_.device->Manager() : nullptr;
  if (link != nullptr) link->SetListening(false);
  int result = QDialog::Rejected;
  {
    ui::TfrmDownProc dialog(link, device::SteadyClock::Instance(), workbench_.language,
                            workbench_.home / "Binn", this);
    dialog.StartProgramming(image);
    result = prompts_.RunDialog(dialog);
    dialog.StopProgramming();
  }
  if (link != nullptr) link->SetListening(true);
  status_hint_->setText(result == QDialog::Accepted ? ui::LangText(workbench_.language, 0)
                                                    : ui::LangText(workbench_.language, kTextNotProgrammed));
}

void TfrmAirEditor::AppendMemoLine(const QString& line) {
  const bool was_updating = updating_;
  updating_ = true;
  memo_edit_->appendPlainText(line);
  updating_ = was_updating;
}

void TfrmAirEditor::CreateCArray() {
  updating_ = true;
  memo_edit_->clear();
  store::TdiskAir record;
  store::TBtnLines lines;
  base::Bytes image;
  if (!workbench_.library.FetchRecord(session_.Index(), record, lines) ||
      firmware::BuildTableImage(record, lines, false, workbench_.settings.Timing, image) != 0) {
    AppendMemoLine(ui::FromGbk(session_.Record().CodeNo.str()));
  } else {
    AppendMemoLine(QString::fromStdString(firmware::CArrayText(image)));
  }
  updating_ = false;
}

void TfrmAirEditor::CheckAllChipImages() {
  updating_ = true;
  memo_edit_->clear();
  const int total = workbench_.library.Size();
  QProgressDialog progress(ui::LangText(workbench_.language, kTextCheckingImages),
                           ui::LangText(workbench_.language, kTextCancel), 0, total, this);
  progress.setObjectName("dlgCheckImages");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  const firmware::ChipImageCheckResult result =
      firmware::CheckAllChipImages(workbench_.library, workbench_.settings.Timing, [&](int done, int) {
        progress.setValue(done);
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
      });
  progress.setValue(total);
  for (const std::string& code : result.listed) AppendMemoLine(ui::FromGbk(code));
  updating_ = false;
  status_hint_->setText(ui::LangText(workbench_.language, kTextImagesChecked)
                            .arg(result.checked)
                            .arg(total)
                            .arg(static_cast<qsizetype>(result.listed.size())));
}

void TfrmAirEditor::ConvertToUniversal() {
  if (session_.Index() < 0) {
    status_hint_->setText(ui::LangText(workbench_.language, kTextNoCurrentRecord));
    return;
  }
  const std::filesystem::path file = workbench_.home / kTableFileName;
  try {
    firmware::WriteTableFile(file, workbench_.library, {session_.Index()}, workbench_.settings.Timing,
                             [this](const std::string& line) { AppendMemoLine(ui::FromGbk(line)); });
    status_hint_->setText(ui::LangText(workbench_.language, kTextTableFileWritten) + " " +
                          QString::fromStdString(file.string()));
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
}

void TfrmAirEditor::ExportMobileBundle() {
  const auto target = prompts_.SaveFile(this, ui::LangText(workbench_.language, kTextMobileFileCaption),
                                        ui::LangText(workbench_.language, kTextMobileFilesFilter), "bin");
  if (!target || RefuseHomeFileAsExport(*target)) return;
  updating_ = true;
  memo_edit_->clear();
  try {
    const firmware::MobileBundle bundle =
        firmware::WriteMobileBundle(target->toStdString(), workbench_.library, workbench_.settings.Timing);
    for (const std::string& code : bundle.skipped) AppendMemoLine(ui::FromGbk(code));
    updating_ = false;
    prompts_.Tell(
        this, QString(),
        ui::LangText(workbench_.language, kTextSmallestImage) + " " + QString::number(bundle.smallest_image));
  } catch (const std::exception& e) {
    updating_ = false;
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
  updating_ = false;
}

void TfrmAirEditor::AppendDiagnostic(int index, int reason) {
  summary_memo_->appendPlainText(QString("%1:%2").arg(index).arg(reason));
}

// The comparison posts its diagnostics: they reach the summary memo after the
// command has shown its result (and after the record it shows was refreshed).
void TfrmAirEditor::PostDiagnostics(const std::vector<std::pair<int, int>>& pairs) {
  for (const auto& [index, reason] : pairs)
    QTimer::singleShot(0, this, [this, index = index, reason = reason] { AppendDiagnostic(index, reason); });
}

void TfrmAirEditor::LearnFilterSearch(const ir::Tcomp_aval& decoded) {
  std::vector<std::pair<int, int>> diagnostics;
  {
    const ui::WaitMessageScope wait(ui::LangText(workbench_.language, kTextPleaseWait));
    analysis::TTheAcComp comparison(workbench_.library.Records(),
                                    {workbench_.settings.DecodeTolerance, workbench_.settings.SkipBaseData});
    session_.SetLearnFilter(comparison.CompareWithLibrary(decoded));
    for (const auto& d : comparison.Diagnostics()) diagnostics.emplace_back(d.index, d.reason);
  }
  ShowLibraryRows();
  status_hint_->setText(ui::LangText(workbench_.language, kTextLearnFilterHits) + " " +
                        QString::number(session_.LearnFilterHits().size()));
  PostDiagnostics(diagnostics);
}

void TfrmAirEditor::CompareWithRecord(const ir::Tcomp_aval& decoded, int index) {
  if (index < 0 || index >= workbench_.library.Size()) return;
  std::vector<std::pair<int, int>> diagnostics;
  {
    const ui::WaitMessageScope wait(ui::LangText(workbench_.language, kTextPleaseWait));
    analysis::TTheAcComp comparison(workbench_.library.Records(),
                                    {workbench_.settings.DecodeTolerance, workbench_.settings.SkipBaseData});
    comparison.CompareWithRecord(decoded, index);
    for (const auto& d : comparison.Diagnostics()) diagnostics.emplace_back(d.index, d.reason);
  }
  PostDiagnostics(diagnostics);
}

}  // namespace klimavo::app
