// RunTimeEstimator: computes the run time of a loaded program on a worker
// thread, through the same simulation as `brimocnc --simulate`, so loading
// is not delayed. Works on copies of the program and the settings; a new
// request or the estimator's end cancels the one in progress.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

#include "machine/machine_state.h"
#include "plot/program_store.h"

namespace brimo::gui {

class RunTimeEstimator : public QObject {
  Q_OBJECT

 public:
  explicit RunTimeEstimator(QObject* parent = nullptr) : QObject(parent) {}
  ~RunTimeEstimator() override { Cancel(); }

  // Starts estimating `program` with the settings in `settings`, the
  // override in percent and the four scale factors.
  void Start(const ProgramStore& program, const MachineState& settings, double overridePercent,
             const double scale[4]);
  // Abandons the estimate in progress (its result is never reported).
  void Cancel();

 signals:
  void Estimated(double seconds);

 private:
  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> cancel_;
};

// "1:02:03" (hours, minutes, seconds), rounded up to the next second.
QString RunTimeText(double seconds);

}  // namespace brimo::gui
