// Keeps the library list and the editor in agreement: the shown record's row is
// the selected one (no row when it has none), and a keyword the user refuses to
// switch records for is taken back.
#include <QLineEdit>
#include <QTimer>

#include "app/main_window.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

// While the record has unsaved changes the keyword waits until typing pauses:
// the save question then comes once, after the whole word, and no letter typed
// while it is open is lost.
constexpr int kKeywordPauseMs = 400;

}  // namespace

int TfrmAirEditor::RowOfLibraryIndex(int index) const { return session_.RowOfIndex(index); }

void TfrmAirEditor::SyncLibrarySelection() {
  const bool was_updating = updating_;
  updating_ = true;
  const int row = RowOfLibraryIndex(session_.Index());
  if (row > 0) {
    if (library_grid_->CurrentRow() != row) library_grid_->SetCurrentRow(row);
    library_grid_->selectRow(row - 1);
  } else {
    library_grid_->clearSelection();
    library_grid_->setCurrentIndex(QModelIndex());
  }
  updating_ = was_updating;
}

void TfrmAirEditor::RefreshLibraryListKeepingRecord() {
  keep_shown_record_ = true;
  RefreshLibraryList();
  keep_shown_record_ = false;
}

void TfrmAirEditor::KeywordEdited() {
  if (!keyword_timer_) {
    keyword_timer_ = new QTimer(this);
    keyword_timer_->setSingleShot(true);
    keyword_timer_->setInterval(kKeywordPauseMs);
    connect(keyword_timer_, &QTimer::timeout, this, &TfrmAirEditor::ApplyKeyword);
  }
  if ((session_.Modified()) && !workbench_.settings.ReadOnlyMode)
    keyword_timer_->start();
  else
    ApplyKeyword();
}

void TfrmAirEditor::ApplyKeyword() {
  if (keyword_timer_) keyword_timer_->stop();
  const QString previous = applied_keyword_;
  applied_keyword_ = keyword_edit_->text();
  ShowLibraryRows();
  // The list lost the shown record and loading another one was refused (the
  // save question was cancelled): the box takes back what it held before.
  const bool refused =
      library_grid_->Rows() > 0 && RowOfLibraryIndex(session_.Index()) == 0 && (session_.Modified());
  if (!refused) return;
  updating_ = true;
  keyword_edit_->setText(previous);
  updating_ = false;
  applied_keyword_ = previous;
  RefreshLibraryListKeepingRecord();
}

}  // namespace klimavo::app
