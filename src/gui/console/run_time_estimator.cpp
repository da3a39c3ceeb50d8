#include "gui/console/run_time_estimator.h"

#include <QTimer>
#include <array>
#include <cmath>
#include <thread>

namespace brimo::gui {

RunTimeEstimator::RunTimeEstimator(QObject* parent)
    : QObject(parent), link_(std::make_shared<Link>()), gate_(std::make_shared<SimulationGate>()) {
  collect_ = new QTimer(this);
  collect_->setInterval(20);
  connect(collect_, &QTimer::timeout, this, &RunTimeEstimator::Collect);
}

RunTimeEstimator::~RunTimeEstimator() { Cancel(); }

void RunTimeEstimator::Collect() {
  std::optional<Link::Result> result;
  {
    std::lock_guard<std::mutex> hold(link_->lock);
    result.swap(link_->result);
  }
  // A result of an estimate cancelled or replaced meanwhile is dropped.
  if (!result || result->cancel != cancel_ || result->cancel->load()) return;
  collect_->stop();
  emit Estimated(result->seconds, *result->findings);
}

void RunTimeEstimator::Start(const ProgramStore& program, const MachineState& settings,
                             double overridePercent, const double scale[4]) {
  Cancel();
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  cancel_ = cancel;
  // Copies: the operator may run, edit or reload while the estimate runs.
  // The program's copy shares the loaded text (no deep copy); a reload
  // builds a new text and leaves this one to the worker.
  auto store = std::make_shared<const ProgramStore>(program);
  auto ms = std::make_shared<MachineState>(settings);
  ms->PreviewRegs.reset();
  const std::array<double, 4> factors{scale[0], scale[1], scale[2], scale[3]};
  auto link = link_;
  auto gate = gate_;
  // Detached: nothing ever waits for it (see the header).
  std::thread([link, cancel, gate, store, ms, overridePercent, factors] {
    auto findings = std::make_shared<std::vector<Finding>>();
    const double seconds = EstimateRunSeconds(*store, *ms, overridePercent, factors.data(),
                                              cancel.get(), findings.get(), gate.get());
    if (!cancel->load() && std::isfinite(seconds)) {
      // Collected on the window thread, which polls for it: the hand-over
      // goes through this lock alone.
      std::lock_guard<std::mutex> hold(link->lock);
      link->result = Link::Result{cancel, seconds, findings};
    }
  }).detach();
  collect_->start();
}

void RunTimeEstimator::Cancel() {
  collect_->stop();
  if (cancel_) {
    cancel_->store(true);
    gate_->Wake();  // a held worker looks at its flag and ends
  }
  cancel_.reset();
}

void RunTimeEstimator::HoldForMotion(bool online) {
  if (online) gate_->Hold();
}

void RunTimeEstimator::ReleaseAfterMotion() { gate_->Release(); }

QString RunTimeText(double seconds) {
  const long long s = static_cast<long long>(std::ceil(seconds));
  return QString("%1:%2:%3")
      .arg(s / 3600)
      .arg((s / 60) % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'));
}

}  // namespace brimo::gui
