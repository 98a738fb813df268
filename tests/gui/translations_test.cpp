// Every window ships English and Chinese entries, every entry names a component
// the window really has, and every text a window shows is in the window's
// language: no Chinese in English, and no English text in Chinese where the
// language files hold a translation of it.
#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocumentFragment>
#include <algorithm>
#include <functional>
#include <memory>
#include <set>

#include "app/capture_viewer.h"
#include "app/main_window.h"
#include "base/gbk.h"
#include "base/ini_file.h"
#include "gui_test_support.h"
#include "lang/form_entry.h"
#include "lang/language.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/checksum_wizard_dialog.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/function_wizard_dialog.h"
#include "ui/dialogs/key_editor_dialog.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/dialogs/programming_dialog.h"
#include "ui/dialogs/remote_check_dialog.h"
#include "ui/dialogs/update_dialog.h"
#include "ui/dialogs/wait_message.h"
#include "ui/qt_dispatcher.h"
#include "ui/standard_button_texts.h"
#include "ui/translate_form.h"
#include "ui/waveview/wave_show.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

constexpr int kEnglish = 1;
constexpr int kChinese = 2;

// A text as the user reads it: without mnemonics ("&File", "文件(&F)") or markup.
QString Plain(QString text) {
  if (text.contains('<')) text = QTextDocumentFragment::fromHtml(text).toPlainText();
  static const QRegularExpression kBracketed(R"(\(&[^&]\))");
  return text.remove(kBracketed).remove('&').trimmed();
}

bool HasChinese(const QString& text) {
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF))
      return true;
  }
  return false;
}

// The texts a window shows of its own (not the record data in its edits, lists and cells).
QStringList ShownTexts(QWidget& window) {
  QStringList texts{window.windowTitle()};
  auto add = [&texts](const QString& text) {
    if (!Plain(text).isEmpty()) texts << Plain(text);
  };
  for (QWidget* w : window.findChildren<QWidget*>()) {
    add(w->toolTip());
    if (auto* label = qobject_cast<QLabel*>(w)) add(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) add(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(w)) add(group->title());
    if (auto* edit = qobject_cast<QLineEdit*>(w)) add(edit->placeholderText());
    if (auto* menu = qobject_cast<QMenu*>(w)) add(menu->title());
    if (auto* grid = qobject_cast<ui::DataGrid*>(w))
      for (int c = 1; c <= grid->Columns(); ++c)
        if (!grid->IsColumnHidden(c)) add(grid->Heading(c));
    if (auto* wave = qobject_cast<ui::TWaveShow*>(w)) add(QString::fromStdString(wave->State().Title));
  }
  for (QAction* a : window.findChildren<QAction*>()) {
    // The language menu names every language in that language.
    if (a->isSeparator() || (a->objectName().startsWith("mnuLanguage") && a->objectName() != "mnuLanguage"))
      continue;
    add(a->text());
    add(a->toolTip());
  }
  return texts;
}

// English texts of the language files whose Chinese differs: the window texts
// of every window and the numbered texts.
std::set<QString> TranslatedEnglish(const lang::Language& language, const QStringList& forms) {
  std::set<QString> english;
  const auto names = base::IniFile::Load(language.NamesPath());
  for (const QString& form : forms) {
    for (const auto& [path, value] : names.Entries("0_" + form.toStdString())) {
      const auto chinese = names.Value("1_" + form.toStdString(), path);
      if (chinese && *chinese != value) english.insert(Plain(QString::fromStdString(base::GbkToUtf8(value))));
    }
  }
  const auto texts = base::IniFile::Load(language.TextsPath());
  for (const auto& [key, value] : texts.Entries("1")) {
    const auto chinese = texts.Value("2", key);
    const QString text =
        Plain(QString::fromStdString(base::GbkToUtf8(value)).remove(QRegularExpression("%\\d")));
    if (chinese && *chinese != value && text.size() >= 3) english.insert(text);
  }
  return english;
}

}  // namespace

class TranslationsTest : public QObject {
  Q_OBJECT

 private:
  void CheckEntries(QWidget& window, const lang::Language& language) {
    const std::string form = window.objectName().toStdString();
    const auto names = base::IniFile::Load(language.NamesPath());
    std::set<std::string> english_paths, chinese_paths;
    for (const auto& [path, value] : names.Entries("0_" + form)) english_paths.insert(path);
    for (const auto& [path, value] : names.Entries("1_" + form)) chinese_paths.insert(path);
    QVERIFY2(!english_paths.empty(), form.c_str());
    QCOMPARE(chinese_paths, english_paths);
    for (const std::string& path : english_paths) {
      const lang::FormEntryPath entry = lang::ParseFormEntryPath(path);
      QVERIFY2(entry.target != lang::EntryTarget::kInvalid, path.c_str());
      if (!entry.component.empty())
        QVERIFY2(window.findChild<QObject*>(QString::fromStdString(entry.component)) != nullptr,
                 (form + ": " + path).c_str());
    }
  }

  // `texts` were shown in language `language_no`: none in the other language.
  void CheckLanguageOf(const QStringList& texts, int language_no, const std::set<QString>& translated_english,
                       const QString& where) {
    for (const QString& text : texts) {
      if (language_no == kEnglish) {
        QVERIFY2(!HasChinese(text), qPrintable(where + " shows Chinese in English: " + text));
        continue;
      }
      for (const QString& english : translated_english) {
        const bool same = text == english;
        const bool labelled = english.endsWith(':') && text.startsWith(english);
        QVERIFY2(!same && !labelled, qPrintable(where + " shows untranslated English in Chinese: " + text));
      }
    }
  }

  // The waveform views paint their field labels ("CODE VALUE:" or "码值:") and ask for
  // values in the language they are told: the window's.
  void CheckWaveViews(QWidget& window, int language_no, const QString& where) {
    for (ui::TWaveShow* wave : window.findChildren<ui::TWaveShow*>())
      QVERIFY2(wave->State().Chinese == (language_no == kChinese),
               qPrintable(where + ": waveform view " + wave->objectName() + " labels in the other language"));
  }

  // What the main window shows, its menus and the texts of its questions and boxes included.
  QStringList MainWindowTexts(TfrmAirEditor& window, testing::ScriptedPrompts& prompts, const QString& home) {
    prompts.questions.clear();
    prompts.messages.clear();
    prompts.message_captions.clear();
    prompts.input_boxes.clear();
    QStringList texts = ShownTexts(window);
    prompts.inputs = {QString("  ")};  // rename: an empty name is refused with a message
    window.RenameKey();
    prompts.files = {home + "/config.ini"};  // import: not an exchange file
    window.ImportRecords();
    prompts.answers = {QMessageBox::No};
    window.DeleteSelectedRecords();
    for (const auto& [caption, prompt] : prompts.input_boxes) texts << caption << prompt;
    for (const QString& text : prompts.messages) texts << text;
    for (const QString& text : prompts.message_captions) texts << text;
    for (const QString& text : prompts.questions) texts << text;
    texts.removeAll(QString());
    return texts;
  }

 private slots:
  void everyWindowHasBothLanguagesAndRealComponents() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor main_window(workbench, prompts);
    CheckEntries(main_window, workbench.language);
    ui::TFrmConfigure options(home.path() / "config.ini", workbench.language);
    CheckEntries(options, workbench.language);
    ui::AboutDialog about(home.path(), workbench.language);
    CheckEntries(about, workbench.language);
    CaptureViewer viewer({}, 0.21, workbench.language, "none");
    CheckEntries(viewer, workbench.language);
    ui::TfrmCheckAc remote_check(workbench.library.Records().front().Record, 0.21, workbench.language);
    CheckEntries(remote_check, workbench.language);
    ui::TfrmDownProc programming(nullptr, device::SteadyClock::Instance(), workbench.language,
                                 home.path() / "Binn");
    CheckEntries(programming, workbench.language);
    ui::TfrmGeShiSelect chooser(store::TdiskAir{}, 0.21, workbench.language, {});
    CheckEntries(chooser, workbench.language);
    ui::TfrmStatusEditor editor(store::TdiskAir{}, workbench.language, workbench.DataDir(), {});
    CheckEntries(editor, workbench.language);
    ui::Tfrmmsg wait;
    CheckEntries(wait, workbench.language);
    store::TdiskAir record;
    store::TBtnLines lines;
    workbench.library.FetchRecord(0, record, lines);
    ui::TfrmWizard wizard(record, lines, workbench.language, workbench.settings, workbench.captures);
    CheckEntries(wizard, workbench.language);
    ui::TfrmChechWizard checksum_wizard(record, workbench.language, workbench.settings, workbench.captures);
    CheckEntries(checksum_wizard, workbench.language);
    ui::QtDispatcher dispatcher;
    ui::TfrmUpdate update(dispatcher, home.path(), {}, workbench.language);
    CheckEntries(update, workbench.language);
  }

  void everyWindowShowsOnlyItsLanguage() {
    testing::TestHome home(true);
    const QString home_dir = QString::fromStdString(home.path().string());
    Workbench workbench(home.path());
    const std::set<QString> translated =
        TranslatedEnglish(workbench.language, {"frmAirEditor", "FrmConfigure", "frmAbout", "frmCaptureViewer",
                                               "frmGeShiSelect", "frmStatusEditor", "frmmsg", "frmCheckAc",
                                               "frmDownProc", "frmWizard", "frmChechWizard", "frmUpdate"});
    QVERIFY(translated.count("Compare code") == 1);  // the files hold what the check relies on
    const QString sample = QString(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_remote.ir";
    testing::ScriptedPrompts prompts;
    TfrmAirEditor main_window(workbench, prompts);
    main_window.show();
    QCoreApplication::processEvents();
    for (int language_no : {kEnglish, kChinese}) {
      main_window.ChangeLanguage(language_no - 1);
      const QString suffix = language_no == kEnglish ? " (English)" : " (Chinese)";
      CheckLanguageOf(MainWindowTexts(main_window, prompts, home_dir), language_no, translated,
                      "main window" + suffix);
      CheckWaveViews(main_window, language_no, "main window" + suffix);

      lang::Language language(home.path(), language_no);
      ui::TFrmConfigure options(home.path() / "config.ini", language);
      CheckLanguageOf(ShownTexts(options), language_no, translated, "options" + suffix);
      ui::AboutDialog about(home.path(), language);
      CheckLanguageOf(ShownTexts(about), language_no, translated, "about" + suffix);
      CaptureViewer viewer(LoadCaptureFile(sample, language).captures, 0.21, language, sample);
      QStringList viewer_texts = ShownTexts(viewer);
      viewer_texts << LoadCaptureFile(home_dir + "/no-such-file.ir", language).error.split('\n').front();
      CheckLanguageOf(viewer_texts, language_no, translated, "capture viewer" + suffix);
      CheckWaveViews(viewer, language_no, "capture viewer" + suffix);
      ui::TfrmGeShiSelect chooser(store::TdiskAir{}, 0.21, language, {});
      CheckLanguageOf(ShownTexts(chooser), language_no, translated, "format chooser" + suffix);
      CheckWaveViews(chooser, language_no, "format chooser" + suffix);
      ui::TfrmStatusEditor editor(store::TdiskAir{}, language, workbench.DataDir(), {});
      CheckLanguageOf(ShownTexts(editor), language_no, translated, "key editor" + suffix);
      ui::TfrmCheckAc remote_check(workbench.library.Records().front().Record, 0.21, language);
      CheckLanguageOf(ShownTexts(remote_check), language_no, translated, "remote check" + suffix);
      ui::TfrmDownProc programming(nullptr, device::SteadyClock::Instance(), language, home.path() / "Binn");
      CheckLanguageOf(ShownTexts(programming), language_no, translated, "programming" + suffix);
      store::TdiskAir record;
      store::TBtnLines lines;
      workbench.library.FetchRecord(0, record, lines);
      ui::TfrmWizard wizard(record, lines, language, workbench.settings, workbench.captures);
      CheckLanguageOf(ShownTexts(wizard), language_no, translated, "function wizard" + suffix);
      CheckWaveViews(wizard, language_no, "function wizard" + suffix);
      ui::TfrmChechWizard checksum_wizard(record, language, workbench.settings, workbench.captures);
      CheckLanguageOf(ShownTexts(checksum_wizard), language_no, translated, "checksum wizard" + suffix);
      CheckWaveViews(checksum_wizard, language_no, "checksum wizard" + suffix);
      ui::QtDispatcher dispatcher;
      ui::TfrmUpdate update(dispatcher, home.path(), {}, language);
      CheckLanguageOf(ShownTexts(update), language_no, translated, "update" + suffix);
    }
  }

  void standardButtonsSpeakTheWorkbenchLanguage() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    const struct {
      QMessageBox::StandardButton button;
      const char* english;
      const char* chinese;
    } cases[] = {{QMessageBox::Ok, "OK", "确定"},       {QMessageBox::Cancel, "Cancel", "取消"},
                 {QMessageBox::Yes, "&Yes", "是(&Y)"},  {QMessageBox::No, "&No", "否(&N)"},
                 {QMessageBox::Close, "Close", "关闭"}, {QMessageBox::Save, "Save", "保存"},
                 {QMessageBox::Abort, "Abort", "中止"}, {QMessageBox::Discard, "Discard", "放弃"},
                 {QMessageBox::Open, "Open", "打开"},   {QMessageBox::Apply, "Apply", "应用"}};
    for (int tag : {1, 0}) {
      window.ChangeLanguage(tag);
      QMessageBox box;
      for (const auto& c : cases) box.addButton(c.button);
      for (const auto& c : cases)
        QCOMPARE(box.button(c.button)->text(), QString::fromUtf8(tag == 0 ? c.english : c.chinese));
      QInputDialog input;
      QCOMPARE(input.okButtonText(), QString::fromUtf8(tag == 0 ? "OK" : "确定"));
      QCOMPARE(input.cancelButtonText(), QString::fromUtf8(tag == 0 ? "Cancel" : "取消"));
    }
  }

  void fileDialogsSpeakTheWorkbenchLanguage() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    for (int tag : {1, 0}) {
      window.ChangeLanguage(tag);
      const bool chinese = tag == 1;
      // Qt's own dialog while the workbench speaks Chinese: the desktop's would not.
      QCOMPARE(ui::FileDialogOptions().testFlag(QFileDialog::DontUseNativeDialog), chinese);
      QFileDialog dialog(nullptr, "caption", QString(), "Records (*.txt)");
      dialog.setOptions(ui::FileDialogOptions());
      const auto* look_in = dialog.findChild<QLabel*>("lookInLabel");
      const auto* file_type = dialog.findChild<QLabel*>("fileTypeLabel");
      QVERIFY(look_in && file_type);
      for (const QLabel* label : {look_in, file_type}) {
        const QString text = label->text();
        const bool has_han = std::any_of(
            text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
        QVERIFY2(has_han == chinese, qPrintable(text));
      }
      if (!chinese) QCOMPARE(look_in->text(), QString("Look in:"));
    }
  }

  void gridColumnHeadingsAndCaptionsAreApplied() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    ui::ApplyFormEntry(&window, "gridLibrary.Col[3].Heading", "Bemerkung");
    QCOMPARE(window.findChild<ui::LibraryGrid*>("gridLibrary")->Heading(3), QString("Bemerkung"));
    workbench.language.SetLanguageNo(2);
    ui::TFrmConfigure options(home.path() / "config.ini", workbench.language);
    QCOMPARE(options.windowTitle(), QString("配置参数"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::TranslationsTest)
#include "translations_test.moc"
