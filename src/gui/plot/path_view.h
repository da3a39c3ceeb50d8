// PathView: the plot window. A white drawing surface in program coordinates
// with a user scale (left, top) .. (right, bottom), kept in a persistent
// backing image so covering and uncovering the window keeps the drawing.
// paintEvent only copies the image to the screen.
//
// Units: positions in program units (the machine's length unit); angles in
// radians counter-clockwise from +X with +Y up; pen width in pixels.
//
//        top  +-----------------+        program Y grows upward,
//             |        ^ +Y     |        screen pixel rows grow downward:
//             |        |        |        the mapping flips Y, so an arc that
//             |        +--> +X  |        runs counter-clockwise in program
//             |                 |        units also runs counter-clockwise
//     bottom  +-----------------+        on the screen.
//           left              right
//
// The core draws through brimo::Window (QtWindowPort forwards here). Any key
// with a character code of 1 or more is reported through keyPressed: it
// requests a stop of the running motion.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QWidget>
#include <memory>

namespace brimo::gui {

class PathView : public QWidget {
  Q_OBJECT

 public:
  explicit PathView(QWidget* parent = nullptr);
  ~PathView() override;

  // Fills the backing image with white (the image follows the widget size).
  void ClearPlot();
  // Upper-left corner (left, top), lower-right (right, bottom) in program
  // units. False, and the previous scale kept, when the view has no size or
  // a value is not finite.
  bool SetPlotScale(double left, double top, double right, double bottom);
  // Outer width of the window in twips (1/1440 inch).
  double WidthTwips() const;

  void DrawLine(double x1, double y1, double x2, double y2, QColor colour, bool dashed);
  // Arc of the circle (cx, cy, r) running counter-clockwise from a0 to a1.
  // Equal angles draw the whole circle (a full-circle move).
  void DrawArc(double cx, double cy, double r, double a0, double a1, QColor colour);
  // Text in the foreground colour whose top-left corner stands at (x, y).
  void DrawLabel(double x, double y, const QString& text);
  // One dot as large as the pen width, centred on (x, y).
  void PlotDot(double x, double y, QColor colour);

  void SetForeColour(QColor c) { foreColour_ = c; }
  QColor ForeColour() const { return foreColour_; }
  void SetPenWidth(int pixels) { penWidth_ = pixels < 1 ? 1 : pixels; }
  int PenWidth() const { return penWidth_; }

  // Pixel position (in widget pixels) of the program point (x, y).
  QPointF MapToPixel(double x, double y) const;
  // The backing image as drawn so far.
  const QImage& Image();

 signals:
  // A key with character code `code` (>= 1) was pressed.
  void keyPressed(int code);
  // A jog key went down or up (not auto-repeat): arrows for X and Y, Page Up
  // and Page Down for Z, as the jog button index 1..6.
  void jogKeyPressed(int jogIndex);
  void jogKeyReleased(int jogIndex);
  // The window's size changed (the live-plot interval depends on it).
  void resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  QPainter& Painter();
  void EndPainting();
  void EnsureImage();
  void MarkDirty();
  void SetPen(QColor colour, Qt::PenStyle style);
  // Line from a to b in pixels, clipped to the image so far-away points
  // never reach the rasteriser. A 1-pixel pen is drawn straight into the
  // image; wider pens through the painter.
  void DrawPixelLine(QPointF a, QPointF b, QColor colour, bool dashed);

  QImage image_;
  std::unique_ptr<QPainter> painter_;
  bool updatePending_ = false;
  // User scale: pixel = (value - origin) * factor.
  double left_ = 0, top_ = 0, right_ = 1, bottom_ = 1;
  QColor foreColour_ = Qt::black;
  int penWidth_ = 1;
  // The pen last given to the painter.
  bool penSet_ = false;
  QColor penColour_;
  Qt::PenStyle penStyle_ = Qt::SolidLine;
  int penWidthSet_ = 0;
};

}  // namespace brimo::gui
