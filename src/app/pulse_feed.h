#pragma once
// The pulse feed of the running workbench: a local socket on which another
// program hands over pulse trains, duration by duration (the lines are read by
// device::PulseFeedReader, docs/feed.md). Each complete train goes to the
// function analysis wizard and to the checksum analysis wizard, to each whose
// capture slot is occupied, and the client is told how many took it ("TAKEN
// <n>"). The socket lies in a private folder of the user; the connections are
// capped in number and in the bytes they hold together.

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

#include "device/capture_router.h"

class QLocalServer;
class QLocalSocket;

namespace klimavo::device {
class PulseFeedBudget;
}

namespace klimavo::app {

class PulseFeed : public QObject {
  Q_OBJECT

 public:
  explicit PulseFeed(device::CaptureRouter& router, QObject* parent = nullptr);
  ~PulseFeed() override;

  /// Listens on the feed of `home` (only the user may connect), in the user's
  /// private folder of feeds (created when missing). A socket left by a
  /// workbench that ended without closing it is replaced; one that a running
  /// workbench of the same home answers on is left to it, and a folder or
  /// socket that another user owns or may change is refused: then this
  /// returns false and ErrorText says why.
  bool Listen(const std::filesystem::path& home);
  bool Listening() const;
  /// The socket the feed listens on (its folder / `klimavo-feed-<uid>-<hash>`).
  QString Name() const { return name_; }
  /// Why Listen failed.
  QString ErrorText() const { return error_; }

 private:
  void Accept();
  /// Hands the train to the open wizards; returns how many took it.
  int Deliver(const ir::TIRIntegerArr& durations, std::int32_t carrier);

  device::CaptureRouter& router_;
  QLocalServer* server_ = nullptr;
  std::unique_ptr<device::PulseFeedBudget> budget_;
  int connections_ = 0;
  QString name_;
  QString error_;
};

}  // namespace klimavo::app
