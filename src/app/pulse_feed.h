#pragma once
// The pulse feed of the running workbench: a local socket on which another
// program hands over pulse trains, duration by duration (the lines are read by
// device::PulseFeedReader, docs/feed.md). Each complete train goes to the
// function analysis wizard and to the checksum analysis wizard, to each whose
// capture slot is occupied. Nothing is sent back.

#include <QObject>
#include <QString>
#include <filesystem>

#include "device/capture_router.h"

class QLocalServer;
class QLocalSocket;

namespace klimavo::app {

class PulseFeed : public QObject {
  Q_OBJECT

 public:
  explicit PulseFeed(device::CaptureRouter& router, QObject* parent = nullptr);

  /// Listens on the feed of `home` (only the user may connect). A socket left
  /// by a workbench that ended without closing it is replaced; one that a
  /// running workbench of the same home answers on is left to it, and then
  /// this returns false.
  bool Listen(const std::filesystem::path& home);
  bool Listening() const;
  /// The name the feed listens under (`klimavo-feed-<uid>-<hash>`).
  QString Name() const { return name_; }
  /// Why Listen failed.
  QString ErrorText() const { return error_; }

 private:
  void Accept();
  void Deliver(const ir::TIRIntegerArr& durations, std::int32_t carrier);

  device::CaptureRouter& router_;
  QLocalServer* server_ = nullptr;
  QString name_;
  QString error_;
};

}  // namespace klimavo::app
