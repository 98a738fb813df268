// Every window built so far ships English and Chinese entries, and every entry
// names a component the window really has.
#include <QTest>

#include <functional>
#include <memory>
#include <set>

#include "app/capture_viewer.h"
#include "app/main_window.h"
#include "base/gbk.h"
#include "base/ini_file.h"
#include "gui_test_support.h"
#include "lang/form_entry.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/checksum_wizard_dialog.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/function_wizard_dialog.h"
#include "ui/dialogs/key_editor_dialog.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/dialogs/wait_message.h"
#include "ui/translate_form.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::app {

class TranslationsTest : public QObject {
  Q_OBJECT

 private:
  void CheckWindow(QWidget& window, const lang::Language& language) {
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

 private slots:
  void everyWindowHasBothLanguagesAndRealComponents() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor main_window(workbench, prompts);
    CheckWindow(main_window, workbench.language);
    ui::TFrmConfigure options(home.path() / "config.ini", workbench.language);
    CheckWindow(options, workbench.language);
    ui::AboutDialog about(home.path(), workbench.language);
    CheckWindow(about, workbench.language);
    CaptureViewer viewer({}, 0.21, workbench.language, "none");
    CheckWindow(viewer, workbench.language);
    ui::TfrmGeShiSelect chooser(store::TdiskAir{}, 0.21, workbench.language, {});
    CheckWindow(chooser, workbench.language);
    ui::TfrmStatusEditor editor(store::TdiskAir{}, workbench.language, workbench.DataDir(), {});
    CheckWindow(editor, workbench.language);
    ui::Tfrmmsg wait;
    CheckWindow(wait, workbench.language);
    store::TdiskAir record;
    store::TBtnLines lines;
    workbench.library.FetchRecord(0, record, lines);
    ui::TfrmWizard wizard(record, lines, workbench.language, workbench.settings, workbench.captures);
    CheckWindow(wizard, workbench.language);
    ui::TfrmChechWizard checksum_wizard(record, workbench.language, workbench.settings, workbench.captures);
    CheckWindow(checksum_wizard, workbench.language);
  }

  void gridColumnHeadingsAndCaptionsAreApplied() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    ui::ApplyFormEntry(&window, "gridLibrary.Col[3].Heading", "Bemerkung");
    QCOMPARE(window.findChild<ui::DataGrid*>("gridLibrary")->Heading(3), QString("Bemerkung"));
    workbench.language.SetLanguageNo(2);
    ui::TFrmConfigure options(home.path() / "config.ini", workbench.language);
    QCOMPARE(options.windowTitle(), QString("配置参数"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::TranslationsTest)
#include "translations_test.moc"
