// The main window's display of the current record and its edit handlers.
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPixmap>

#include "app/main_window.h"
#include "base/atomic_file.h"
#include "base/gbk.h"
#include "base/text.h"
#include "store/library.h"
#include "store/record_summary.h"
#include "ui/widgets/data_grid.h"
#include "workflow/text_fields.h"

namespace klimavo::app {
namespace {

constexpr qint64 kMaxPictureBytes = 102400;

QString FromGbk(const std::string& gbk) { return QString::fromStdString(base::GbkToUtf8(gbk)); }

std::string ToGbk(const QString& text) { return base::Utf8ToGbk(text.toStdString()).value_or(""); }

}  // namespace

QString TfrmAirEditor::MemoOfLanguage(const store::TdiskAir& record) const {
  return FromGbk(workbench_.language.IsChinese() ? record.MemoCn.str() : record.MemoEn.str());
}

void TfrmAirEditor::ShowCurrentRecord() {
  updating_ = true;
  brand_edit_->setText(FromGbk(current_record_.Brand.str()));
  code_edit_->setText(FromGbk(current_record_.CodeNo.str()));
  memo_edit_->setPlainText(MemoOfLanguage(current_record_));
  key_list_->clear();
  const int language_no = workbench_.language.LanguageNo();
  for (std::size_t k = 0; k < current_record_.UsedKeys(); ++k)
    key_list_->addItem(FromGbk(lang::TranslateKeyName(current_record_.Keys[k].Name.str(), language_no)));
  PaintKeyList();
  current_button_ = -1;
  if (key_list_->count() > 0) {
    key_list_->setCurrentRow(0);
    current_button_ = 0;
    ShowButtonTable();
  }
  summary_memo_->setPlainText(FromGbk(store::RecordSummaryText(current_record_, workbench_.language)));
  updating_ = false;
  UpdateActions();
}

void TfrmAirEditor::PaintKeyList() {
  // Keys without any assigned bit field are shown in grey.
  for (int i = 0; i < key_list_->count(); ++i) {
    const bool unassigned = store::KeyUnassigned(current_record_.Keys[static_cast<std::size_t>(i)]);
    key_list_->item(i)->setForeground(unassigned ? palette().color(QPalette::Disabled, QPalette::Text)
                                                 : palette().color(QPalette::Active, QPalette::Text));
  }
}

void TfrmAirEditor::ShowButtonTable() {
  if (current_button_ < 0 || current_button_ >= static_cast<int>(current_record_.UsedKeys())) return;
  const bool was_updating = updating_;
  updating_ = true;
  const store::TdiskKey& key = current_record_.Keys[static_cast<std::size_t>(current_button_)];
  const int states = std::min<int>(key.StateCount, static_cast<int>(store::kMaxStates));
  const int language_no = workbench_.language.LanguageNo();
  parts_grid_->clearContents();
  parts_grid_->SetRows(states);
  for (int r = 1; r <= states; ++r)
    parts_grid_->SetCell(1, r, FromGbk(lang::TranslateStateName(key.StateNames[static_cast<std::size_t>(r - 1)].str(), language_no)));
  int k = 2;
  for (const store::TdiskBitColumn& column : key.Columns) {
    if (k > parts_grid_->Columns()) break;
    parts_grid_->SetColumnHidden(k, false);
    if (!column.InUse()) continue;
    parts_grid_->SetHeading(k, Text(91) + QString::number(column.Frame) + "\n" + Text(92) +
                                   QString::number(column.BitPos) + "\n" + Text(93) +
                                   QString::number(column.Width));
    for (int r = 1; r <= states; ++r)
      parts_grid_->SetCell(k, r, QString::number(column.Values[static_cast<std::size_t>(r - 1)], 16).toUpper());
    ++k;
  }
  for (int c = k; c <= parts_grid_->Columns(); ++c) parts_grid_->SetColumnHidden(c, true);
  updating_ = was_updating;
}

void TfrmAirEditor::KeyClicked() {
  current_button_ = key_list_->currentRow();
  ShowButtonTable();
}

void TfrmAirEditor::SelectKey(int key) {
  if (key < 0 || key >= key_list_->count()) return;
  key_list_->setCurrentRow(key);
  current_button_ = key;
  ShowButtonTable();
}

void TfrmAirEditor::ShowModelsAndPicture() {
  updating_ = true;
  model_grid_->clearContents();
  model_grid_->SetRows(static_cast<int>(current_picture_.Names.size()) + 1);
  for (std::size_t i = 0; i < current_picture_.Names.size(); ++i)
    model_grid_->SetCell(1, static_cast<int>(i) + 1, FromGbk(current_picture_.Names[i]));
  ShowPicture();
  updating_ = false;
}

void TfrmAirEditor::ShowPicture() {
  if (current_picture_.Picture.empty()) {
    picture_label_->clear();
    return;
  }
  QImage image;
  image.loadFromData(current_picture_.Picture.data(), static_cast<int>(current_picture_.Picture.size()), "JPEG");
  if (image.isNull()) {
    picture_label_->clear();
    return;
  }
  picture_label_->setPixmap(QPixmap::fromImage(image).scaled(picture_label_->size(), Qt::KeepAspectRatio,
                                                              Qt::SmoothTransformation));
}

void TfrmAirEditor::CollectModelNames() {
  current_picture_.Names.clear();
  for (int r = 1; r <= model_grid_->Rows(); ++r) current_picture_.Names.push_back(ToGbk(model_grid_->Cell(1, r)));
  while (!current_picture_.Names.empty() && current_picture_.Names.back().empty()) current_picture_.Names.pop_back();
}

void TfrmAirEditor::DeleteModelRow(int row) {
  const int rows = model_grid_->Rows();
  if (row < 1 || row > rows) return;
  for (int r = row; r < rows; ++r) model_grid_->SetCell(1, r, model_grid_->Cell(1, r + 1));
  model_grid_->SetRows(rows - 1);
  MarkPictureModified();
}

void TfrmAirEditor::LoadPictureFile(const QString& file) {
  const QString suffix = "." + QFileInfo(file).suffix().toUpper();
  if (suffix != ".JPG" && suffix != ".JPEG") {
    prompts_.Tell(this, Text(9), Text(65));
    return;
  }
  if (QFileInfo(file).size() > kMaxPictureBytes) {
    prompts_.Tell(this, Text(9), Text(32));
    return;
  }
  auto bytes = base::ReadWholeFile(file.toStdString());
  if (!bytes) return;
  current_picture_.Picture = std::move(*bytes);
  ShowPicture();
  MarkPictureModified();
}

void TfrmAirEditor::ClearPicture() {
  if (current_picture_.Picture.empty() && picture_label_->pixmap().isNull()) return;
  picture_label_->clear();
  current_picture_.Picture.clear();
  MarkPictureModified();
}

void TfrmAirEditor::RenameKey() {
  if (current_button_ < 0 || current_button_ >= static_cast<int>(current_record_.UsedKeys())) return;
  store::TdiskKey& key = current_record_.Keys[static_cast<std::size_t>(current_button_)];
  // The box names the key it renames (as the list shows it).
  const QString shown_name = key_list_->item(current_button_)->text();
  auto name = prompts_.InputText(this, Text(94), Text(95).arg(shown_name), FromGbk(key.Name.str()));
  if (!name) return;
  if (name->trimmed().isEmpty()) {
    prompts_.Tell(this, Text(97), Text(96));
    return;
  }
  const auto gbk = workflow::RecordText(name->toStdString());
  if (!gbk) {
    prompts_.Tell(this, Text(9), QString::fromStdString(workflow::NotGbkMessage(workbench_.language,
                                                                                workflow::TextField::KeyName)));
    return;
  }
  key.Name.assign(*gbk);
  MarkRecordModified();
  const int keep = current_button_;
  ShowCurrentRecord();
  SelectKey(keep);
}

}  // namespace klimavo::app
