// Placement of a control at a fixed position inside its container, the way
// the window's panels are designed: position and size in pixels at 96 dpi,
// scaled to the screen. Every control gets its control name as objectName,
// with an index suffix for control arrays ("JogZ_3").
#pragma once

#include <QString>
#include <QWidget>

#include "gui/console/twips.h"

namespace brimo::gui {

inline QString ControlName(const char* name, int index) {
  return QString("%1_%2").arg(QLatin1String(name)).arg(index);
}

template <class W, class... Args>
W* Place(QWidget* parent, const Twips& t, const QString& name, int x, int y, int w, int h,
         Args&&... args) {
  auto* widget = new W(std::forward<Args>(args)..., parent);
  widget->setObjectName(name);
  widget->setGeometry(t.D(x), t.D(y), t.D(w), t.D(h));
  return widget;
}

}  // namespace brimo::gui
