#include "ui/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QTest>

#include "base/ini_file.h"
#include "base/short_string.h"
#include "gui_test_support.h"

namespace klimavo::ui {

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void okWithoutChangesWritesAllSevenKeys() {
    testing::TestHome home(false);
    const auto config = home.path() / "config.ini";
    QVERIFY(!std::filesystem::exists(config));
    lang::Language language(home.path(), 1);
    TFrmConfigure dialog(config, language);
    dialog.AcceptAndWrite();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const auto ini = base::IniFile::Load(config);
    const std::pair<const char*, long long> expected[] = {{"ErrorOfDeccode", 21}, {"trimtime", 180}, {"LogicH", 0},
                                                          {"LogicL", 0}, {"WaveH", 0}, {"WaveL", 0}, {"Skipbase", 0}};
    for (const auto& [key, value] : expected) {
      QVERIFY2(ini.Value("Config", key).has_value(), key);
      QCOMPARE(ini.ReadInteger("Config", key, -999), value);
    }
  }

  void loadedValuesAreBroughtIntoRangeAndChangesAreWritten() {
    testing::TestHome home(false);
    const auto config = home.path() / "config.ini";
    base::WriteIniString(config, "Config", "ErrorOfDeccode", "5");
    base::WriteIniString(config, "Config", "LogicL", "40");
    lang::Language language(home.path(), 1);
    TFrmConfigure dialog(config, language);
    QCOMPARE(dialog.ErrorSpin()->value(), 8);
    QCOMPARE(dialog.LogicLowSpin()->value(), 40);
    dialog.TrimSpin()->setValue(250);
    dialog.SkipBaseCheck()->setChecked(true);
    dialog.AcceptAndWrite();
    const auto ini = base::IniFile::Load(config);
    QCOMPARE(ini.ReadInteger("Config", "ErrorOfDeccode", 0), 8);
    QCOMPARE(ini.ReadInteger("Config", "trimtime", 0), 250);
    QCOMPARE(ini.ReadInteger("Config", "Skipbase", 0), 1);
  }

  void cancelWritesNothing() {
    testing::TestHome home(false);
    const auto config = home.path() / "config.ini";
    lang::Language language(home.path(), 1);
    TFrmConfigure dialog(config, language);
    dialog.reject();
    QVERIFY(!std::filesystem::exists(config));
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::OptionsDialogTest)
#include "options_dialog_test.moc"
