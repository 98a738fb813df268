#include "ui/dialogs/remote_check_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/translate_form.h"
#include "ui/ui_text.h"
#include "ui/widgets/check_grid_view.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 1087;
constexpr int kHeight = 414;
constexpr int kValueMinWidth = 72;
constexpr int kTextClose = 174;
const char* const kDesignedNames[analysis::kLabelledKeys] = {"开关：", "温度：",  "模式：",
                                                             "风量：", "SWING：", "VANE："};

QLabel* RedLabel(const QString& name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  label->setPalette(palette);
  return label;
}

}  // namespace

TfrmCheckAc::TfrmCheckAc(const store::TdiskAir& record, double decode_tolerance,
                         const lang::Language& language, QWidget* parent)
    : QDialog(parent), language_(language), check_(record, decode_tolerance) {
  setObjectName("frmCheckAc");
  setWindowTitle("空调校对");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  resize(kWidth, kHeight);
  QFont window_font = font();
  window_font.setFamilies({"Tahoma", "DejaVu Sans", window_font.family()});
  setFont(window_font);
  BuildLayout();
  BuildContextMenu();

  // Preparation: the grid reads bits in the record's order and marks its fields.
  grid_->Model().Prepare(check_);

  TranslateForm(this, language_);
  const int language_no = language_.LanguageNo();
  for (std::size_t k = 0; k < analysis::kLabelledKeys; ++k) {
    values_[k]->clear();
    if (k < record.UsedKeys())
      names_[k]->setText(FromGbk(lang::TranslateKeyName(record.Keys[k].Name.str(), language_no)) + ":");
    else
      names_[k]->clear();
  }
  key_->clear();
  info_->clear();
}

void TfrmCheckAc::BuildLayout() {
  auto* layout = new QVBoxLayout(this);
  auto* panel = new QGridLayout;
  for (std::size_t k = 0; k < analysis::kLabelledKeys; ++k) {
    names_[k] = new QLabel(kDesignedNames[k], this);
    names_[k]->setObjectName(QString("lblName%1").arg(k));
    values_[k] = RedLabel(QString("lblValue%1").arg(k), this);
    values_[k]->setMinimumWidth(kValueMinWidth);
    panel->addWidget(names_[k], 0, static_cast<int>(2 * k));
    panel->addWidget(values_[k], 0, static_cast<int>(2 * k + 1));
  }
  const int key_column = static_cast<int>(2 * analysis::kLabelledKeys);
  auto* key_caption = new QLabel("按键：", this);
  key_caption->setObjectName("lblKeyCaption");
  key_ = RedLabel("lblKey", this);
  key_->setMinimumWidth(kValueMinWidth);
  panel->addWidget(key_caption, 0, key_column);
  panel->addWidget(key_, 0, key_column + 1);
  auto* errors = new QLabel("误差", this);
  errors->setObjectName("lblErrors");
  errors_ = RedLabel("lblErrorCount", this);
  errors_->setMinimumWidth(kValueMinWidth);
  panel->addWidget(errors, 0, key_column + 3, Qt::AlignRight);
  panel->addWidget(errors_, 0, key_column + 4);
  panel->setColumnStretch(key_column + 2, 1);
  info_ = RedLabel("lblInfo", this);
  info_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  panel->addWidget(info_, 1, 0, 1, key_column + 5);
  layout->addLayout(panel);

  grid_ = new CheckGridView(this);
  grid_->setObjectName("gridCheck");
  layout->addWidget(grid_, 1);
  names_[0]->installEventFilter(this);

  auto* close_row = new QHBoxLayout;
  close_row->addStretch(1);
  auto* close = new QPushButton(LangText(language_, kTextClose), this);
  close->setObjectName("btnClose");
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  close_row->addWidget(close);
  layout->addLayout(close_row);
  // An earlier row shows the states it was read with again.
  connect(grid_, &CheckGridView::LineChosen, this, [this](int line) {
    if (line >= 0 && line < static_cast<int>(results_.size()))
      ShowResult(results_[static_cast<std::size_t>(line)]);
  });
}

void TfrmCheckAc::BuildContextMenu() {
  grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  delete_all_ = new QAction("Delete All", grid_);
  delete_all_->setObjectName("mnuDeleteAll");
  auto* separator = new QAction(grid_);
  separator->setSeparator(true);
  binary_ = new QAction("2进制", grid_);
  binary_->setObjectName("mnuBinary");
  hex_ = new QAction("16进制", grid_);
  hex_->setObjectName("mnuHex");
  auto* group = new QActionGroup(grid_);
  for (QAction* a : {binary_, hex_}) {
    a->setCheckable(true);
    group->addAction(a);
  }
  binary_->setChecked(true);
  grid_->addActions({delete_all_, separator, binary_, hex_});
  connect(delete_all_, &QAction::triggered, this, [this] {
    grid_->Clear();
    results_.clear();
  });
  connect(binary_, &QAction::triggered, this, [this] { grid_->SetHexadecimal(false); });
  connect(hex_, &QAction::triggered, this, [this] { grid_->SetHexadecimal(true); });
}

void TfrmCheckAc::CheckCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  last_ = check_.Check(durations, carrier);
  ShowResult(last_);
  if (last_.HasLine()) {
    grid_->AddLine(last_.line);
    results_.push_back(last_);
  }
}

void TfrmCheckAc::ShowResult(const analysis::RemoteCheckResult& result) {
  const analysis::RemoteCheckTexts texts = analysis::DescribeResult(check_, result, language_);
  info_->setText(FromGbk(texts.information));
  key_->setText(FromGbk(texts.key));
  for (std::size_t k = 0; k < analysis::kLabelledKeys; ++k) values_[k]->setText(FromGbk(texts.values[k]));
  // The bits that contradict the record and the checksums that do not compute.
  const auto failed_checksums = std::count(result.checksums.begin(), result.checksums.end(), false);
  const auto errors = static_cast<long long>(result.ErrorBits().size()) + failed_checksums;
  errors_->setText(result.outcome == analysis::CheckOutcome::kChecked ? QString::number(errors) : QString());
}

QString TfrmCheckAc::InformationText() const { return info_->text(); }
QString TfrmCheckAc::KeyText() const { return key_->text(); }
QString TfrmCheckAc::ErrorsText() const { return errors_->text(); }
QString TfrmCheckAc::ValueText(int key) const { return values_[static_cast<std::size_t>(key)]->text(); }
QString TfrmCheckAc::NameText(int key) const { return names_[static_cast<std::size_t>(key)]->text(); }

bool TfrmCheckAc::eventFilter(QObject* watched, QEvent* event) {
  // A click on the first name label repaints the grid.
  if (watched == names_[0] && event->type() == QEvent::MouseButtonPress) grid_->Relayout();
  return QDialog::eventFilter(watched, event);
}

}  // namespace klimavo::ui
