#include "ui/dialogs/key_editor_dialog.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/file_error.h"
#include "store/library.h"
#include "ui/translate_form.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 390;
constexpr int kHeight = 342;
constexpr int kNameColumnPixels = 88;
constexpr int kCountColumnPixels = 53;
constexpr int kStateColumnPixels = 119;

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TfrmStatusEditor::TfrmStatusEditor(const store::TdiskAir& record, const lang::Language& language,
                                   std::filesystem::path data_dir, DialogMessages messages, QWidget* parent)
    : QDialog(parent),
      model_(std::make_unique<workflow::KeyEditorModel>(record, language)),
      data_dir_(std::move(data_dir)),
      messages_(std::move(messages)) {
  setObjectName("frmStatusEditor");
  setWindowTitle("Status editor");
  setFixedSize(kWidth, kHeight);
  QFont dialog_font = font();
  dialog_font.setFamilies({"Tahoma", dialog_font.family()});
  setFont(dialog_font);

  auto* layout = new QVBoxLayout(this);
  auto* grids = new QHBoxLayout;
  key_grid_ = new DataGrid(this);
  key_grid_->setObjectName("gridKeys");
  key_grid_->SetMode(DataGrid::Mode::EditInsert);
  key_grid_->SetColumns(2);
  key_grid_->SetHeading(1, "功能名称");
  key_grid_->SetHeading(2, "状态个数");
  key_grid_->SetColumnPixels(1, kNameColumnPixels);
  key_grid_->SetColumnPixels(2, kCountColumnPixels);
  key_grid_->setFixedWidth(kNameColumnPixels + kCountColumnPixels + 22);
  key_grid_->installEventFilter(this);
  state_grid_ = new DataGrid(this);
  state_grid_->setObjectName("gridStates");
  state_grid_->SetMode(DataGrid::Mode::EditInsert);
  state_grid_->SetColumns(1);
  state_grid_->SetHeading(1, "状态名称");
  state_grid_->SetColumnPixels(1, kStateColumnPixels);
  state_grid_->setFixedWidth(kStateColumnPixels + 22);
  auto* key_buttons = new QVBoxLayout;
  add_button_ = new QToolButton(this);
  add_button_->setObjectName("btnAddKey");
  add_button_->setText("+");
  add_button_->setToolTip("添加功能按键");
  remove_button_ = new QToolButton(this);
  remove_button_->setObjectName("btnRemoveKey");
  remove_button_->setText("−");
  remove_button_->setToolTip("删除最后一个功能按键");
  key_buttons->addWidget(add_button_);
  key_buttons->addWidget(remove_button_);
  key_buttons->addStretch(1);
  grids->addWidget(key_grid_);
  grids->addLayout(key_buttons);
  grids->addWidget(state_grid_);
  grids->addStretch(1);
  layout->addLayout(grids, 1);
  auto* note = new QLabel("注意：这里的结构不要轻易改动只针对新增空调库起作用", this);
  note->setObjectName("lblNote");
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ok_button_ = new QPushButton("确定", this);
  ok_button_->setObjectName("btnOk");
  ok_button_->setDefault(true);
  auto* cancel = new QPushButton("取消", this);
  cancel->setObjectName("btnCancel");
  buttons->addWidget(ok_button_);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  TranslateForm(this, language);
  connect(add_button_, &QToolButton::clicked, this, &TfrmStatusEditor::AddKey);
  connect(remove_button_, &QToolButton::clicked, this, &TfrmStatusEditor::RemoveLastKey);
  connect(ok_button_, &QPushButton::clicked, this, &TfrmStatusEditor::AcceptKeys);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(key_grid_, &DataGrid::CellEdited, this, &TfrmStatusEditor::KeyCellEdited);
  connect(key_grid_, &DataGrid::RowChanged, this, [this] { ShowStates(); });
  connect(state_grid_, &DataGrid::CellEdited, this, &TfrmStatusEditor::StateCellEdited);
  ShowKeys(1);
}

TfrmStatusEditor::~TfrmStatusEditor() = default;

void TfrmStatusEditor::SetOkCaption(const QString& caption) { ok_button_->setText(caption); }

int TfrmStatusEditor::CurrentKey() const { return key_grid_->CurrentRow() - 1; }

void TfrmStatusEditor::Tell(const workflow::EditorMessage& message) {
  messages_.Tell(this, Utf8(message.caption), Utf8(message.text));
}

void TfrmStatusEditor::ShowKeys(int current_row) {
  filling_ = true;
  const int keys = model_->KeyCount();
  key_grid_->clearContents();
  key_grid_->SetRows(keys);
  for (int k = 0; k < keys; ++k) {
    key_grid_->SetCell(1, k + 1, Utf8(model_->KeyName(k)));
    key_grid_->SetCell(2, k + 1, QString::number(model_->StateCount(k)));
  }
  if (keys > 0) key_grid_->SetCurrentRow(std::clamp(current_row, 1, keys));
  filling_ = false;
  add_button_->setEnabled(model_->CanAddKey());
  ShowStates();
}

void TfrmStatusEditor::ShowStates() {
  const bool was_filling = filling_;
  filling_ = true;
  const auto names = model_->StateNames(CurrentKey());
  state_grid_->clearContents();
  state_grid_->SetRows(static_cast<int>(names.size()));
  for (std::size_t s = 0; s < names.size(); ++s)
    state_grid_->SetCell(1, static_cast<int>(s) + 1, Utf8(names[s]));
  filling_ = was_filling;
}

void TfrmStatusEditor::KeyCellEdited(int column, int row) {
  if (filling_) return;
  const int key = row - 1;
  const QString text = key_grid_->Cell(column, row);
  const auto message = column == 2 ? model_->SetStateCount(key, text.toStdString())
                                   : model_->SetKeyName(key, text.toStdString());
  filling_ = true;
  if (message) {
    // A refused edit shows what is kept.
    key_grid_->SetCell(1, row, Utf8(model_->KeyName(key)));
    key_grid_->SetCell(2, row, QString::number(model_->StateCount(key)));
  }
  filling_ = false;
  if (message) Tell(*message);
  if (column == 2 && key == CurrentKey()) ShowStates();
}

void TfrmStatusEditor::StateCellEdited(int column, int row) {
  if (filling_ || column != 1) return;
  const auto message = model_->SetStateName(CurrentKey(), row - 1, state_grid_->Cell(1, row).toStdString());
  if (!message) return;
  ShowStates();
  Tell(*message);
}

void TfrmStatusEditor::AddKey() {
  if (!model_->CanAddKey()) return;
  const workflow::EditorMessage question = model_->NewKeyQuestion();
  const auto name = messages_.Input(this, QString::fromStdString(question.caption),
                                    QString::fromStdString(question.text), QString());
  if (!name) return;
  if (const auto message = model_->AddKey(name->toStdString())) {
    Tell(*message);
    return;
  }
  ShowKeys(model_->KeyCount());
}

void TfrmStatusEditor::RemoveLastKey() {
  if (const auto message = model_->RemoveLastKey()) {
    Tell(*message);
    return;
  }
  ShowKeys(CurrentKey() + 1);
}

void TfrmStatusEditor::AcceptKeys() {
  const auto check = model_->Accept();
  if (check.message) {
    Tell(*check.message);
    if (check.key >= 0) key_grid_->SetCurrentRow(check.key + 1);
    if (check.state >= 0) state_grid_->SetCurrentRow(check.state + 1);
    return;
  }
  try {
    store::SaveTemplate(data_dir_, model_->Record());
  } catch (const base::FileError& e) {
    // The keys are accepted all the same; only later new records miss them.
    messages_.Tell(this, windowTitle(), QString::fromStdString(e.what()));
  }
  accept();
}

bool TfrmStatusEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == key_grid_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Down && key_grid_->CurrentRow() == key_grid_->Rows()) {
      AddKey();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace klimavo::ui
