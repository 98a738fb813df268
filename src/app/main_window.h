#pragma once
// The main window: the hub of the workbench. It lists the protocol library,
// shows and edits the current record (brand, code number, memo, keys with their
// bit-field and state table, model names, picture, summary) and hosts every
// command.

#include <QMainWindow>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/user_prompts.h"
#include "app/workbench.h"
#include "ir/ir_types.h"
#include "store/library_and_pictures.h"
#include "store/picture_store.h"
#include "store/protocol_record.h"
#include "ui/qt_dispatcher.h"
#include "update/auto_update.h"
#include "workflow/editor_session.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace klimavo::ui {
class DataGrid;
class LibraryGrid;
class TfrmGeShiSelect;
struct DialogMessages;
}  // namespace klimavo::ui

namespace klimavo::app {

class PulseFeed;

class TfrmAirEditor : public QMainWindow {
  Q_OBJECT

 public:
  TfrmAirEditor(Workbench& workbench, UserPrompts& prompts, QWidget* parent = nullptr);

  // Display routines.
  void ShowCurrentRecord();
  void ShowButtonTable();
  void RefreshLibraryList();
  void ShowModelsAndPicture();
  void CollectModelNames();
  /// The save-changes question; false when the calling command must stop.
  bool ConfirmPendingChanges();

  // Commands.
  void SaveCommand();
  void DeleteSelectedRecords();
  void ExportSelectedRecords();
  void ImportRecords();
  void ChangeLanguage(int tag);
  void ToggleReadOnly();
  void OpenOptions();
  void ShowAbout();
  /// Load-picture command for a chosen file (after the open dialog).
  void LoadPictureFile(const QString& file);
  void ClearPicture();
  void DeleteModelRow(int row);
  void RenameKey();

  // Function analysis wizard and the pulse feed (main_window_wizards.cpp;
  // AssistantAnalyserCommand is declared with the record workflows below).
  /// The stored codes of the current record changed: the summary is shown again.
  void RefreshSummary();
  PulseFeed* Feed() const { return pulse_feed_; }

  // Checksum analysis wizard (main_window_checksum.cpp).
  /// "Checksum assistant": the checksum analysis wizard over the current record.
  void ChecksumAssistantCommand();

  // State, for the commands of later dialogs and for tests.
  int CurrentIndex() const { return session_.Index(); }
  bool RecordModified() const { return session_.RecordModified(); }
  bool PictureModified() const { return session_.PictureModified(); }
  int SortColumn() const { return session_.SortColumn(); }
  bool SortDescending() const { return session_.SortDescending(); }
  const store::TdiskAir& CurrentRecord() const { return session_.Record(); }
  const store::TMemPic_Info& CurrentPicture() const { return session_.Picture(); }
  const workflow::EditorSession& Session() const { return session_; }
  Workbench& State() { return workbench_; }

  // Online update: the automatic check's life, its question and notice, the Update command.
  /// The update server given on the command line (--update-url); it overrides config.ini.
  void SetUpdateServer(std::optional<std::string> url);
  /// The timing of the automatic check (set before the window is first shown).
  void SetAutoUpdateTiming(update::AutoCheckTiming timing,
                           std::chrono::milliseconds read_timeout = update::kReadTimeout);
  /// "Update": stops the automatic check and runs the update dialog.
  void UpdateCommand();
  /// The automatic check's question: true while this is not the active window.
  bool AnswerUpdateQuery() const;
  /// The update notice: with an update available, asks whether to update now.
  void UpdateNotice(bool available, const std::string& msg);
  /// Posts the Update request to the window itself; 1 runs the Update command.
  void PostUpdateRequest(int wparam);
  /// The automatic checker while it exists.
  update::TIRAutoUpdate* AutoUpdate() const;

  // Data safety: the protected state of a damaged library or picture store, the
  // question about a library changed on disk, and the rescue of the records
  // read whole (main_window_safety.cpp).
  /// Before a write of the library: when another program changed the file
  /// since it was loaded or last written, asks Reload / Overwrite / Cancel.
  /// True when the write may go on (the file is unchanged, or Overwrite);
  /// false when the caller must stop (Cancel; or Reload, which reloads the
  /// library and keeps a record with unsaved changes as a new, modified record).
  /// Call it without holding the library's lock: Reload takes it.
  bool ConfirmLibraryUnchangedOnDisk();
  /// Writes the records read whole, with their pictures, to an exchange file.
  void SaveReadableRecordsAs();
  /// Names the records an export wrote without their picture (a damaged store).
  QString PicturesLeftOutText(const std::vector<std::string>& codes) const;
  void TellPicturesLeftOut(const std::vector<std::string>& codes);
  /// True (and says so) when `target` is one of the home's own files, which an
  /// export must never replace, however it is named.
  bool RefuseHomeFileAsExport(const QString& target);
  /// True while the library or the picture store is damaged: every command
  /// that writes them is disabled.
  bool LibraryProtected() const { return workbench_.library_protected; }
  // Output and verification commands (main_window_output.cpp): the remote
  // check, filter by learning, programming, the C array, the chip-image check
  // of all records, the universal conversion and the mobile bundle.
  void CompareCode();
  void ProgramCommand();
  /// Sends the current record's code through a kernel IR transmitter (main_window_send.cpp).
  void SendCommand();
  void CreateCArray();
  void CheckAllChipImages();
  void ConvertToUniversal();
  void ExportMobileBundle();
  /// Message 0x401: a line of the table generator for the memo edit.
  void AppendMemoLine(const QString& line);
  /// Message 0x403: filter the library by a decoded capture.
  void LearnFilterSearch(const ir::Tcomp_aval& decoded);
  /// Message 0x405: compare a decoded capture with one record (diagnostics only).
  void CompareWithRecord(const ir::Tcomp_aval& decoded, int index);
  /// Message 0x404: a (library index, reason code) pair for the summary memo.
  void AppendDiagnostic(int index, int reason);
  bool LearnFilterOn() const { return session_.LearnFilterOn(); }
  const std::vector<int>& LearnFilterHits() const { return session_.LearnFilterHits(); }

  // Capture routing, the learner and the record workflows.
  /// New record: key editor on the template, format chooser, then the Assistant analyser.
  void NewCommand();
  void SaveAsCommand();
  /// Key editor on a copy of the current record (only for a stored record).
  void EditKeys();
  /// Format chooser in edit mode over the current record's timing and frames.
  void ModifyFormat();
  /// Format chooser in filter mode: every decode asks for a library search.
  void FilterByLearning();
  /// The function analysis wizard on the current record.
  void AssistantAnalyserCommand();
  /// Tools > Learn remote: learns a whole record from labelled presses and stores it.
  void LearnRemoteCommand();
  /// The device manager's capture handler: to the first open consumer.
  void RouteCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  /// The device manager's status handler: near/far buttons and status bar.
  void ShowDeviceStatus(bool connected);
  /// Puts the near/far button down that matches the learn mode.
  void SyncCaptureButtons();
  /// Near (tag 1) or far (tag 2) button: listening off, 100 ms, learn mode, listening on.
  void CaptureButtonClicked(int tag);
  /// Presses a key of the simulated remote (only with the simulated learner).
  void SimulatedKeyCommand();
  /// The format chooser while one is open, else null.
  ui::TfrmGeShiSelect* FormatChooser() const { return format_chooser_; }
  QTimer* ListenTimer() const { return listen_timer_; }

  // Window layout, menus, the library list's selection and the commands' availability.
  /// Writes the geometry, pane sizes and library column widths into [window] of config.ini.
  void SaveWindowLayout();
  /// Fills the list again from the prepared library: after a keyword, a sort
  /// or a filter change, when the library itself is unchanged.
  void ShowLibraryRows();
  /// Refreshes the library list without loading another record, and selects
  /// the row of the shown record (after Save and Save as).
  void RefreshLibraryListKeepingRecord();
  /// The list row (1-based) of a library index, 0 when it has none.
  int RowOfLibraryIndex(int index) const;
  /// Applies the keyword box's text to the list now (Enter, or typing that paused).
  void ApplyKeyword();

 signals:
  /// The format chooser opened by Filter by learning, before it is shown:
  /// connect its FilterDecoded and CompareWithRecordRequested here.
  void LearnFilterChooserOpened(ui::TfrmGeShiSelect* chooser);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildPanes();
  void ApplyLanguage();
  void RebuildLanguageMenu();
  void UpdateActions();
  void LibraryRowChanged(int row);
  void LibraryHeadingClicked(int column);
  void KeyClicked();
  void PaintKeyList();
  void ShowPicture();
  bool ValidateCurrentRecord();
  void SelectKey(int key);
  void MarkRecordModified();
  void MarkPictureModified();
  QString MemoOfLanguage(const store::TdiskAir& record) const;
  std::vector<int> SelectedLibraryIndices() const;
  /// Connects the wizard commands and starts the pulse feed (main_window_wizards.cpp).
  void BuildWizardCommands();
  /// Connects "Checksum assistant" (main_window_checksum.cpp).
  void BuildChecksumCommands();
  /// Adds Tools > Learn remote (main_window_learn.cpp).
  void BuildLearnCommand();
  // Data safety (main_window_safety.cpp).
  void BuildSafetyActions(QMenu* file_menu);
  void BuildProtectionNotice();
  void ReportDamage();
  void ApplyProtection();
  void ReloadLibrary();
  /// For a command that writes the library or the picture store: refuses in
  /// the protected state and settles a change on disk. Returns the locks to
  /// hold until the write is done, or nullopt when the command must stop.
  std::optional<store::StoreLock> BeginStoreWrite();
  // Online update.
  void BuildUpdateCommands();
  void StartAutoUpdate();
  void AfterUpdateCopiedFiles();

  // Capture routing, the learner and the record workflows.
  void ConnectDeviceManager();
  /// The learner's truncation time from the settings (after the options dialog).
  void ApplyDeviceSettings();
  void ConnectWorkflowCommands();
  void StartCapturing();
  void ListenTimerTick();
  void ShowStartupProblems();
  ui::DialogMessages Messages();
  /// Stores a typed brand, code number or memo; a text without a GBK form is
  /// refused with a message and the edit shows the stored text again.
  void StoreTypedText(int field, const QString& text);

  // Window layout, menus, the library list's selection and the commands' availability.
  void CompleteMenus();
  void SetPaneMinimums();
  void SetUpLibraryColumns();
  void FitLibraryColumns();
  void RestoreWindowLayout();
  void ApplySavedPaneSizes();
  void ApplyToolBarTexts();
  void UpdateMinimumSize();
  void ApplyReadOnlyState();
  /// The status bar's word on where the shown record is stored.
  void ShowStatusIndex();
  /// Selects the row of the shown record, or no row when it has none.
  void SyncLibrarySelection();
  void KeywordEdited();
  bool keep_shown_record_ = false;
  bool library_columns_restored_ = false;
  std::vector<int> pending_splitter_sizes_;
  QString applied_keyword_;
  QTimer* keyword_timer_ = nullptr;

  Workbench& workbench_;
  UserPrompts& prompts_;

  // The window's own state.
  bool updating_ = false;
  int current_button_ = -1;
  bool shown_once_ = false;
  /// The record being edited, its picture, index and unsaved changes, the learn filter and the sort.
  workflow::EditorSession session_;
  bool hold_current_ = false;  ///< a reload keeps the record shown while the list is refilled
  ui::TfrmGeShiSelect* format_chooser_ = nullptr;

  // Actions and controls.
  QAction* actn_new_ = nullptr;
  QAction* actn_open_ = nullptr;
  QAction* actn_save_ = nullptr;
  QAction* act_save_as_ = nullptr;
  QAction* act_auto_wizard_ = nullptr;
  QAction* actn_checked_ = nullptr;
  QAction* actn_re_geshi_ = nullptr;
  QAction* actn_program_ = nullptr;
  QAction* actn_send_ = nullptr;
  QAction* actn_close_ = nullptr;
  QAction* read_only_item_ = nullptr;
  QMenu* language_menu_ = nullptr;
  QActionGroup* capture_group_ = nullptr;
  QLineEdit* brand_edit_ = nullptr;
  QLineEdit* code_edit_ = nullptr;
  QPlainTextEdit* memo_edit_ = nullptr;
  QListWidget* key_list_ = nullptr;
  ui::DataGrid* parts_grid_ = nullptr;
  QPlainTextEdit* summary_memo_ = nullptr;
  ui::DataGrid* model_grid_ = nullptr;
  QLabel* picture_label_ = nullptr;
  QPushButton* load_picture_button_ = nullptr;
  QPushButton* clear_picture_button_ = nullptr;
  QLineEdit* keyword_edit_ = nullptr;
  ui::LibraryGrid* library_grid_ = nullptr;
  QLabel* status_hint_ = nullptr;
  QLabel* status_index_ = nullptr;
  QAction* act_save_readable_ = nullptr;
  QLabel* protected_label_ = nullptr;

  // Output and verification commands.
  void ConnectOutputCommands();
  void PostDiagnostics(const std::vector<std::pair<int, int>>& pairs);

  QAction* near_button_ = nullptr;
  QAction* far_button_ = nullptr;
  QAction* simulated_key_ = nullptr;
  QLabel* status_device_ = nullptr;
  /// The last press: the simulated learner's counter and what became of the press.
  QLabel* status_press_ = nullptr;
  QTimer* listen_timer_ = nullptr;

  // Function analysis wizard and the pulse feed.
  PulseFeed* pulse_feed_ = nullptr;

  // Online update. The checker comes after its dispatcher: it is destroyed
  // first, and its end is served by the dispatcher.
  std::optional<std::string> update_url_;
  update::AutoCheckTiming auto_update_timing_;
  std::chrono::milliseconds auto_update_read_timeout_ = update::kReadTimeout;
  std::unique_ptr<ui::QtDispatcher> update_dispatcher_;
  std::unique_ptr<update::TIRAutoUpdate> auto_update_;
};

}  // namespace klimavo::app
