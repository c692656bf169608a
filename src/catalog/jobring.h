// A ring of jobs between a producing thread and one helper thread that
// handles them in the order they were made. The producer fills a job in
// place (NextJob) and hands it over (Publish); the helper runs the handler
// on each. Without a helper (not started, or it could not be) every job is
// handled at once on the producer's thread, so the outcome is the same.
#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

template <typename Job>
class JobRing {
 public:
  static constexpr std::uint32_t kJobs = 64;
  // A wake-up costs a system call: each side wakes the other only when it
  // sleeps, and only once there is a batch of work for it: the producer
  // wakes the helper once this many jobs wait (or for a job published with
  // wakeNow), the helper wakes the producer once this many jobs are free.
  static constexpr std::uint32_t kWakeBatch = 16;
  static_assert(kWakeBatch <= kJobs / 2);

  // Allocates the jobs (may throw std::bad_alloc).
  explicit JobRing(std::function<void(Job&)> handler)
      : handler_(std::move(handler)), slots_(new Slot[kJobs]) {}
  ~JobRing() { Stop(); }
  JobRing(const JobRing&) = delete;
  JobRing& operator=(const JobRing&) = delete;

  // Starts the helper thread; false when it could not be started.
  bool Start() {
    if (worker_.joinable()) return true;
    try {
      worker_ = std::thread([this] { Work(); });
    } catch (const std::exception&) {
      return false;
    }
    return true;
  }
  bool HasHelper() const { return worker_.joinable(); }
  // Jobs published and not yet handled (asked by the producer; none
  // without a helper).
  std::uint32_t Waiting() const {
    return head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_relaxed);
  }

  // A free job to fill, as its last use left it (waits while all are in use).
  Job& NextJob() {
    std::uint32_t h = head_.load(std::memory_order_relaxed);
    if (worker_.joinable()) {
      std::uint32_t t = tail_.load(std::memory_order_acquire);
      // Full: wait until a batch of jobs is free, not for each one.
      if (h - t >= kJobs) {
        while (h - t > kJobs - kWakeBatch) {
          producerAsleep_.store(true);
          t = tail_.load();  // seen after the flag: no wake-up can be missed
          if (h - t > kJobs - kWakeBatch) tail_.wait(t);
          producerAsleep_.store(false);
          t = tail_.load(std::memory_order_acquire);
        }
      }
    }
    return slots_[h % kJobs].job;
  }

  // Hands over the job from NextJob. wakeNow: a sleeping helper is woken
  // for it even when few jobs wait.
  void Publish(bool wakeNow = false) { Hand(false, wakeNow); }

  // Waits until every job published so far is handled and ends the helper;
  // jobs published after this are handled at once.
  void Stop() {
    if (!worker_.joinable()) return;
    NextJob();
    Hand(true, true);
    worker_.join();
  }

 private:
  struct Slot {
    Job job;
    bool end = false;  // the helper's last job, not handled
  };

  void Hand(bool end, bool wakeNow) {
    std::uint32_t h = head_.load(std::memory_order_relaxed);
    Slot& s = slots_[h % kJobs];
    if (!worker_.joinable()) {
      if (!end) handler_(s.job);
      return;
    }
    s.end = end;
    head_.store(h + 1);
    if ((wakeNow || h + 1 - tail_.load(std::memory_order_relaxed) >= kWakeBatch) &&
        helperAsleep_.load())
      head_.notify_one();
  }

  void Work() {
    std::uint32_t t = tail_.load(std::memory_order_relaxed);
    for (;;) {
      std::uint32_t h;
      while ((h = head_.load(std::memory_order_acquire)) == t) {
        helperAsleep_.store(true);
        if (head_.load() == t) head_.wait(t);
        helperAsleep_.store(false);
      }
      for (; t != h; ++t) {
        Slot& s = slots_[t % kJobs];
        bool end = s.end;
        if (!end) handler_(s.job);
        tail_.store(t + 1);
        // A producer waiting for room sleeps on until a batch of jobs is
        // free (`h` may lag the head: then it wakes early, and waits again).
        if (producerAsleep_.load() && h - (t + 1) <= kJobs - kWakeBatch) tail_.notify_one();
        if (end) return;
      }
    }
  }

  std::function<void(Job&)> handler_;
  std::unique_ptr<Slot[]> slots_;
  std::atomic<std::uint32_t> head_{0};  // jobs published
  std::atomic<std::uint32_t> tail_{0};  // jobs handled
  std::atomic<bool> helperAsleep_{false}, producerAsleep_{false};
  std::thread worker_;
};
