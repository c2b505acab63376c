#include "X11Display.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

namespace vespin::ui {

_XDisplay* X11Display() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->display() : nullptr;
}

}  // namespace vespin::ui
