#include "gui/plot/path_view.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "core/plot/plot_geometry.h"

namespace brimo::gui {

namespace {

// Pixels beyond the image edge that a clipped line may still reach, so the
// pen's own width is drawn right up to the border.
constexpr double kClipMargin = 16;

bool Finite(double v) { return std::isfinite(v); }

// Liang-Barsky: cuts the segment a-b to the rectangle; false when nothing
// of it lies inside.
bool ClipSegment(QPointF& a, QPointF& b, double xmin, double ymin, double xmax, double ymax) {
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - xmin, xmax - a.x(), a.y() - ymin, ymax - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;  // parallel to this edge and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const QPointF from(a.x() + t0 * dx, a.y() + t0 * dy);
  const QPointF to(a.x() + t1 * dx, a.y() + t1 * dy);
  // A difference of two huge values can overflow: then nothing is drawn.
  if (!Finite(from.x()) || !Finite(from.y()) || !Finite(to.x()) || !Finite(to.y())) return false;
  a = from, b = to;
  return true;
}

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
  penSet_ = false;
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
  // Setting a pen costs more than drawing a short line: keep the one set.
  if (painter_ && penSet_ && colour == penColour_ && style == penStyle_ &&
      penWidth_ == penWidthSet_)
    return;
  QPen pen(colour);
  pen.setWidth(penWidth_);
  pen.setStyle(style);
  pen.setCapStyle(Qt::SquareCap);
  Painter().setPen(pen);
  penSet_ = true;
  penColour_ = colour, penStyle_ = style, penWidthSet_ = penWidth_;
}

void PathView::DrawPixelLine(QPointF a, QPointF b, QColor colour, bool dashed) {
  if (penWidth_ > 1) {
    // Wide pens (the run and the preview) through the painter, clipped with
    // a margin so the pen's width reaches the border.
    if (!ClipSegment(a, b, -kClipMargin, -kClipMargin, image_.width() + kClipMargin,
                     image_.height() + kClipMargin))
      return;
    SetPen(colour, dashed ? Qt::DashLine : Qt::SolidLine);
    Painter().drawLine(a, b);
    return;
  }
  // One pixel wide: straight into the image (a million-line program draws
  // some hundred million pixels). Pixel (i, j) covers [i, i+1) x [j, j+1).
  const QPointF start = a;
  const double w = image_.width(), h = image_.height();
  const bool inside = a.x() >= 0 && a.x() < w && a.y() >= 0 && a.y() < h && b.x() >= 0 &&
                      b.x() < w && b.y() >= 0 && b.y() < h;
  if (!inside && !ClipSegment(a, b, 0, 0, std::nextafter(w, 0.0), std::nextafter(h, 0.0))) return;
  // Clipping far-away points can round a hair outside the image: every
  // pixel of the line lies within the box of its two end pixels, so keeping
  // those inside keeps every write inside.
  const int wMax = image_.width() - 1, hMax = image_.height() - 1;
  int x0 = std::clamp(static_cast<int>(std::floor(a.x())), 0, wMax);
  int y0 = std::clamp(static_cast<int>(std::floor(a.y())), 0, hMax);
  const int x1 = std::clamp(static_cast<int>(std::floor(b.x())), 0, wMax);
  const int y1 = std::clamp(static_cast<int>(std::floor(b.y())), 0, hMax);
  // Dashes as the painter draws them for a 1-pixel pen: 4 pixels on, 2 off,
  // counted from the segment's own start even where it was clipped away.
  int dash = 0;
  if (dashed) {
    const double skipped = std::max(std::abs(std::floor(a.x()) - std::floor(start.x())),
                                    std::abs(std::floor(a.y()) - std::floor(start.y())));
    dash = static_cast<int>(std::fmod(skipped, 6.0));
  }
  const uint32_t rgb = colour.rgb();
  uint32_t* bits = reinterpret_cast<uint32_t*>(image_.bits());
  const qsizetype stride = image_.bytesPerLine() / 4;
  // One pixel per step along the longer axis (as Bresenham sets them), the
  // other coordinate carried in 32.32 fixed point from the pixel's centre:
  // no branch per pixel but the dash. Both end pixels are hit exactly (the
  // truncated step loses less than 2^-32 pixel per step).
  //
  //   x-major: x = x0 .. x1, y = y0 + 1/2 + i * dy / n   (n = |dx|)
  //   y-major: y = y0 .. y1, x = x0 + 1/2 + i * dx / n   (n = |dy|)
  const int dx = x1 - x0, dy = y1 - y0;
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  const int n = xMajor ? std::abs(dx) : std::abs(dy);
  const int64_t half = int64_t{1} << 31;
  const int64_t minorStep = n == 0 ? 0 : (int64_t{xMajor ? dy : dx} << 32) / n;
  int64_t minor = (int64_t{xMajor ? y0 : x0} << 32) + half;
  if (xMajor) {
    const int sx = dx >= 0 ? 1 : -1;
    for (int i = 0, x = x0; i <= n; ++i, x += sx, minor += minorStep) {
      if (dashed) {
        const bool on = dash < 4;
        if (++dash == 6) dash = 0;
        if (!on) continue;
      }
      bits[static_cast<qsizetype>(minor >> 32) * stride + x] = rgb;
    }
  } else {
    const qsizetype sy = dy >= 0 ? stride : -stride;
    qsizetype row = static_cast<qsizetype>(y0) * stride;
    for (int i = 0; i <= n; ++i, row += sy, minor += minorStep) {
      if (dashed) {
        const bool on = dash < 4;
        if (++dash == 6) dash = 0;
        if (!on) continue;
      }
      bits[row + static_cast<qsizetype>(minor >> 32)] = rgb;
    }
  }
}

void PathView::DrawLine(double x1, double y1, double x2, double y2, QColor colour, bool dashed) {
  if (!Finite(x1) || !Finite(y1) || !Finite(x2) || !Finite(y2)) return;
  const QPointF a = MapToPixel(x1, y1), b = MapToPixel(x2, y2);
  if (!Finite(a.x()) || !Finite(a.y()) || !Finite(b.x()) || !Finite(b.y())) return;
  EnsureImage();
  DrawPixelLine(a, b, colour, dashed);
  MarkDirty();
}

void PathView::DrawArc(double cx, double cy, double r, double a0, double a1, QColor colour) {
  if (!Finite(cx) || !Finite(cy) || !Finite(r) || !Finite(a0) || !Finite(a1) || r <= 0) return;
  constexpr double kTwoPi = 2 * std::numbers::pi;
  double sweep = std::fmod(a1 - a0, kTwoPi);
  if (sweep <= 0) sweep += kTwoPi;  // equal angles: the whole circle

  // The arc is walked in program units, counter-clockwise from a0, and each
  // point mapped to pixels. The user scale flips Y (screen rows grow
  // downward), so counter-clockwise in program units is counter-clockwise
  // on the screen too.
  const double sx = std::max(width(), 1) / (right_ - left_);
  const double sy = std::max(height(), 1) / (bottom_ - top_);
  const double rPx = r * std::max(std::abs(sx), std::abs(sy));
  if (!Finite(rPx)) return;
  EnsureImage();
  // A circle whose box lies wholly outside the image draws nothing.
  {
    const QPointF c = MapToPixel(cx, cy);
    const double margin = rPx + 2;
    if (c.x() + margin < 0 || c.y() + margin < 0 || c.x() - margin > image_.width() ||
        c.y() - margin > image_.height())
      return;
  }

  // Chords within a quarter pixel of the circle.
  const int n = ArcChordCount(rPx, sweep);
  const double step = sweep / n;
  const double cs = std::cos(step), sn = std::sin(step);
  double ux = std::cos(a0), uy = std::sin(a0);  // unit vector, turned by `step`
  QPointF prev = MapToPixel(cx + r * ux, cy + r * uy);
  for (int i = 1; i <= n; ++i) {
    const double nx = ux * cs - uy * sn;
    uy = ux * sn + uy * cs, ux = nx;
    const QPointF next =
        i == n ? MapToPixel(cx + r * std::cos(a0 + sweep), cy + r * std::sin(a0 + sweep))
               : MapToPixel(cx + r * ux, cy + r * uy);
    DrawPixelLine(prev, next, colour, false);
    prev = next;
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
  penSet_ = false;
  painter.drawText(QPointF(p.x(), p.y() + painter.fontMetrics().ascent()), text);
  MarkDirty();
}

void PathView::PlotDot(double x, double y, QColor colour) {
  if (!Finite(x) || !Finite(y)) return;
  const QPointF p = MapToPixel(x, y);
  if (!(std::abs(p.x()) < 1e9 && std::abs(p.y()) < 1e9)) return;
  EnsureImage();
  // A square of the pen's width centred on the pixel of (x, y).
  const int left = static_cast<int>(std::floor(p.x())) - (penWidth_ - 1) / 2;
  const int top = static_cast<int>(std::floor(p.y())) - (penWidth_ - 1) / 2;
  const QRect dot = QRect(left, top, penWidth_, penWidth_).intersected(image_.rect());
  if (dot.isEmpty()) return;
  const uint32_t rgb = colour.rgb();
  uint32_t* bits = reinterpret_cast<uint32_t*>(image_.bits());
  const qsizetype stride = image_.bytesPerLine() / 4;
  for (int j = dot.top(); j <= dot.bottom(); ++j)
    for (int i = dot.left(); i <= dot.right(); ++i) bits[j * stride + i] = rgb;
  // Only the dot's pixels: the live plot adds dozens of dots a frame, and a
  // repaint of the whole view per frame would cost the window its time.
  if (!updatePending_) update(dot);
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

namespace {
// Jog button index of a jog key, 0 for other keys.
int JogIndexOf(int key) {
  switch (key) {
    case Qt::Key_Right:
      return 4;  // X +
    case Qt::Key_Left:
      return 2;  // X -
    case Qt::Key_Up:
      return 3;  // Y +
    case Qt::Key_Down:
      return 5;  // Y -
    case Qt::Key_PageUp:
      return 6;  // Z +
    case Qt::Key_PageDown:
      return 1;  // Z -
    default:
      return 0;
  }
}
}  // namespace

void PathView::keyReleaseEvent(QKeyEvent* event) {
  if (const int jog = JogIndexOf(event->key())) {
    if (!event->isAutoRepeat()) emit jogKeyReleased(jog);
    event->accept();
    return;
  }
  QWidget::keyReleaseEvent(event);
}

void PathView::keyPressEvent(QKeyEvent* event) {
  if (const int jog = JogIndexOf(event->key())) {
    // Held keys repeat: only the first press starts the jog.
    if (!event->isAutoRepeat()) emit jogKeyPressed(jog);
    event->accept();
    return;
  }
  const QString text = event->text();
  if (!text.isEmpty() && text.at(0).unicode() >= 1) {
    emit keyPressed(text.at(0).unicode());
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace brimo::gui
