#include "app/pulse_feed.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

#include "device/pulse_feed_protocol.h"

namespace klimavo::app {
namespace {

constexpr int kProbeTimeoutMs = 200;
/// Answers a client has not read yet; beyond them no more are written, so a
/// client that never reads cannot make the workbench hold its answers.
constexpr qint64 kMaxUnreadAnswerBytes = 64 * 1024;

}  // namespace

PulseFeed::PulseFeed(device::CaptureRouter& router, QObject* parent)
    : QObject(parent),
      router_(router),
      server_(new QLocalServer(this)),
      budget_(std::make_unique<device::PulseFeedBudget>()) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &PulseFeed::Accept);
}

PulseFeed::~PulseFeed() {
  // The connections' readers give their bytes back to the budget: close them first.
  for (QLocalSocket* socket : findChildren<QLocalSocket*>()) delete socket;
}

bool PulseFeed::Listening() const { return server_->isListening(); }

bool PulseFeed::Listen(const std::filesystem::path& home) {
  const std::filesystem::path path = device::PulseFeedSocketPath(home);
  name_ = QString::fromStdString(path.string());
  // The socket lies in a private folder of the user, and a name someone else
  // owns is never taken over: they would receive the captures otherwise.
  error_ = QString::fromStdString(device::PreparePulseFeedFolder(path.parent_path(), true));
  if (error_.isEmpty()) error_ = QString::fromStdString(device::ForeignSocketProblem(path));
  if (!error_.isEmpty()) return false;
  // A socket that answers belongs to another workbench of this home: it keeps
  // the feed. One that does not was left by a workbench that ended without
  // closing it, and is replaced.
  QLocalSocket probe;
  probe.connectToServer(name_);
  if (probe.waitForConnected(kProbeTimeoutMs)) {
    error_ = "another workbench of this home already listens on " + name_;
    return false;
  }
  QLocalServer::removeServer(name_);
  if (server_->listen(name_)) return true;
  error_ = server_->errorString();
  return false;
}

void PulseFeed::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (connections_ >= device::kMaxFeedConnections) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    ++connections_;
    connect(socket, &QObject::destroyed, this, [this] { --connections_; });
    auto reader = std::make_shared<device::PulseFeedReader>(
        [this, socket](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
          const int taken = Deliver(durations, carrier);
          if (socket->bytesToWrite() > kMaxUnreadAnswerBytes) return;
          socket->write(QByteArray(device::kTakenWord.data(), device::kTakenWord.size()) + " " +
                        QByteArray::number(taken) + "\n");
          socket->flush();
        },
        budget_.get());
    connect(socket, &QLocalSocket::readyRead, socket, [socket, reader] {
      const QByteArray bytes = socket->readAll();
      reader->Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  }
}

int PulseFeed::Deliver(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  // Both wizards get the train when both are open.
  int taken = 0;
  if (router_.Deliver(device::CaptureConsumer::FunctionWizard, durations, carrier)) ++taken;
  if (router_.Deliver(device::CaptureConsumer::ChecksumWizard, durations, carrier)) ++taken;
  return taken;
}

}  // namespace klimavo::app
