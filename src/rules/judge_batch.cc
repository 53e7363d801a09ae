#include "rules/judge_batch.h"

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <utility>

#include "rules/engine.h"

namespace tolvar {

JudgeBatch::JudgeBatch(std::shared_ptr<const LoadedForm> form, BatchClock clock, unsigned threads)
    : form_(std::move(form)), clock_(std::move(clock)), threads_(threads) {
  if (threads_ < 2) return;
  // Without a thread the system refuses, the batch goes on with those it
  // has, or judges in the reader's thread when it has none.
  try {
    for (unsigned i = 0; i < threads_; ++i) workers_.emplace_back([this] { work(); });
  } catch (const std::system_error&) {
  }
}

JudgeBatch::~JudgeBatch() {
  stop();
  for (std::thread& worker : workers_) worker.join();
}

void JudgeBatch::add(std::string_view submission) {
  bool chunk_ready = false;
  {
    std::lock_guard lock(mutex_);
    submissions_.push_back(submission);
    outcomes_.emplace_back();
    chunk_ready = unclaimed() % kChunk == 0 || reader_waits_on_unclaimed();
  }
  // Waking a worker per submission would cost more than judging some.
  if (chunk_ready) work_ready_.notify_one();
}

void JudgeBatch::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  work_ready_.notify_all();
}

bool JudgeBatch::finished() const {
  if (!taken_.empty()) return false;
  std::lock_guard lock(mutex_);
  return closed_ && submissions_.empty();
}

void JudgeBatch::stop() {
  halted_ = true;
  std::lock_guard lock(mutex_);
  work_ready_.notify_all();
  outcome_ready_.notify_all();
}

std::optional<BatchOutcome> JudgeBatch::next(std::chrono::milliseconds patience, StopCheck* stop) {
  std::unique_lock lock(mutex_);
  if (workers_.empty()) {
    if (submissions_.empty()) return std::nullopt;
    std::string_view submission = submissions_.front();
    submissions_.pop_front();
    outcomes_.pop_front();
    ++first_;
    ++claimed_;
    lock.unlock();
    return judge_one(submission, stop);
  }
  if (!taken_.empty()) return next_taken();
  auto ready = [this] { return !outcomes_.empty() && outcomes_.front().has_value(); };
  if (!outcome_ready_.wait_for(lock, patience, ready)) return std::nullopt;
  // Every outcome ready now is taken at once: the reader then hands them
  // back without the lock, and wakes a worker once for all of them.
  while (ready()) {
    taken_.push_back(std::move(*outcomes_.front()));
    submissions_.pop_front();
    outcomes_.pop_front();
    ++first_;
  }
  lock.unlock();
  work_ready_.notify_one();  // more may be judged ahead
  return next_taken();
}

std::optional<BatchOutcome> JudgeBatch::next_taken() {
  if (taken_.empty()) return std::nullopt;
  BatchOutcome outcome = std::move(taken_.front());
  taken_.pop_front();
  return outcome;
}

BatchOutcome JudgeBatch::judge_one(std::string_view submission, StopCheck* stop) const {
  Result<Source> source = read_source(submission, "submission");
  if (!source.ok()) return {source.failure(), true};
  GivenClock clock{clock_.today, clock_.now};
  return {judge(*form_, std::move(source).value(), clock, stop)};
}

std::size_t JudgeBatch::unclaimed() const { return first_ + submissions_.size() - claimed_; }

bool JudgeBatch::reader_waits_on_unclaimed() const {
  return claimed_ == first_ && unclaimed() > 0;
}

bool JudgeBatch::has_work() const {
  // Until the last submission is added, workers take whole chunks, unless
  // the reader's next submission would wait for a chunk to fill.
  if (claimed_ >= first_ + kAhead || unclaimed() == 0) return false;
  return closed_ || reader_waits_on_unclaimed() || unclaimed() >= kChunk;
}

std::size_t JudgeBatch::chunk_size() const {
  const std::size_t room = first_ + kAhead - claimed_;
  // Large enough that the reader wakes once per chunk rather than per
  // submission; at the end, or while the reader waits, small enough that
  // every worker has a share.
  const bool sharing = closed_ || reader_waits_on_unclaimed();
  const std::size_t share = sharing ? unclaimed() / (2 * std::size_t{threads_}) : kChunk;
  return std::min({std::max<std::size_t>(share, 1), kChunk, room, unclaimed()});
}

void JudgeBatch::work() {
  Halt halt(halted_);
  std::vector<std::string_view> chunk;
  std::vector<BatchOutcome> judged;
  std::unique_lock lock(mutex_);
  while (true) {
    const auto all_claimed = [this] { return closed_ && unclaimed() == 0; };
    work_ready_.wait(lock, [&] { return halted_ || has_work() || all_claimed(); });
    if (halted_ || !has_work()) return;
    const std::size_t start = claimed_;
    chunk.assign(submissions_.begin() + static_cast<std::ptrdiff_t>(start - first_),
                 submissions_.begin() + static_cast<std::ptrdiff_t>(start - first_ + chunk_size()));
    claimed_ += chunk.size();
    lock.unlock();
    judged.clear();
    for (std::string_view submission : chunk) judged.push_back(judge_one(submission, &halt));
    lock.lock();
    for (std::size_t k = 0; k < judged.size(); ++k) {
      outcomes_[start - first_ + k] = std::move(judged[k]);
    }
    if (start == first_) outcome_ready_.notify_one();
  }
}

}  // namespace tolvar
