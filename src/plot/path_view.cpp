#include "plot/path_view.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace brimo::gui {

namespace {

// Pixels beyond the image edge that a clipped line may still reach, so the
// pen's own width is drawn right up to the border.
constexpr double kClipMargin = 16;
// Above this radius in pixels an arc is drawn as a chain of short lines:
// the rasteriser's ellipse code loses precision on huge rectangles.
constexpr double kPolylineArcRadius = 20000;

bool Finite(double v) { return std::isfinite(v); }

}  // namespace

PathView::PathView(QWidget* parent) : QWidget(parent) {
  setObjectName("PathView");
  setWindowTitle("Brimo CNC");
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  EnsureImage();
}

PathView::~PathView() { EndPainting(); }

void PathView::EnsureImage() {
  const QSize want = size().expandedTo(QSize(1, 1));
  if (image_.size() == want) return;
  EndPainting();
  image_ = QImage(want, QImage::Format_RGB32);
  image_.fill(Qt::white);
}

QPainter& PathView::Painter() {
  EnsureImage();
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    QFont f = font();
    f.setPointSize(7);
    painter_->setFont(f);
  }
  return *painter_;
}

void PathView::EndPainting() {
  if (painter_) {
    painter_->end();
    painter_.reset();
  }
}

void PathView::MarkDirty() {
  // One repaint request per batch of drawing: a million-line program would
  // otherwise post a million update requests.
  if (!updatePending_) {
    updatePending_ = true;
    update();
  }
}

const QImage& PathView::Image() {
  EnsureImage();
  EndPainting();
  return image_;
}

void PathView::ClearPlot() {
  EnsureImage();
  EndPainting();
  image_.fill(Qt::white);
  MarkDirty();
}

bool PathView::SetPlotScale(double left, double top, double right, double bottom) {
  if (!Finite(left) || !Finite(top) || !Finite(right) || !Finite(bottom)) return false;
  if (right == left || top == bottom) return false;
  if (!Finite(1.0 / (right - left)) || !Finite(1.0 / (bottom - top))) return false;
  left_ = left, top_ = top, right_ = right, bottom_ = bottom;
  return true;
}

double PathView::WidthTwips() const {
  const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
  return width() * 1440.0 / dpi;
}

QPointF PathView::MapToPixel(double x, double y) const {
  const double w = std::max(width(), 1), h = std::max(height(), 1);
  return {(x - left_) * w / (right_ - left_), (y - top_) * h / (bottom_ - top_)};
}

void PathView::SetPen(QColor colour, Qt::PenStyle style) {
  QPen pen(colour);
  pen.setWidth(penWidth_);
  pen.setStyle(style);
  pen.setCapStyle(Qt::SquareCap);
  Painter().setPen(pen);
}

void PathView::DrawPixelLine(QPointF a, QPointF b) {
  // Liang-Barsky clipping against the image rectangle plus a margin.
  const double xmin = -kClipMargin, ymin = -kClipMargin;
  const double xmax = image_.width() + kClipMargin, ymax = image_.height() + kClipMargin;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - xmin, xmax - a.x(), a.y() - ymin, ymax - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return;  // parallel to this edge and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return;
  }
  const QPointF from(a.x() + t0 * dx, a.y() + t0 * dy);
  const QPointF to(a.x() + t1 * dx, a.y() + t1 * dy);
  Painter().drawLine(from, to);
}

void PathView::DrawLine(double x1, double y1, double x2, double y2, QColor colour, bool dashed) {
  if (!Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2)) return;
  const QPointF a = MapToPixel(x1, y1), b = MapToPixel(x2, y2);
  if (!Finite(a.x()) || !Finite(a.y()) || !Finite(b.x()) || !Finite(b.y())) return;
  SetPen(colour, dashed ? Qt::DashLine : Qt::SolidLine);
  DrawPixelLine(a, b);
  MarkDirty();
}

void PathView::DrawArc(double cx, double cy, double r, double a0, double a1, QColor colour) {
  if (!Finite(cx) || !Finite(cy) || !Finite(r) || !Finite(a0) || !Finite(a1) || r <= 0) return;
  constexpr double kTwoPi = 2 * std::numbers::pi;
  double sweep = std::fmod(a1 - a0, kTwoPi);
  if (sweep <= 0) sweep += kTwoPi;  // equal angles: the whole circle

  const QPointF centre = MapToPixel(cx, cy);
  const double rx = std::abs(r * std::max(width(), 1) / (right_ - left_));
  const double ry = std::abs(r * std::max(height(), 1) / (bottom_ - top_));
  if (!Finite(centre.x()) || !Finite(centre.y()) || !Finite(rx) || !Finite(ry)) return;
  SetPen(colour, Qt::SolidLine);

  if (std::max(rx, ry) <= kPolylineArcRadius) {
    // Qt's angles: 1/16 degree, 0 at three o'clock, positive counter-clockwise
    // as seen on the screen. The Y flip of the user scale keeps program
    // counter-clockwise as screen counter-clockwise, so no sign change.
    const QRectF box(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry);
    const int start16 = static_cast<int>(std::lround(a0 * 180.0 / std::numbers::pi * 16));
    const int span16 = static_cast<int>(std::lround(sweep * 180.0 / std::numbers::pi * 16));
    Painter().drawArc(box, start16, span16);
  } else {
    // Chain of chords no longer than about 4 pixels, at most 4096.
    const int n = static_cast<int>(std::clamp(sweep * std::max(rx, ry) / 4.0, 8.0, 4096.0));
    QPointF prev = MapToPixel(cx + r * std::cos(a0), cy + r * std::sin(a0));
    for (int i = 1; i <= n; ++i) {
      const double a = a0 + sweep * i / n;
      const QPointF next = MapToPixel(cx + r * std::cos(a), cy + r * std::sin(a));
      DrawPixelLine(prev, next);
      prev = next;
    }
  }
  MarkDirty();
}

void PathView::DrawLabel(double x, double y, const QString& text) {
  if (!Finite(x) || !Finite(y)) return;
  const QPointF p = MapToPixel(x, y);
  if (!Finite(p.x()) || !Finite(p.y())) return;
  if (p.x() < -1e6 || p.x() > 1e6 || p.y() < -1e6 || p.y() > 1e6) return;
  QPainter& painter = Painter();
  painter.setPen(foreColour_);
  painter.drawText(QPointF(p.x(), p.y() + painter.fontMetrics().ascent()), text);
  MarkDirty();
}

void PathView::PlotDot(double x, double y, QColor colour) {
  if (!Finite(x) || !Finite(y)) return;
  const QPointF p = MapToPixel(x, y);
  if (!Finite(p.x()) || !Finite(p.y())) return;
  if (p.x() < -kClipMargin || p.y() < -kClipMargin || p.x() > image_.width() + kClipMargin ||
      p.y() > image_.height() + kClipMargin)
    return;
  QPainter& painter = Painter();
  const double half = penWidth_ / 2.0;
  painter.fillRect(QRectF(p.x() - half, p.y() - half, penWidth_, penWidth_), colour);
  MarkDirty();
}

void PathView::paintEvent(QPaintEvent* event) {
  updatePending_ = false;
  EnsureImage();
  EndPainting();
  QPainter screen(this);
  screen.drawImage(event->rect(), image_, event->rect());
}

void PathView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  EnsureImage();
  emit resized();
}

void PathView::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (!text.isEmpty() && text.at(0).unicode() >= 1) {
    emit keyPressed(text.at(0).unicode());
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace brimo::gui
