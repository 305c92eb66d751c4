// Whether the LEFT Shift key is held down right now (the right one does not count).
#pragma once

#include <QObject>

// Asks the system where it can (Windows, X11); elsewhere answers from the left-Shift
// key events the application has seen, which needs InstallLeftShiftWatcher.
bool IsLeftShiftDown();

// Watches the application's key events for the left Shift key. Installed once at start.
void InstallLeftShiftWatcher();

class LeftShiftWatcher : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  bool down() const { return down_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool down_ = false;
};
