#pragma once
// The key editor (TfrmStatusEditor): the keys of a record with their state
// counts in one grid, the state names of the current key in another, buttons
// to add a key and remove the last one. A thin binding of KeyEditorModel; OK
// saves the accepted keys as the template of new records.

#include <QDialog>
#include <filesystem>
#include <memory>

#include "lang/language.h"
#include "store/protocol_record.h"
#include "ui/dialogs/dialog_messages.h"
#include "workflow/key_editor_model.h"

class QPushButton;
class QToolButton;

namespace klimavo::ui {

class DataGrid;

class TfrmStatusEditor : public QDialog {
  Q_OBJECT

 public:
  /// Edits a copy of `record`; OK writes it as the template into `data_dir`.
  TfrmStatusEditor(const store::TdiskAir& record, const lang::Language& language,
                   std::filesystem::path data_dir, DialogMessages messages, QWidget* parent = nullptr);
  ~TfrmStatusEditor() override;

  /// The edited record (the caller copies back what it wants).
  const store::TdiskAir& Record() const { return model_->Record(); }
  void SetOkCaption(const QString& caption);

  // The commands, also for tests.
  void AddKey();
  void RemoveLastKey();
  void AcceptKeys();

  DataGrid* KeyGrid() const { return key_grid_; }
  DataGrid* StateGrid() const { return state_grid_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowKeys(int current_row);
  void ShowStates();
  void KeyCellEdited(int column, int row);
  void StateCellEdited(int column, int row);
  int CurrentKey() const;
  void Tell(const workflow::EditorMessage& message);

  std::unique_ptr<workflow::KeyEditorModel> model_;
  std::filesystem::path data_dir_;
  DialogMessages messages_;
  bool filling_ = false;
  DataGrid* key_grid_ = nullptr;
  DataGrid* state_grid_ = nullptr;
  QToolButton* add_button_ = nullptr;
  QToolButton* remove_button_ = nullptr;
  QPushButton* ok_button_ = nullptr;
};

}  // namespace klimavo::ui
