#include "console/run_time_estimator.h"

#include <QMetaObject>
#include <array>
#include <cmath>

#include "app/simulate.h"

namespace brimo::gui {

void RunTimeEstimator::Start(const ProgramStore& program, const MachineState& settings,
                             double overridePercent, const double scale[4]) {
  Cancel();
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  cancel_ = cancel;
  // Copies: the operator may run, edit or reload while the estimate runs.
  auto store = std::make_shared<ProgramStore>(program);
  auto ms = std::make_shared<MachineState>(settings);
  ms->PreviewRegs.reset();
  const std::array<double, 4> factors{scale[0], scale[1], scale[2], scale[3]};
  worker_ = std::thread([this, cancel, store, ms, overridePercent, factors] {
    const double seconds =
        EstimateRunSeconds(*store, *ms, overridePercent, factors.data(), cancel.get());
    if (cancel->load() || !std::isfinite(seconds)) return;
    // Delivered on the window thread; Cancel() joins this thread before the
    // estimator goes away, so `this` is alive here.
    QMetaObject::invokeMethod(
        this,
        [this, cancel, seconds] {
          if (!cancel->load()) emit Estimated(seconds);
        },
        Qt::QueuedConnection);
  });
}

void RunTimeEstimator::Cancel() {
  if (cancel_) cancel_->store(true);
  if (worker_.joinable()) worker_.join();
}

QString RunTimeText(double seconds) {
  const long long s = static_cast<long long>(std::ceil(seconds));
  return QString("%1:%2:%3")
      .arg(s / 3600)
      .arg((s / 60) % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'));
}

}  // namespace brimo::gui
