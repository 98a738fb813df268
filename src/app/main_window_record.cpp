// The main window's display of the current record and its edit handlers.
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>

#include "app/main_window.h"
#include "base/text.h"
#include "lang/text_numbers.h"
#include "store/fault_words.h"
#include "store/library.h"
#include "store/record_summary.h"
#include "ui/ui_text.h"
#include "ui/widgets/data_grid.h"
#include "workflow/text_fields.h"

namespace klimavo::app {
QString TfrmAirEditor::MemoOfLanguage(const store::TdiskAir& record) const {
  return ui::FromGbk(workbench_.language.IsChinese() ? record.MemoCn.str() : record.MemoEn.str());
}

void TfrmAirEditor::ShowCurrentRecord() {
  updating_ = true;
  brand_edit_->setText(ui::FromGbk(session_.Record().Brand.str()));
  code_edit_->setText(ui::FromGbk(session_.Record().CodeNo.str()));
  memo_edit_->setPlainText(MemoOfLanguage(session_.Record()));
  key_list_->clear();
  const int language_no = workbench_.language.LanguageNo();
  for (std::size_t k = 0; k < session_.Record().UsedKeys(); ++k)
    key_list_->addItem(
        ui::FromGbk(lang::TranslateKeyName(session_.Record().Keys[k].Name.str(), language_no)));
  PaintKeyList();
  current_button_ = -1;
  if (key_list_->count() > 0) {
    key_list_->setCurrentRow(0);
    current_button_ = 0;
    ShowButtonTable();
  }
  summary_memo_->setPlainText(ui::FromGbk(store::RecordSummaryText(session_.Record(), workbench_.language)));
  updating_ = false;
  UpdateActions();
}

void TfrmAirEditor::PaintKeyList() {
  // Keys without any assigned bit field are shown in grey.
  for (int i = 0; i < key_list_->count(); ++i) {
    const bool unassigned = store::KeyUnassigned(session_.Record().Keys[static_cast<std::size_t>(i)]);
    key_list_->item(i)->setForeground(unassigned ? palette().color(QPalette::Disabled, QPalette::Text)
                                                 : palette().color(QPalette::Active, QPalette::Text));
  }
}

void TfrmAirEditor::ShowButtonTable() {
  if (current_button_ < 0 || current_button_ >= static_cast<int>(session_.Record().UsedKeys())) return;
  const bool was_updating = updating_;
  updating_ = true;
  const store::TdiskKey& key = session_.Record().Keys[static_cast<std::size_t>(current_button_)];
  const int states = std::min<int>(key.StateCount, static_cast<int>(store::kMaxStates));
  const int language_no = workbench_.language.LanguageNo();
  parts_grid_->clearContents();
  parts_grid_->SetRows(states);
  for (int r = 1; r <= states; ++r)
    parts_grid_->SetCell(1, r,
                         ui::FromGbk(lang::TranslateStateName(
                             key.StateNames[static_cast<std::size_t>(r - 1)].str(), language_no)));
  int k = 2;
  for (const store::TdiskBitColumn& column : key.Columns) {
    if (k > parts_grid_->Columns()) break;
    parts_grid_->SetColumnHidden(k, false);
    if (!column.InUse()) continue;
    parts_grid_->SetHeading(k, ui::LangText(workbench_.language, 91) + QString::number(column.Frame) + "\n" +
                                   ui::LangText(workbench_.language, 92) + QString::number(column.BitPos) +
                                   "\n" + ui::LangText(workbench_.language, 93) +
                                   QString::number(column.Width));
    for (int r = 1; r <= states; ++r)
      parts_grid_->SetCell(k, r,
                           QString::number(column.Values[static_cast<std::size_t>(r - 1)], 16).toUpper());
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
  model_grid_->SetRows(static_cast<int>(session_.Picture().Names.size()) + 1);
  for (std::size_t i = 0; i < session_.Picture().Names.size(); ++i)
    model_grid_->SetCell(1, static_cast<int>(i) + 1, ui::FromGbk(session_.Picture().Names[i]));
  ShowPicture();
  updating_ = false;
}

void TfrmAirEditor::ShowPicture() {
  if (session_.Picture().Picture.empty()) {
    picture_label_->clear();
    return;
  }
  QImage image;
  image.loadFromData(session_.Picture().Picture.data(), static_cast<int>(session_.Picture().Picture.size()),
                     "JPEG");
  if (image.isNull()) {
    picture_label_->clear();
    return;
  }
  picture_label_->setPixmap(QPixmap::fromImage(image).scaled(picture_label_->size(), Qt::KeepAspectRatio,
                                                             Qt::SmoothTransformation));
}

void TfrmAirEditor::CollectModelNames() {
  session_.Picture().Names.clear();
  for (int r = 1; r <= model_grid_->Rows(); ++r)
    session_.Picture().Names.push_back(ui::ToGbk(model_grid_->Cell(1, r)).value_or(""));
  while (!session_.Picture().Names.empty() && session_.Picture().Names.back().empty())
    session_.Picture().Names.pop_back();
}

void TfrmAirEditor::DeleteModelRow(int row) {
  const int rows = model_grid_->Rows();
  if (row < 1 || row > rows) return;
  for (int r = row; r < rows; ++r) model_grid_->SetCell(1, r, model_grid_->Cell(1, r + 1));
  model_grid_->SetRows(rows - 1);
  MarkPictureModified();
}

void TfrmAirEditor::LoadPictureFile(const QString& file) {
  const QString caption = ui::LangText(workbench_.language, lang::kTextInformation);
  try {
    const store::PictureFileCheck check = session_.LoadPictureFile(file.toStdString());
    if (check != store::PictureFileCheck::kOk) {
      const store::FaultWords words = store::PictureFileFaultWords(check, file.toStdString());
      prompts_.Tell(
          this, caption,
          words.text ? ui::LangText(workbench_.language, words.text) : QString::fromStdString(words.details));
      return;
    }
  } catch (const std::exception& e) {
    prompts_.Tell(this, caption, QString::fromStdString(e.what()));
    return;
  }
  ShowPicture();
  MarkPictureModified();
}

void TfrmAirEditor::ClearPicture() {
  const bool had_picture = session_.ClearPicture();
  if (!had_picture && picture_label_->pixmap().isNull()) return;
  picture_label_->clear();
  MarkPictureModified();
}

void TfrmAirEditor::RenameKey() {
  if (current_button_ < 0 || current_button_ >= static_cast<int>(session_.Record().UsedKeys())) return;
  store::TdiskKey& key = session_.Record().Keys[static_cast<std::size_t>(current_button_)];
  // The box names the key it renames (as the list shows it).
  const QString shown_name = key_list_->item(current_button_)->text();
  auto name =
      prompts_.InputText(this, ui::LangText(workbench_.language, 94),
                         ui::LangText(workbench_.language, 95).arg(shown_name), ui::FromGbk(key.Name.str()));
  if (!name) return;
  if (name->trimmed().isEmpty()) {
    prompts_.Tell(this, ui::LangText(workbench_.language, 97), ui::LangText(workbench_.language, 96));
    return;
  }
  const auto gbk = workflow::RecordText(name->toStdString());
  if (!gbk) {
    prompts_.Tell(
        this, ui::LangText(workbench_.language, lang::kTextInformation),
        QString::fromStdString(workflow::NotGbkMessage(workbench_.language, workflow::TextField::KeyName)));
    return;
  }
  key.Name.assign(*gbk);
  MarkRecordModified();
  const int keep = current_button_;
  ShowCurrentRecord();
  SelectKey(keep);
}

}  // namespace klimavo::app
