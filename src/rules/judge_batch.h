// Many submissions judged against one loaded form on worker threads, handed
// back one by one in the order they came.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/result.h"
#include "eval/stop_check.h"
#include "rules/judge.h"

namespace tolvar {

struct LoadedForm;

// What became of one submission: its findings, or why it was not judged.
struct BatchOutcome {
  Result<std::vector<SubmissionFinding>> findings;
  // The failure came from reading the argument (a missing or unreadable
  // file), not from judging what was read.
  bool unread = false;
};

// The today and now texts given for the whole batch, owned.
struct BatchClock {
  std::optional<std::string> today;
  std::optional<std::string> now;
};

// Submissions are added as read_source takes them (XML text or a path) and
// are borrowed: each must live until its outcome is handed back. With one thread the reader
// judges each submission itself when it asks for it; with more, workers
// judge ahead of the reader, at most kAhead outcomes, so memory stays flat
// however many submissions come. Destroying the batch stops the workers and
// waits for them.
class JudgeBatch {
 public:
  static constexpr std::size_t kAhead = 16384;
  // The most submissions a worker takes at once.
  static constexpr std::size_t kChunk = 128;

  JudgeBatch(std::shared_ptr<const LoadedForm> form, BatchClock clock, unsigned threads);
  ~JudgeBatch();
  JudgeBatch(const JudgeBatch&) = delete;
  JudgeBatch& operator=(const JudgeBatch&) = delete;

  void add(std::string_view submission);
  // No submission comes after this.
  void close();
  // The next submission's outcome, waiting at most `patience` for a worker
  // to finish it; nothing when it is not ready yet or none is left (see
  // finished). With one thread, judges it here, asking `stop` as it goes.
  std::optional<BatchOutcome> next(std::chrono::milliseconds patience, StopCheck* stop);
  // The next outcome when one is taken already, without waiting or locking.
  std::optional<BatchOutcome> next_taken();
  // Whether every submission has been handed back and no more come.
  bool finished() const;
  // Ends the workers' evaluations early; outcomes after this are not wanted.
  void stop();

 private:
  // A worker's stop check: the batch's flag.
  class Halt : public StopCheck {
   public:
    explicit Halt(const std::atomic<bool>& halted) : halted_(halted) {}

   protected:
    bool requested() override { return halted_.load(std::memory_order_relaxed); }

   private:
    const std::atomic<bool>& halted_;
  };

  BatchOutcome judge_one(std::string_view submission, StopCheck* stop) const;
  void work();
  std::size_t unclaimed() const;
  // Whether no worker has the reader's next submission, nor any after it.
  bool reader_waits_on_unclaimed() const;
  bool has_work() const;
  // How many submissions a worker takes next.
  std::size_t chunk_size() const;

  std::shared_ptr<const LoadedForm> form_;
  BatchClock clock_;
  // Set before any worker starts, so workers may read it without the lock
  // while the constructor is still adding to workers_.
  const unsigned threads_;
  std::atomic<bool> halted_{false};

  mutable std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable outcome_ready_;
  // The submissions added and not yet handed back, the first of them
  // numbered first_ in the order added; outcomes_[k], once there, is that
  // of submissions_[k]. Workers take them in order: claimed_ is the number
  // of the next one to take.
  std::deque<std::string_view> submissions_;
  std::deque<std::optional<BatchOutcome>> outcomes_;
  std::size_t first_ = 0;
  std::size_t claimed_ = 0;
  bool closed_ = false;

  // The reader's own: outcomes taken from outcomes_ at once, every one
  // ready at the time, and not yet handed back. Read without the lock.
  std::deque<BatchOutcome> taken_;

  std::vector<std::thread> workers_;
};

}  // namespace tolvar
