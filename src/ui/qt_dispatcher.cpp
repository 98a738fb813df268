#include "ui/qt_dispatcher.h"

namespace klimavo::ui {

QtDispatcher::QtDispatcher(QObject* parent) : QObject(parent) {
  // Each queued hand-over asks the Qt event loop to run the pending ones; a
  // request that comes after this object is gone is dropped by Qt.
  loop_.SetTaskQueuedHook([this] {
    QMetaObject::invokeMethod(
        this, [this] { loop_.ProcessPending(); }, Qt::QueuedConnection);
  });
}

}  // namespace klimavo::ui
