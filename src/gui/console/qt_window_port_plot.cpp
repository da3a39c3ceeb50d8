// The window port's plot surface: the core's plot calls, drawn on the plot
// view at once on the window thread, or queued for the next frame when they
// come from the motion thread (see qt_window_port.cpp).
#include <QColor>
#include <cmath>

#include "gui/console/main_window.h"
#include "gui/console/qt_window_port.h"
#include "gui/plot/path_view.h"

namespace brimo::gui {

// ---- Plot surface --------------------------------------------------------------------

void QtWindowPort::ClearPlot() {
  if (OnMotion()) return Queue({PlotCall::kClear});
  Flush();
  w_->View()->ClearPlot();
}

bool QtWindowPort::SetPlotScale(double left, double top, double right, double bottom) {
  if (OnMotion()) {
    if (!motionPlotSized_.load()) return false;
    PlotCall call{PlotCall::kScale};
    call.v[0] = left, call.v[1] = top, call.v[2] = right, call.v[3] = bottom;
    Queue(call);
    return true;
  }
  Flush();
  return w_->View()->SetPlotScale(left, top, right, bottom);
}

double QtWindowPort::PlotWidthTwips() {
  if (OnMotion()) return motionPlotTwips_.load();
  return w_->View()->WidthTwips();
}

void QtWindowPort::DrawLine(double x1, double y1, double x2, double y2, Rgb colour, bool dashed) {
  if (OnMotion()) {
    PlotCall call{PlotCall::kLine, dashed, colour};
    call.v[0] = x1, call.v[1] = y1, call.v[2] = x2, call.v[3] = y2;
    return Queue(call);
  }
  Flush();
  w_->View()->DrawLine(x1, y1, x2, y2, ViewColour(colour), dashed);
}

void QtWindowPort::DrawArc(double cx, double cy, double r, double a0, double a1, Rgb colour) {
  if (OnMotion()) {
    PlotCall call{PlotCall::kArc, false, colour};
    call.v[0] = cx, call.v[1] = cy, call.v[2] = r, call.v[3] = a0, call.v[4] = a1;
    return Queue(call);
  }
  Flush();
  w_->View()->DrawArc(cx, cy, r, a0, a1, ViewColour(colour));
}

const QColor& QtWindowPort::ViewColour(Rgb colour) {
  if (!(colour == viewRgb_)) {
    viewRgb_ = colour;
    viewColour_ = ToQColor(colour);
  }
  return viewColour_;
}

void QtWindowPort::DrawLabel(double x, double y, const std::string& text) {
  if (OnMotion()) {
    {
      std::lock_guard lock(labelsMutex_);
      labels_.push_back(text);
    }
    PlotCall call{PlotCall::kLabel};
    call.v[0] = x, call.v[1] = y;
    return Queue(call);
  }
  Flush();
  w_->View()->DrawLabel(x, y, QString::fromStdString(text));
}

void QtWindowPort::PlotDot(double x, double y, Rgb colour) {
  if (OnMotion()) {
    PlotCall call{PlotCall::kDot, false, colour};
    call.v[0] = x, call.v[1] = y;
    return Queue(call);
  }
  Flush();
  w_->View()->PlotDot(x, y, ToQColor(colour));
}

void QtWindowPort::SetForeColour(Rgb colour) {
  if (OnMotion()) {
    motionColour_ = colour;
    return Queue({PlotCall::kColour, false, colour});
  }
  Flush();
  w_->View()->SetForeColour(ToQColor(colour));
}

Rgb QtWindowPort::ForeColour() {
  if (OnMotion()) return motionColour_;
  return ToRgb(w_->View()->ForeColour());
}

void QtWindowPort::SetPenWidth(int pixels) {
  if (OnMotion()) {
    motionPen_ = pixels < 1 ? 1 : pixels;  // as the view keeps it
    PlotCall call{PlotCall::kPen};
    call.pen = pixels;
    return Queue(call);
  }
  Flush();
  w_->View()->SetPenWidth(pixels);
}

int QtWindowPort::PenWidth() {
  if (OnMotion()) return motionPen_;
  return w_->View()->PenWidth();
}

}  // namespace brimo::gui
