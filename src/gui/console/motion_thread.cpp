#include "gui/console/motion_thread.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/machine/pulse_clock.h"

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#endif

namespace brimo::gui {

namespace {

// SCHED_FIFO priority of the motion thread: above every normal thread, below
// the kernel's own interrupt threads (50).
constexpr int kMotionPriority = 49;

}  // namespace

MotionThread::MotionThread() {
  thread_ = std::thread([this] { Loop(); });
  id_ = thread_.get_id();
}

MotionThread::~MotionThread() { Shutdown({}); }

bool MotionThread::Busy() const {
  std::lock_guard lock(m_);
  return busy_;
}

void MotionThread::PostLocked(std::function<void()> handler) {
  handlers_.push_back(std::move(handler));
  waiting_.store(true, std::memory_order_release);
}

void MotionThread::Start(std::function<void()> job) {
  std::unique_lock lock(m_);
  if (busy_) return PostLocked(std::move(job));
  // Closing: nothing may start moving any more.
  if (quit_) return;
  busy_ = true;
  job_ = std::move(job);
  wake_.notify_one();
}

void MotionThread::Call(std::function<void()> handler) {
  std::unique_lock lock(m_);
  if (busy_) return PostLocked(std::move(handler));
  lock.unlock();
  handler();
}

void MotionThread::RunHandlers() {
  std::vector<std::function<void()>> now;
  {
    std::lock_guard lock(m_);
    now.swap(handlers_);
    waiting_.store(false, std::memory_order_release);
  }
  for (auto& h : now) h();
}

void MotionThread::Shutdown(std::function<void()> stop) {
  {
    std::lock_guard lock(m_);
    if (joined_) return;
    quit_ = true;
    if (busy_ && stop) PostLocked(std::move(stop));
    wake_.notify_one();
  }
  thread_.join();
  std::lock_guard lock(m_);
  joined_ = true;
}

std::string MotionThread::PriorityText() const {
  std::lock_guard lock(m_);
  if (realTime_.load())
    return "Pulses are timed at real-time priority (normal priority while a move is too fast "
           "to sleep between its pulses).";
  return "Pulses are timed at normal priority (" + priorityWhy_ + ").";
}

void MotionThread::TakeRealTime() {
  std::string why;
#ifdef __linux__
  if (std::getenv("BRIMO_NO_REALTIME")) {
    why = "BRIMO_NO_REALTIME is set";
  } else {
    sched_param p{};
    p.sched_priority = kMotionPriority;
    const int e = pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
    if (e == 0) {
      realTime_.store(true);
      KeepRealTimeWhileSleeping(kMotionPriority);
    } else {
      why = std::string("no permission for real-time scheduling: ") + std::strerror(e) +
            "; run as root or give the program CAP_SYS_NICE";
      std::fprintf(stderr, "BrimoCNC: pulses at normal priority: %s\n", why.c_str());
    }
  }
#else
  why = "real-time scheduling is not used on this system";
#endif
  std::lock_guard lock(m_);
  priorityWhy_ = why;
}

void MotionThread::Loop() {
  TakeRealTime();
  std::unique_lock lock(m_);
  for (;;) {
    wake_.wait(lock, [this] { return job_ || quit_; });
    if (!job_) return;
    std::function<void()> job = std::move(job_);
    job_ = nullptr;
    lock.unlock();
#ifdef __linux__
    // No page fault between two pulses while the job runs. Failure only
    // costs that guarantee.
    const bool locked = realTime_.load() && mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
#endif
    job();
#ifdef __linux__
    if (locked) munlockall();
#endif
    lock.lock();
    // Handlers posted during the job's last stretch still run here, before
    // the window thread may touch the core again.
    while (!handlers_.empty()) {
      std::vector<std::function<void()>> late;
      late.swap(handlers_);
      lock.unlock();
      for (auto& h : late) h();
      lock.lock();
    }
    waiting_.store(false, std::memory_order_release);
    busy_ = false;
    if (quit_) return;
  }
}

}  // namespace brimo::gui
