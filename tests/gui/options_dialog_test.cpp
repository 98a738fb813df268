#include "ui/dialogs/options_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

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
    const std::pair<const char*, long long> expected[] = {
        {"ErrorOfDeccode", 21}, {"trimtime", 180}, {"LogicH", 0},  {"LogicL", 0},
        {"WaveH", 0},           {"WaveL", 0},      {"Skipbase", 0}};
    for (const auto& [key, value] : expected) {
      QVERIFY2(ini.Value("Config", key).has_value(), key);
      QCOMPARE(ini.ReadInteger("Config", key, -999), value);
    }
    // The update server and the proxy were not changed: a file without them stays so.
    for (const char* key : {"UpdateUrl", "proxySvr", "proxtPort"})
      QVERIFY2(!ini.Value("Config", key).has_value(), key);
  }

  void theUpdateServerAndProxyAreShownAndWritten() {
    testing::TestHome home(false);
    const auto config = home.path() / "config.ini";
    base::WriteIniString(config, "Config", "UpdateUrl", "https://updates.example/ac");
    base::WriteIniString(config, "Config", "proxtPort", "3128");
    lang::Language language(home.path(), 1);
    TFrmConfigure dialog(config, language);
    QCOMPARE(dialog.UpdateUrlEdit()->text(), QString("https://updates.example/ac"));
    QCOMPARE(dialog.ProxyPortSpin()->value(), 3128);
    // An address the update cannot use is refused, and nothing is written.
    dialog.UpdateUrlEdit()->setText("ftp://updates.example");
    QTimer::singleShot(0, [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    dialog.AcceptAndWrite();
    QVERIFY(dialog.result() != int(QDialog::Accepted));
    QCOMPARE(base::IniFile::Load(config).ReadString("Config", "UpdateUrl", ""),
             std::string("https://updates.example/ac"));
    dialog.UpdateUrlEdit()->setText(" http://mirror.example/ac/ ");
    dialog.ProxyServerEdit()->setText("proxy.example");
    dialog.ProxyPortSpin()->setValue(8080);
    dialog.AcceptAndWrite();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const auto ini = base::IniFile::Load(config);
    QCOMPARE(ini.ReadString("Config", "UpdateUrl", ""), std::string("http://mirror.example/ac"));
    QCOMPARE(ini.ReadString("Config", "proxySvr", ""), std::string("proxy.example"));
    QCOMPARE(ini.ReadInteger("Config", "proxtPort", 0), 8080);
    dialog.show();
    QCoreApplication::processEvents();
    dialog.grab().save(testing::ScreenshotDir() + "/options.png");
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

  void everyCaptionIsShownWhole() {
    // The dialog has a fixed size: its captions and spin edits must all fit, in every language.
    testing::TestHome home(true);
    for (int language_no : {1, 2}) {
      lang::Language language(home.path(), language_no);
      TFrmConfigure dialog(home.path() / "config.ini", language);
      dialog.show();
      QCoreApplication::processEvents();
      for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) && !qobject_cast<QSpinBox*>(w))
          continue;
        QSize needed = w->minimumSizeHint();
        // A caption that wraps needs its longest word across and the height of its lines.
        if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap()) {
          needed.setWidth(0);
          for (const QString& word : label->text().split(' ', Qt::SkipEmptyParts))
            needed.setWidth(std::max(needed.width(), label->fontMetrics().horizontalAdvance(word)));
          needed.setHeight(label->heightForWidth(label->width()));
        }
        QVERIFY2(w->width() >= needed.width() && w->height() >= needed.height(),
                 qPrintable(QString("%1 (language %2): %3x%4 < %5x%6")
                                .arg(w->objectName())
                                .arg(language_no)
                                .arg(w->width())
                                .arg(w->height())
                                .arg(needed.width())
                                .arg(needed.height())));
      }
    }
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
