// RunTimeEstimator: computes the run time of a loaded program, and the
// program check's findings, on a worker thread, through the same simulation
// as `brimocnc --simulate --check`, so loading is not delayed. Works on copies of the program and
// the settings; a new request or the estimator's end cancels the one in progress. The program's
// copy shares the loaded text (ProgramStore copies share their buffer, which nobody changes while
// shared), so a million-line program is not held twice.
//
// Move times come from step counts (the simulation's direct mode), not pulse
// by pulse: a million-line program takes seconds of CPU, not minutes.
//
// Cancelling never waits for the worker: the worker owns everything it
// uses, sees its cancel flag after every move and every line, and reaches
// the estimator only through a link that the estimator cuts (under its lock)
// before it goes away. So File > Open, Exit and the dialogs' "Ok" never block
// on an estimate.
//
// The estimate must not compete with a run for the processor: while motion
// runs online the window holds it (HoldForMotion), and the worker sleeps on a
// condition variable at its next move or line until released; a cancel wakes
// it to end.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/machine/machine_state.h"
#include "core/program/program_store.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_engine.h"

class QTimer;

namespace brimo::gui {

class RunTimeEstimator : public QObject {
  Q_OBJECT

 public:
  explicit RunTimeEstimator(QObject* parent = nullptr);
  ~RunTimeEstimator() override;

  // Starts estimating `program` with the settings in `settings`, the
  // override in percent and the four scale factors.
  void Start(const ProgramStore& program, const MachineState& settings, double overridePercent,
             const double scale[4]);
  // Abandons the estimate in progress (its result is never reported).
  // Returns at once; the worker ends on its own soon after.
  void Cancel();

  // Motion starts: when it runs online, the estimate in progress (and one
  // started meanwhile) sleeps until ReleaseAfterMotion. Offline motion does
  // not hold it. Called on the window thread.
  void HoldForMotion(bool online);
  // Motion has ended: a held estimate goes on where it stood.
  void ReleaseAfterMotion();
  // Workers now asleep because the estimate is held.
  int HeldWorkers() const { return gate_->Waiting(); }

 signals:
  // The run time in seconds and every finding of the program check.
  void Estimated(double seconds, const std::vector<brimo::Finding>& findings);

 private:
  // Where a worker leaves its result; workers hold it shared, so it outlives
  // the estimator. The window thread collects it (Collect, every 20 ms
  // while an estimate runs).
  struct Link {
    struct Result {
      std::shared_ptr<std::atomic<bool>> cancel;  // of the estimate that made it
      double seconds = 0;
      std::shared_ptr<std::vector<Finding>> findings;
    };
    std::mutex lock;
    std::optional<Result> result;
  };
  void Collect();
  std::shared_ptr<Link> link_;
  QTimer* collect_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  // Shared with the workers, which may outlive the estimator.
  std::shared_ptr<SimulationGate> gate_;
};

// "1:02:03" (hours, minutes, seconds), rounded up to the next second.
QString RunTimeText(double seconds);

}  // namespace brimo::gui
