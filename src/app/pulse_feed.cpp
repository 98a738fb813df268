#include "app/pulse_feed.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

#include "device/pulse_feed_protocol.h"

namespace klimavo::app {
namespace {

constexpr int kProbeTimeoutMs = 200;

}  // namespace

PulseFeed::PulseFeed(device::CaptureRouter& router, QObject* parent)
    : QObject(parent), router_(router), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &PulseFeed::Accept);
}

bool PulseFeed::Listening() const { return server_->isListening(); }

bool PulseFeed::Listen(const std::filesystem::path& home) {
  name_ = QString::fromStdString(device::PulseFeedName(home));
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
    auto reader = std::make_shared<device::PulseFeedReader>(
        [this](const ir::TIRIntegerArr& durations, std::int32_t carrier) { Deliver(durations, carrier); });
    connect(socket, &QLocalSocket::readyRead, socket, [socket, reader] {
      const QByteArray bytes = socket->readAll();
      reader->Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  }
}

void PulseFeed::Deliver(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  // Both wizards get the train when both are open.
  router_.Deliver(device::CaptureConsumer::FunctionWizard, durations, carrier);
  router_.Deliver(device::CaptureConsumer::ChecksumWizard, durations, carrier);
}

}  // namespace klimavo::app
