#include "app/AfterFirstPaint.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

namespace vespin::ui {
namespace {

class FirstPaintWatch final : public QObject {
 public:
  FirstPaintWatch(QWidget& widget, std::function<void()> work, int latestMsecs)
      : QObject(&widget), work_(std::move(work)) {
    widget.installEventFilter(this);
    QTimer::singleShot(latestMsecs, this, [this] { Run(); });
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // Queued: the paint reaches the screen when the whole window has been drawn.
    if (event->type() == QEvent::Paint) QTimer::singleShot(0, this, [this] { Run(); });
    return QObject::eventFilter(watched, event);
  }

 private:
  void Run() {
    if (!work_) return;
    parent()->removeEventFilter(this);
    const std::function<void()> work = std::move(work_);
    work_ = nullptr;
    deleteLater();
    work();
  }

  std::function<void()> work_;
};

}  // namespace

void AfterFirstPaint(QWidget& widget, std::function<void()> work, int latestMsecs) {
  new FirstPaintWatch(widget, std::move(work), latestMsecs);
}

}  // namespace vespin::ui
