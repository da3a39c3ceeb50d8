// MotionThread: the thread every pulse of the window is made on. A run, jog,
// home move or move to a line is a job: the window thread hands it over and
// returns to its event loop at once, so painting, menus and resizing never
// sit between two pulses.
//
// The core stays single-threaded. While a job runs, the window thread does
// not touch the core: every handler that would (Pause, a key, a jog release,
// the override, a refused second press) is posted here and runs nested
// inside the job's next event pump, exactly where it ran when the pump was
// the window's own. When no job runs, handlers run at once on the window
// thread, as before.
//
//   window thread                      motion thread
//   Start(job) ------------------->    job: RunProgram ... StepPulse
//   Call(Pause)  -> queue ----------->   PumpEvents -> RunHandlers -> Pause
//   frame timer (60/s) polls  <------   displays, dots, questions (QtWindowPort)
//   Busy() false: motion ended <-----   job returns, queue empty
//
// Everything the motion thread hands to the window thread goes through
// state behind our own locks, polled by the window thread's frame timer;
// nothing is posted into Qt's event queue from the motion thread.
//
// Real-time: on Linux the thread asks for SCHED_FIFO when it starts and
// locks the process's memory while a job runs; without the permission it
// says so once on standard error and runs at normal priority.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brimo::gui {

class MotionThread {
 public:
  MotionThread();
  ~MotionThread();  // Shutdown() when not done yet
  MotionThread(const MotionThread&) = delete;
  MotionThread& operator=(const MotionThread&) = delete;

  // ---- Window thread ------------------------------------------------------
  // True from Start until the job and every handler posted meanwhile have
  // run.
  bool Busy() const;
  // Hands `job` to the motion thread. While busy, it is posted as a handler
  // instead: it runs nested in the running job, where the core refuses a
  // second motion the way it always has.
  void Start(std::function<void()> job);
  // Runs `handler` now when idle, else at the running job's next pump.
  void Call(std::function<void()> handler);
  // For good: `stop` is posted to a running job, which must then end; then
  // the thread is joined. Jobs started afterwards run at once on the window
  // thread (closing: nothing moves by then).
  void Shutdown(std::function<void()> stop);

  // ---- Motion thread ------------------------------------------------------
  bool OnMotionThread() const { return std::this_thread::get_id() == id_; }
  // Cheap enough for every pulse: one atomic load.
  bool HandlersWaiting() const { return waiting_.load(std::memory_order_acquire); }
  void RunHandlers();

  // ---- Either thread --------------------------------------------------------
  // How the pulses are timed, for the About box: "real-time priority" or
  // why not.
  std::string PriorityText() const;

 private:
  void Loop();
  void TakeRealTime();
  // Queues a handler for the running job's next pump; m_ is held.
  void PostLocked(std::function<void()> handler);

  mutable std::mutex m_;
  std::condition_variable wake_;
  std::function<void()> job_;
  std::vector<std::function<void()>> handlers_;
  bool busy_ = false;
  bool quit_ = false;
  bool joined_ = false;
  std::atomic<bool> waiting_{false};
  std::atomic<bool> realTime_{false};
  std::string priorityWhy_;  // written before the first job, under m_
  std::thread::id id_;
  std::thread thread_;
};

}  // namespace brimo::gui
