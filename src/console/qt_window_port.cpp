#include "console/qt_window_port.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <charconv>
#include <cmath>

#include "console/control_panel.h"
#include "console/main_window.h"
#include "console/position_strip.h"
#include "plot/path_view.h"

namespace brimo::gui {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

Rgb ToRgb(QColor c) {
  return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
             static_cast<uint8_t>(c.blue())};
}

}  // namespace

void QtWindowPort::Attach(MDIForm1* window) { w_ = window; }

void QtWindowPort::PumpEvents() { QCoreApplication::processEvents(); }

// ---- Plot surface --------------------------------------------------------------------

void QtWindowPort::ClearPlot() { w_->View()->ClearPlot(); }

bool QtWindowPort::SetPlotScale(double left, double top, double right, double bottom) {
  return w_->View()->SetPlotScale(left, top, right, bottom);
}

double QtWindowPort::PlotWidthTwips() { return w_->View()->WidthTwips(); }

void QtWindowPort::DrawLine(double x1, double y1, double x2, double y2, Rgb colour, bool dashed) {
  w_->View()->DrawLine(x1, y1, x2, y2, ToQColor(colour), dashed);
}

void QtWindowPort::DrawArc(double cx, double cy, double r, double a0, double a1, Rgb colour) {
  w_->View()->DrawArc(cx, cy, r, a0, a1, ToQColor(colour));
}

void QtWindowPort::DrawLabel(double x, double y, const std::string& text) {
  w_->View()->DrawLabel(x, y, QString::fromStdString(text));
}

void QtWindowPort::PlotDot(double x, double y, Rgb colour) {
  w_->View()->PlotDot(x, y, ToQColor(colour));
}

void QtWindowPort::SetForeColour(Rgb colour) { w_->View()->SetForeColour(ToQColor(colour)); }

Rgb QtWindowPort::ForeColour() { return ToRgb(w_->View()->ForeColour()); }

void QtWindowPort::SetPenWidth(int pixels) { w_->View()->SetPenWidth(pixels); }

int QtWindowPort::PenWidth() { return w_->View()->PenWidth(); }

// ---- Displays ------------------------------------------------------------------------------

void QtWindowPort::ShowPositionTexts(const std::string prg[3], const std::string mach[3]) {
  w_->Strip()->SetPositionTexts(prg, mach);
}

void QtWindowPort::ShowFeed(const std::string& text) {
  if (holds_ > 0) {
    heldFeed_ = text, feedHeld_ = true;
    return;
  }
  w_->Panel()->Run()->Text2()->setText(QString::fromStdString(text));
}

void QtWindowPort::ShowProgramFeed(const std::string& text) {
  if (holds_ > 0) {
    heldProgramFeed_ = text, programFeedHeld_ = true;
    return;
  }
  w_->Panel()->Run()->Text3()->setText(QString::fromStdString(text));
}

void QtWindowPort::ShowHeldDisplays() {
  // The programmed feed first: its change rewrites the feed display with
  // the quick estimate, which the feed in force then replaces.
  if (programFeedHeld_) ShowProgramFeed(heldProgramFeed_);
  if (feedHeld_) ShowFeed(heldFeed_);
  feedHeld_ = programFeedHeld_ = false;
}

void QtWindowPort::ShowLineInProgress(const std::string& text) {
  QLineEdit* box = w_->Panel()->Text4();
  box->setText(QString::fromStdString(text));
  box->repaint();
}

void QtWindowPort::ShowPreviewLine(const std::string& text) {
  w_->Panel()->Line()->Text1()->setText(QString::fromStdString(text));
}

void QtWindowPort::SetExecuteEnabled(bool enabled) {
  w_->Panel()->Run()->Command7()->setEnabled(enabled);
}

void QtWindowPort::FocusPlot() { w_->View()->setFocus(); }

void QtWindowPort::Beep() { QApplication::beep(); }

void QtWindowPort::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

void QtWindowPort::ShowRunPanel() { w_->Panel()->Command4_Click(3); }

void QtWindowPort::ShowOffline(bool offline) { w_->Panel()->Run()->Check2()->setChecked(offline); }

void QtWindowPort::ShowStatus(const std::string& text) {
  w_->ShowStatus(QString::fromStdString(text));
}

// ---- Messages --------------------------------------------------------------------------------

void QtWindowPort::Message(const std::string& text, const std::string& title) {
  if (messageSink_) {
    messageSink_(text, title);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok, w_);
  box.exec();
}

bool QtWindowPort::AskYesNo(const std::string& text, const std::string& title) {
  if (answerSink_) return answerSink_(text);
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, w_);
  return box.exec() == QMessageBox::Yes;
}

// ---- Control reads ---------------------------------------------------------------------------

double QtWindowPort::OverridePercent() { return w_->Panel()->Run()->OverridePercent(); }

double QtWindowPort::ScaleFactor(int index) {
  return index >= 0 && index < 4 ? scale_.Factor(index) : 1.0;
}

bool QtWindowPort::DisplayUpdatesOff() { return w_->Panel()->Run()->Check1()->isChecked(); }

}  // namespace brimo::gui
