#include "app/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/device_session.h"
#include "app/send_dialog.h"
#include "config/config.h"
#include "lang/text_numbers.h"
#include "store/library.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/standard_button_texts.h"
#include "ui/translate_form.h"
#include "ui/ui_text.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"
#include "workflow/text_fields.h"

namespace klimavo::app {
namespace {

constexpr int kWindowWidth = 1047;
constexpr int kWindowHeight = 569;
constexpr int kRightPaneWidth = 360;
constexpr int kPartsGridColumns = 33;
constexpr int kPartsHeadingHeight = 42;
constexpr int kLanguageImageBase = 25;
constexpr int kTextJpegFilter = 301;
constexpr int kTextLoadPictureCaption = 304;

}  // namespace

TfrmAirEditor::TfrmAirEditor(Workbench& workbench, UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent), workbench_(workbench), prompts_(prompts) {
  setObjectName("frmAirEditor");
  setWindowTitle(QString("Klimavo Protocols Analyser V") + KLIMAVO_VERSION);
  resize(kWindowWidth, kWindowHeight);
  QFont window_font = font();
  window_font.setFamilies({"SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", window_font.family()});
  window_font.setPointSize(9);
  setFont(window_font);
  // The standard buttons of message and input boxes speak the workbench's language
  // for as long as the window exists.
  QCoreApplication::installTranslator(new ui::StandardButtonTexts(workbench_.language, this));

  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildPanes();
  CompleteMenus();
  SetUpLibraryColumns();
  BuildUpdateCommands();

  // Window creation, in order.
  updating_ = false;
  ApplyLanguage();
  parts_grid_->SetColumns(kPartsGridColumns);
  for (int c = 2; c <= kPartsGridColumns; ++c) parts_grid_->SetColumnHidden(c, true);
  workbench_.ReadSettings();
  read_only_item_->setChecked(workbench_.settings.ReadOnlyMode);
  ConnectDeviceManager();
  ConnectWorkflowCommands();
  updating_ = false;
  ConnectOutputCommands();
  BuildWizardCommands();
  BuildChecksumCommands();
  BuildLearnCommand();
  UpdateActions();
  RestoreWindowLayout();
}

void TfrmAirEditor::BuildActions() {
  auto make = [this](const char* name, const QString& caption, const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    return action;
  };
  actn_new_ = make("actnNew", "新建", QKeySequence("Ctrl+N"));
  actn_open_ = make("actnOpen", "打开", QKeySequence("Ctrl+O"));
  actn_save_ = make("actnSave", "保存", QKeySequence("Ctrl+S"));
  act_save_as_ = make("actSaveAs", "Save as...", {});
  act_auto_wizard_ = make("actAutoWizard", "辅助分析器", QKeySequence("Ctrl+W"));
  actn_checked_ = make("actnChecked", "校验位辅助分析", QKeySequence("Ctrl+F"));
  actn_checked_->setToolTip("校验位辅助分析");
  actn_re_geshi_ = make("actnReGeshi", "修改格式", {});
  actn_re_geshi_->setToolTip("修改格式基本数据");
  actn_program_ = make("actnProgram", "Program", {});
  actn_send_ = make("actnSend", "发送...", QKeySequence(kSendShortcut));
  actn_send_->setToolTip("通过内核红外发射器发送本记录的码");
  actn_close_ = make("actnClose", "退出", {});
  addActions({actn_new_, actn_open_, actn_save_, act_save_as_, act_auto_wizard_, actn_checked_,
              actn_re_geshi_, actn_program_, actn_send_, actn_close_});
  connect(actn_open_, &QAction::triggered, this, [this] { ConfirmPendingChanges(); });
  connect(actn_save_, &QAction::triggered, this, &TfrmAirEditor::SaveCommand);
  connect(actn_close_, &QAction::triggered, this, &QWidget::close);
}

void TfrmAirEditor::BuildMenus() {
  auto* file = menuBar()->addMenu("文件");
  file->setObjectName("mnuFile");
  file->addActions({actn_new_, actn_save_});
  BuildSafetyActions(file);
  file->addSeparator();
  file->addAction(actn_close_);

  auto* tools = menuBar()->addMenu("工具");
  tools->setObjectName("mnuTools");
  tools->addAction(act_auto_wizard_);
  tools->addSeparator();
  for (auto [name, caption] :
       {std::pair{"mnuUpdate", "Update"}, std::pair{"mnuConvertOne", "单个转换万能"},
        std::pair{"mnuMobileFile", "Export mobile file"}, std::pair{"mnuCreateCpp", "Create c++"}}) {
    QAction* item = tools->addAction(caption);
    item->setObjectName(name);
  }

  auto* options = menuBar()->addMenu("选项");
  options->setObjectName("mnuOptions");
  read_only_item_ = options->addAction("Read Only");
  read_only_item_->setObjectName("mnuReadOnly");
  read_only_item_->setCheckable(true);
  connect(read_only_item_, &QAction::triggered, this, &TfrmAirEditor::ToggleReadOnly);
  language_menu_ = options->addMenu("Language");
  language_menu_->setObjectName("mnuLanguage");
  options->addSeparator();
  QAction* settings = options->addAction("选项");
  settings->setObjectName("mnuSettings");
  connect(settings, &QAction::triggered, this, &TfrmAirEditor::OpenOptions);

  auto* help = menuBar()->addMenu("帮助");
  help->setObjectName("mnuHelp");
  QAction* about = help->addAction("关于");
  about->setObjectName("mnuAbout");
  connect(about, &QAction::triggered, this, &TfrmAirEditor::ShowAbout);
}

void TfrmAirEditor::BuildToolBar() {
  auto* bar = addToolBar("tools");
  bar->setObjectName("ToolBar");
  bar->setMovable(false);
  bar->addActions({actn_new_, actn_save_, act_save_as_});
  bar->addSeparator();
  bar->addActions({act_auto_wizard_, actn_checked_, actn_re_geshi_});
  bar->addSeparator();
  capture_group_ = new QActionGroup(this);
  QAction* near_button = bar->addAction("近");
  near_button->setObjectName("btnNearCapture");
  near_button->setToolTip("近距离录入");
  near_button->setCheckable(true);
  near_button->setChecked(true);
  near_button->setData(1);
  QAction* far_button = bar->addAction("远");
  far_button->setObjectName("btnFarCapture");
  far_button->setToolTip("远距离录入");
  far_button->setCheckable(true);
  far_button->setData(2);
  capture_group_->addAction(near_button);
  capture_group_->addAction(far_button);
  bar->addSeparator();
  bar->addAction(actn_program_);
  bar->addAction(actn_send_);
  QAction* compare = bar->addAction("Compare code");
  compare->setObjectName("btnCompareCode");
  compare->setToolTip("Compare code");
  bar->addSeparator();
  bar->addAction(actn_close_);
  QAction* check = bar->addAction("Check images");
  check->setObjectName("btnCheckImages");

  // The hint panel takes what the index panel leaves, so it never sets the window's minimum width.
  status_hint_ = new QLabel(this);
  status_hint_->setObjectName("lblStatusHint");
  status_index_ = new QLabel(this);
  status_index_->setObjectName("lblStatusIndex");
  status_index_->setMinimumWidth(50);
  statusBar()->addWidget(status_hint_, 1);
  statusBar()->addWidget(status_index_);
}

void TfrmAirEditor::BuildPanes() {
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("splitter");
  splitter->setChildrenCollapsible(false);

  // Left pane: record fields, keys and their bit fields, summary.
  auto* left = new QWidget(splitter);
  auto* left_layout = new QVBoxLayout(left);
  auto* fields = new QHBoxLayout;
  auto* brand_label = new QLabel("Brand", left);
  brand_label->setObjectName("lblBrand");
  brand_edit_ = new QLineEdit(left);
  brand_edit_->setObjectName("edtBrand");
  brand_label->setBuddy(brand_edit_);
  auto* code_label = new QLabel("CodeNo", left);
  code_label->setObjectName("lblCodeNo");
  code_edit_ = new QLineEdit(left);
  code_edit_->setObjectName("edtCodeNo");
  code_edit_->setMaxLength(6);
  code_label->setBuddy(code_edit_);
  fields->addWidget(brand_label);
  fields->addWidget(brand_edit_, 2);
  fields->addWidget(code_label);
  fields->addWidget(code_edit_, 1);
  left_layout->addLayout(fields);
  memo_edit_ = new QPlainTextEdit(left);
  memo_edit_->setObjectName("memoRecord");
  memo_edit_->setMaximumHeight(60);
  // Tab moves on to the next control, as in every other field of the record.
  memo_edit_->setTabChangesFocus(true);
  left_layout->addWidget(memo_edit_);

  auto* middle_block = new QHBoxLayout;
  auto* keys_column = new QVBoxLayout;
  auto* keys_label = new QLabel("AC Buttons", left);
  keys_label->setObjectName("lblButtons");
  key_list_ = new QListWidget(left);
  key_list_->setObjectName("listButtons");
  key_list_->setMaximumWidth(110);
  key_list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  QAction* rename = new QAction("修改名称", key_list_);
  rename->setObjectName("mnuRenameKey");
  connect(rename, &QAction::triggered, this, &TfrmAirEditor::RenameKey);
  QAction* edit_keys = new QAction("修改按键", key_list_);
  edit_keys->setObjectName("mnuEditKeys");
  key_list_->addActions({rename, edit_keys});
  keys_column->addWidget(keys_label);
  keys_column->addWidget(key_list_);
  auto* parts_column = new QVBoxLayout;
  auto* parts_label = new QLabel("Parts Infomation", left);
  parts_label->setObjectName("lblParts");
  parts_grid_ = new ui::DataGrid(left);
  parts_grid_->setObjectName("gridParts");
  parts_grid_->SetMode(ui::DataGrid::Mode::BrowseOnly);
  parts_grid_->SetHeadingHeight(kPartsHeadingHeight);
  parts_column->addWidget(parts_label);
  parts_column->addWidget(parts_grid_);
  middle_block->addLayout(keys_column);
  middle_block->addLayout(parts_column, 1);
  left_layout->addLayout(middle_block, 1);
  summary_memo_ = new QPlainTextEdit(left);
  summary_memo_->setObjectName("memoSummary");
  summary_memo_->setReadOnly(true);
  summary_memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  summary_memo_->setBackgroundRole(QPalette::Window);
  left_layout->addWidget(summary_memo_, 1);

  // Middle pane: model names and the picture of the remote.
  auto* middle = new QWidget(splitter);
  auto* middle_layout = new QVBoxLayout(middle);
  model_grid_ = new ui::DataGrid(middle);
  model_grid_->setObjectName("gridModels");
  model_grid_->SetMode(ui::DataGrid::Mode::EditInsert);
  model_grid_->SetColumns(1);
  model_grid_->SetHeading(1, "型号");
  model_grid_->SetColumnPixels(1, 142);
  model_grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  QAction* delete_row = new QAction("Delete row", model_grid_);
  delete_row->setObjectName("mnuDeleteModel");
  connect(delete_row, &QAction::triggered, this, [this] {
    const int row = model_grid_->CurrentRow();
    if (model_grid_->Rows() > 0 && row >= 1)
      QTimer::singleShot(0, this, [this, row] { DeleteModelRow(row); });
  });
  model_grid_->addAction(delete_row);
  middle_layout->addWidget(model_grid_, 1);
  picture_label_ = new QLabel(middle);
  picture_label_->setObjectName("imgPicture");
  picture_label_->setAlignment(Qt::AlignCenter);
  picture_label_->setMinimumSize(160, 160);
  middle_layout->addWidget(picture_label_, 1);
  auto* picture_buttons = new QHBoxLayout;
  load_picture_button_ = new QPushButton("...", middle);
  load_picture_button_->setObjectName("btnLoadPicture");
  clear_picture_button_ = new QPushButton("X", middle);
  clear_picture_button_->setObjectName("btnClearPicture");
  picture_buttons->addWidget(load_picture_button_);
  picture_buttons->addWidget(clear_picture_button_);
  middle_layout->addLayout(picture_buttons);

  // Right pane: keyword, learn filter and the library list.
  auto* right = new QWidget(splitter);
  auto* right_layout = new QVBoxLayout(right);
  auto* search = new QHBoxLayout;
  auto* keyword_label = new QLabel("输入关键词", right);
  keyword_label->setObjectName("lblKeyword");
  keyword_edit_ = new QLineEdit(right);
  keyword_edit_->setObjectName("edtKeyword");
  keyword_edit_->setToolTip("keyword");
  keyword_label->setBuddy(keyword_edit_);
  auto* learn = new QPushButton("Filter by learning", right);
  learn->setObjectName("btnLearnFilter");
  auto* reset = new QPushButton("Reset Filter", right);
  reset->setObjectName("btnResetFilter");
  search->addWidget(keyword_label);
  search->addWidget(keyword_edit_, 1);
  search->addWidget(learn);
  search->addWidget(reset);
  right_layout->addLayout(search);
  library_grid_ = new ui::LibraryGrid(right);
  library_grid_->setObjectName("gridLibrary");
  const char* headings[] = {"Brand", "No", "Memo", "Change Time", ""};
  const int widths[] = {54, 46, 143, 77, 0};
  for (int c = 1; c <= 5; ++c) {
    library_grid_->SetHeading(c, headings[c - 1]);
    library_grid_->SetColumnPixels(c, widths[c - 1]);
  }
  library_grid_->SetColumnHidden(5, true);
  library_grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  for (auto [name, caption] : {std::pair{"mnuExport", "导出..."}, std::pair{"mnuImport", "导入..."},
                               std::pair{"", ""}, std::pair{"mnuDeleteRecords", "Delete"}}) {
    auto* item = new QAction(caption, library_grid_);
    item->setObjectName(name);
    item->setSeparator(std::string_view(name).empty());
    library_grid_->addAction(item);
  }
  right_layout->addWidget(library_grid_, 1);
  splitter->addWidget(left);
  splitter->addWidget(middle);
  splitter->addWidget(right);
  splitter->setSizes({480, 200, kRightPaneWidth});
  setCentralWidget(splitter);

  connect(brand_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    StoreTypedText(static_cast<int>(workflow::TextField::Brand), text);
  });
  connect(code_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    StoreTypedText(static_cast<int>(workflow::TextField::CodeNo), text);
  });
  connect(memo_edit_, &QPlainTextEdit::textChanged, this,
          [this] { StoreTypedText(static_cast<int>(workflow::TextField::Memo), memo_edit_->toPlainText()); });
  // The key under a right click becomes current before its menu opens, so the
  // menu's commands work on the key the user pointed at.
  connect(key_list_, &QListWidget::currentRowChanged, this, [this] {
    if (!updating_) KeyClicked();
  });
  connect(model_grid_, &ui::DataGrid::CellEdited, this, [this](int, int row) {
    MarkPictureModified();
    if (row == model_grid_->Rows() && !model_grid_->Cell(1, row).isEmpty()) model_grid_->SetRows(row + 1);
  });
  connect(load_picture_button_, &QPushButton::clicked, this, [this] {
    if (auto file = prompts_.OpenFile(this, ui::LangText(workbench_.language, kTextLoadPictureCaption),
                                      ui::LangText(workbench_.language, kTextJpegFilter)))
      LoadPictureFile(*file);
  });
  connect(clear_picture_button_, &QPushButton::clicked, this, &TfrmAirEditor::ClearPicture);
  connect(keyword_edit_, &QLineEdit::textChanged, this, [this] {
    if (!updating_) KeywordEdited();
  });
  connect(keyword_edit_, &QLineEdit::returnPressed, this, &TfrmAirEditor::ApplyKeyword);
  connect(reset, &QPushButton::clicked, this, [this] {
    // The filter's count goes with the filter.
    if (session_.LearnFilterOn()) status_hint_->clear();
    session_.ResetLearnFilter();
    ShowLibraryRows();
  });
  connect(library_grid_, &ui::LibraryGrid::RowChanged, this, &TfrmAirEditor::LibraryRowChanged);
  connect(library_grid_, &ui::LibraryGrid::RowClicked, this, &TfrmAirEditor::LibraryRowChanged);
  connect(library_grid_, &ui::LibraryGrid::HeadingClicked, this, &TfrmAirEditor::LibraryHeadingClicked);
  for (QAction* a : library_grid_->actions()) {
    if (a->objectName() == "mnuExport")
      connect(a, &QAction::triggered, this, &TfrmAirEditor::ExportSelectedRecords);
    if (a->objectName() == "mnuImport") connect(a, &QAction::triggered, this, &TfrmAirEditor::ImportRecords);
    if (a->objectName() == "mnuDeleteRecords")
      connect(a, &QAction::triggered, this, &TfrmAirEditor::DeleteSelectedRecords);
  }
}

void TfrmAirEditor::ApplyLanguage() {
  ui::TranslateForm(this, workbench_.language);
  parts_grid_->SetColumns(std::max(parts_grid_->Columns(), 1));
  parts_grid_->SetHeading(
      1, "  " + ui::LangText(workbench_.language, 1) + "\n\n" + ui::LangText(workbench_.language, 2));
  // The bit-field headings are three lines: the row grows when the language's font needs it.
  const QFontMetrics heading(parts_grid_->horizontalHeader()->font());
  parts_grid_->SetHeadingHeight(std::max(kPartsHeadingHeight, heading.size(0, "A\nA\nA").height()));
  RebuildLanguageMenu();
  ApplyToolBarTexts();
  UpdateMinimumSize();
}

void TfrmAirEditor::RebuildLanguageMenu() {
  // The item whose click asked for the rebuild may still be in its handler:
  // old items are deleted once control returns to the event loop.
  for (QAction* old : language_menu_->actions()) {
    language_menu_->removeAction(old);
    old->deleteLater();
  }
  const auto names = workbench_.language.LanguageNames();
  auto* group = new QActionGroup(language_menu_);
  for (std::size_t p = 0; p < names.size(); ++p) {
    QAction* item = language_menu_->addAction(ui::FromGbk(names[p]));
    item->setCheckable(true);
    item->setChecked(static_cast<int>(p) + 1 == workbench_.language.LanguageNo());
    group->addAction(item);
    item->setData(static_cast<int>(p));
    item->setObjectName(QString("mnuLanguage%1").arg(p));
    item->setProperty("imageIndex", static_cast<int>(p) + kLanguageImageBase);
    connect(item, &QAction::triggered, this, [this, p] { ChangeLanguage(static_cast<int>(p)); });
  }
}

void TfrmAirEditor::ChangeLanguage(int tag) {
  if (!ConfirmPendingChanges()) return;
  if (workbench_.language.LanguageNo() == tag + 1) return;
  workbench_.language.SetLanguageNo(tag + 1);
  ApplyLanguage();
  // The status bar speaks the new language: the device state and the record's
  // place are shown again, and the last command's word, said in the old one, goes.
  ShowDeviceStatus(workbench_.device != nullptr && workbench_.device->Manager().Connected());
  ShowStatusIndex();
  status_hint_->clear();
  if (status_press_) status_press_->clear();
  statusBar()->clearMessage();
  RefreshLibraryList();
  if (session_.Index() >= 0) ShowCurrentRecord();
  try {
    config::WriteConfigInteger(workbench_.ConfigFile(), "Config", "lang", tag + 1);
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
}

void TfrmAirEditor::ToggleReadOnly() {
  // Changes made before Read Only is switched on are asked about now, while
  // they can still be saved; Cancel leaves the mode as it was.
  if (!workbench_.settings.ReadOnlyMode && !ConfirmPendingChanges()) {
    read_only_item_->setChecked(false);
    return;
  }
  workbench_.settings.ReadOnlyMode = !workbench_.settings.ReadOnlyMode;
  read_only_item_->setChecked(workbench_.settings.ReadOnlyMode);
  UpdateActions();
  try {
    config::WriteConfigInteger(workbench_.ConfigFile(), "para", "readonly",
                               workbench_.settings.ReadOnlyMode ? 1 : 0);
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
}

void TfrmAirEditor::OpenOptions() {
  try {
    ui::TFrmConfigure dialog(workbench_.ConfigFile(), workbench_.language, this);
    if (dialog.exec() == QDialog::Accepted) {
      workbench_.ReadSettings();
      ApplyDeviceSettings();
    }
  } catch (const std::exception& e) {
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
  ShowStartupProblems();
}

void TfrmAirEditor::ShowAbout() {
  ui::AboutDialog dialog(workbench_.home, workbench_.language, this);
  dialog.exec();
}

void TfrmAirEditor::UpdateActions() {
  const bool has_format = !session_.Record().Slots[0].Text.empty();
  actn_save_->setEnabled((session_.Modified()) && key_list_->count() > 0 &&
                         !workbench_.settings.ReadOnlyMode);
  for (QAction* a : {act_auto_wizard_, actn_checked_, actn_re_geshi_, actn_program_, actn_send_})
    a->setEnabled(has_format);
  load_picture_button_->setEnabled(session_.Index() >= 0);
  clear_picture_button_->setEnabled(session_.Index() >= 0);
  ApplyReadOnlyState();
  ApplyProtection();
}

void TfrmAirEditor::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  ApplySavedPaneSizes();
  ShowCurrentRecord();
  RefreshLibraryList();
  updating_ = false;
  StartCapturing();
  QTimer::singleShot(0, this, &TfrmAirEditor::ShowStartupProblems);
  if (!library_columns_restored_) FitLibraryColumns();
  if (LibraryProtected()) QTimer::singleShot(0, this, &TfrmAirEditor::ReportDamage);
  StartAutoUpdate();
}

void TfrmAirEditor::closeEvent(QCloseEvent* event) {
  if (ConfirmPendingChanges()) {
    SaveWindowLayout();
    event->accept();
  } else {
    event->ignore();
  }
}

void TfrmAirEditor::MarkRecordModified() {
  session_.SetRecordModified(true);
  UpdateActions();
}

void TfrmAirEditor::MarkPictureModified() {
  session_.SetPictureModified(true);
  UpdateActions();
}

}  // namespace klimavo::app
