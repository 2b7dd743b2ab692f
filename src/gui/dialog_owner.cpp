#include "gui/dialog_owner.h"

#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace tvi::gui {

namespace {
QPointer<QWindow>& hostWindow() {
  static QPointer<QWindow> host;
  return host;
}
}  // namespace

void setHostWindow(QWindow* host) { hostWindow() = host; }

QWidget* dialogParent(QWidget* owner) {
  if (owner == nullptr) return nullptr;
  const QWindow* window = owner->window()->windowHandle();
  return window != nullptr && window->parent() != nullptr ? nullptr : owner;
}

void keepAboveHost(QWidget* dialog) {
  QWindow* host = hostWindow();
  if (host == nullptr || dialog->parentWidget() != nullptr) return;
  dialog->winId();
  dialog->windowHandle()->setTransientParent(host);
}

}  // namespace tvi::gui
