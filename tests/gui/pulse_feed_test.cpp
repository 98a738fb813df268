// The pulse feed of the running workbench, with clients the test starts: a
// local socket writing message and pulse lines, and klimavo-cli feed.
#include "app/pulse_feed.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "device/pulse_feed_protocol.h"

namespace klimavo::app {
namespace {

// What each wizard slot received, as "d1,d2,...@carrier".
struct WizardSlots {
  device::CaptureRouter router;
  QStringList function_wizard;
  QStringList checksum_wizard;
  device::CaptureRouter::Lease function_lease;
  device::CaptureRouter::Lease checksum_lease;

  static QString Text(const ir::TIRIntegerArr& d, std::int32_t carrier) {
    QStringList parts;
    for (std::int32_t x : d) parts << QString::number(x);
    return parts.join(",") + "@" + QString::number(carrier);
  }
  void OpenFunctionWizard() {
    function_lease =
        router.Occupy(device::CaptureConsumer::FunctionWizard,
                      [this](const ir::TIRIntegerArr& d, std::int32_t c) { function_wizard << Text(d, c); });
  }
  void OpenChecksumWizard() {
    checksum_lease =
        router.Occupy(device::CaptureConsumer::ChecksumWizard,
                      [this](const ir::TIRIntegerArr& d, std::int32_t c) { checksum_wizard << Text(d, c); });
  }
};

void Write(QLocalSocket& socket, const QByteArray& bytes) {
  socket.write(bytes);
  QVERIFY(socket.waitForBytesWritten(2000));
}

}  // namespace

class PulseFeedTest : public QObject {
  Q_OBJECT

 private slots:
  void messagesReachTheFunctionWizard() {
    QTemporaryDir home;
    WizardSlots wizards;
    wizards.OpenFunctionWizard();
    PulseFeed feed(wizards.router);
    QVERIFY2(feed.Listen(home.path().toStdString()), qPrintable(feed.ErrorText()));
    QCOMPARE(feed.Name().toStdString(), device::PulseFeedSocketPath(home.path().toStdString()).string());

    QLocalSocket client;
    client.connectToServer(feed.Name());
    QVERIFY(client.waitForConnected(2000));
    Write(client, "MSG 0 3\nMSG 1 9000\nMSG 2 -4500\n");
    QTest::qWait(50);
    QVERIFY(wizards.function_wizard.isEmpty());  // two of three durations
    Write(client, "MSG 3 560\nMSG 4 1\n");
    QTRY_COMPARE(wizards.function_wizard, QStringList{"90000,-45000,5600@38000"});
    Write(client, "PULSES 100 -200\n");
    QTRY_COMPARE(wizards.function_wizard.size(), 2);
    QCOMPARE(wizards.function_wizard[1], QString("1000,-2000@38000"));
  }

  void bothWizardsGetATrainAndNothingElseDoes() {
    QTemporaryDir home;
    WizardSlots wizards;
    bool chooser_called = false;
    auto chooser =
        wizards.router.Occupy(device::CaptureConsumer::FormatChooser,
                              [&](const ir::TIRIntegerArr&, std::int32_t) { chooser_called = true; });
    PulseFeed feed(wizards.router);
    QVERIFY(feed.Listen(home.path().toStdString()));
    QLocalSocket client;
    client.connectToServer(feed.Name());
    QVERIFY(client.waitForConnected(2000));
    Write(client, "PULSES 1\n");  // no wizard open: dropped
    QTest::qWait(200);
    wizards.OpenFunctionWizard();
    wizards.OpenChecksumWizard();
    Write(client, "PULSES 2\n");
    QTRY_COMPARE(wizards.checksum_wizard, QStringList{"20@38000"});
    QCOMPARE(wizards.function_wizard, QStringList{"20@38000"});
    QVERIFY(!chooser_called);
  }

  void aSecondWorkbenchOfTheHomeDoesNotTakeTheFeed() {
    QTemporaryDir home;
    WizardSlots wizards;
    PulseFeed first(wizards.router);
    QVERIFY(first.Listen(home.path().toStdString()));
    PulseFeed second(wizards.router);
    QVERIFY(!second.Listen(home.path().toStdString()));
    QVERIFY(second.ErrorText().contains("already listens"));
    QVERIFY(first.Listening());
  }

  void aSocketLeftByACrashIsReplaced() {
    QTemporaryDir home;
    const std::string path = device::PulseFeedSocketPath(home.path().toStdString()).string();
    QCOMPARE(device::PreparePulseFeedFolder(std::filesystem::path(path).parent_path(), true), std::string());
    // A bound socket nobody listens on, as a killed workbench leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    QVERIFY(QFile::exists(QString::fromStdString(path)));
    WizardSlots wizards;
    PulseFeed feed(wizards.router);
    QVERIFY2(feed.Listen(home.path().toStdString()), qPrintable(feed.ErrorText()));
  }

  // Another user who could reach the feed's folder or owns a socket under its
  // name would take the captures: the feed does not start, and says why.
  void aFolderOrSocketOfAnotherUserIsNeverUsed() {
    QTemporaryDir home;
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QVERIFY(::chmod(runtime.path().toUtf8().constData(), 0700) == 0);
    WizardSlots wizards;
    {
      QVERIFY(::chown(runtime.path().toUtf8().constData(), 4242, 4242) == 0);
      PulseFeed feed(wizards.router);
      QVERIFY(!feed.Listen(home.path().toStdString()));
      QVERIFY2(feed.ErrorText().contains("another user"), qPrintable(feed.ErrorText()));
      QVERIFY(::chown(runtime.path().toUtf8().constData(), ::getuid(), ::getgid()) == 0);
    }
    {
      const std::string path = device::PulseFeedSocketPath(home.path().toStdString()).string();
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
      QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
      QVERIFY(::listen(fd, 4) == 0);
      QVERIFY(::lchown(path.c_str(), 4242, 4242) == 0);
      PulseFeed feed(wizards.router);
      QVERIFY(!feed.Listen(home.path().toStdString()));
      QVERIFY2(feed.ErrorText().contains("another user"), qPrintable(feed.ErrorText()));
      // klimavo-cli feed does not hand captures to it either.
      const QString file = home.path() + "/captures.txt";
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write("9000 -4500 560 -560\n");
      out.close();
      QProcess cli;
      cli.start(qEnvironmentVariable("KLIMAVO_CLI"), {"--home", home.path(), "feed", file});
      QVERIFY(cli.waitForFinished(20000));
      QCOMPARE(cli.exitCode(), 2);
      QVERIFY(cli.readAllStandardError().contains("another user"));
      ::close(fd);
    }
    if (saved.isNull())
      qunsetenv("XDG_RUNTIME_DIR");
    else
      qputenv("XDG_RUNTIME_DIR", saved);
  }

  // Connections are capped: one beyond the cap is closed at once, the others
  // keep working.
  void connectionsBeyondTheCapAreClosed() {
    QTemporaryDir home;
    WizardSlots wizards;
    wizards.OpenFunctionWizard();
    PulseFeed feed(wizards.router);
    QVERIFY(feed.Listen(home.path().toStdString()));
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    for (int i = 0; i <= device::kMaxFeedConnections; ++i) {
      clients.push_back(std::make_unique<QLocalSocket>());
      clients.back()->connectToServer(feed.Name());
      QVERIFY(clients.back()->waitForConnected(2000));
      QTest::qWait(20);
    }
    QTRY_COMPARE(clients.back()->state(), QLocalSocket::UnconnectedState);
    Write(*clients.front(), "PULSES 3\n");
    QTRY_COMPARE(wizards.function_wizard, QStringList{"30@38000"});
    // The client is told that the train was taken.
    QTRY_VERIFY(clients.front()->canReadLine());
    QCOMPARE(clients.front()->readLine(), QByteArray("TAKEN 1\n"));
  }

  void theCliFeedsTheCapturesOfAFile() {
    QTemporaryDir home;
    WizardSlots wizards;
    wizards.OpenFunctionWizard();
    PulseFeed feed(wizards.router);
    QVERIFY(feed.Listen(home.path().toStdString()));
    const QString file = home.path() + "/captures.txt";
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("9000 -4500 560 -560\n\n560 -1690\n");
    out.close();

    QProcess cli;
    cli.start(qEnvironmentVariable("KLIMAVO_CLI"), {"--home", home.path(), "feed", file});
    // The workbench's answers need its event loop running meanwhile.
    QVERIFY(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 20000));
    QCOMPARE(cli.exitCode(), 0);
    QTRY_COMPARE(wizards.function_wizard,
                 (QStringList{"90000,-45000,5600,-5600@38000", "5600,-16900@38000"}));

    QVERIFY(cli.readAllStandardOutput().contains("2 capture(s) sent, 2 taken"));

    // With no wizard open the captures reach nobody, and the verb says so.
    wizards.function_lease = {};
    QProcess untaken;
    untaken.start(qEnvironmentVariable("KLIMAVO_CLI"), {"--home", home.path(), "feed", file});
    QVERIFY(QTest::qWaitFor([&] { return untaken.state() == QProcess::NotRunning; }, 20000));
    QCOMPARE(untaken.exitCode(), 1);
    QVERIFY(untaken.readAllStandardOutput().contains("2 capture(s) sent; none was taken"));

    feed.deleteLater();
    QProcess nobody;
    QTemporaryDir other_home;
    nobody.start(qEnvironmentVariable("KLIMAVO_CLI"), {"--home", other_home.path(), "feed", file});
    QVERIFY(nobody.waitForFinished(20000));
    QCOMPARE(nobody.exitCode(), 1);
    QVERIFY(nobody.readAllStandardError().contains("no workbench of this home is running"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::PulseFeedTest)
#include "pulse_feed_test.moc"
