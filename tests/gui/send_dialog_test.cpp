// The Send command of the main window: its dialog over the current record sends
// the emulated code to a stand-in transmitter (a regular file receives the
// durations), reports a transmitter that cannot be opened, and is rendered for
// review.
#include "app/send_dialog.h"

#include <QAction>
#include <QLabel>
#include <QTest>
#include <cstring>
#include <fstream>

#include "app/main_window.h"
#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "store/library.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

std::vector<std::uint32_t> Words(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::uint32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), words.size() * 4);
  return words;
}

}  // namespace

class SendDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void sendCommandSendsTheCurrentRecordsCode() {
    testing::MainWindowFixture f;
    auto* library = f.Library();
    library->SetCurrentRow(1);
    const int index = f.window.CurrentIndex();
    QVERIFY(index >= 0);

    auto* send = f.window.findChild<QAction*>("actnSend");
    QVERIFY(send != nullptr);
    QCOMPARE(send->shortcut(), QKeySequence(kSendShortcut));
    QVERIFY(send->isEnabled());

    const std::filesystem::path standin = f.home.path() / "lirc-standin";
    std::ofstream(standin).close();
    workflow::SendOutcome sent, refused;
    QString refused_text;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto* send_dialog = qobject_cast<SendDialog*>(&dialog);
      if (send_dialog == nullptr) return static_cast<int>(QDialog::Rejected);
      send_dialog->show();
      QCoreApplication::processEvents();
      send_dialog->SetKey(1);
      send_dialog->SetStates({1, 2, 1, 0, 0, 0});
      send_dialog->SetDevice(QString::fromStdString((f.home.path() / "no-such-lirc").string()));
      refused = send_dialog->SendNow();
      refused_text = send_dialog->ResultText();
      send_dialog->SetDevice(QString::fromStdString(standin.string()));
      sent = send_dialog->SendNow();
      send_dialog->grab().save(testing::ScreenshotDir() + "/send-dialog.png");
      return static_cast<int>(QDialog::Rejected);
    });
    send->trigger();
    QVERIFY(f.prompts.dialogs.empty());
    QVERIFY2(sent.error.empty(), sent.error.c_str());
    QVERIFY(refused_text.startsWith("Not sent:"));
    QVERIFY(refused.error.find("cannot be opened") != std::string::npos);

    // What went out is the record's emulated signal in pulse mode.
    store::ProtocolLibrary records(f.home.path() / "data/acprotocl.dat");
    QVERIFY(records.Load());
    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(records.FetchRecord(index, record, lines));
    const workflow::RecordSender sender(record, lines, f.workbench.settings.Timing);
    std::string error;
    const auto signal = sender.Signal(1, {1, 2, 1, 0, 0, 0}, error);
    QVERIFY2(signal.has_value(), error.c_str());
    const auto expected = device::PulseModeDurations(signal->micros);
    QCOMPARE(sent.durations, expected.size());
    QVERIFY(Words(standin) == expected);

    // In Chinese the dialog's own texts follow the language file.
    SendDialog chinese(sender, {"/dev/lirc1"}, lang::Language(f.home.path(), 2));
    chinese.show();
    QCoreApplication::processEvents();
    QCOMPARE(chinese.windowTitle(), QString("发送"));
    QCOMPARE(chinese.findChild<QLabel*>("lblDevice")->text(), QString("发射器:"));
    chinese.grab().save(testing::ScreenshotDir() + "/send-dialog-zh.png");
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::SendDialogTest)
#include "send_dialog_test.moc"
