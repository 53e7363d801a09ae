// How a caller ends long work early without the engine knowing how the
// caller learns that it should.
#pragma once

#include <cstdint>

namespace tolvar {

// Counts the evaluator's steps and, every kStride of them, asks requested().
// Once that says yes, every later step is refused as well, so whatever is
// still running winds down at once instead of starting anew.
class StopCheck {
 public:
  static constexpr std::uint32_t kStride = 4096;

  virtual ~StopCheck() = default;

  // Counts one step; true once a stop has been requested.
  bool should_stop() {
    if (stopped_) return true;
    if (--countdown_ != 0) return false;
    countdown_ = kStride;
    stopped_ = requested();
    return stopped_;
  }
  // Whether a stop was requested during the work so far.
  bool stopped() const { return stopped_; }

 protected:
  // Whether the caller wants the work ended now; never, unless overridden.
  // Asked rarely enough that taking a lock here costs little.
  virtual bool requested() { return false; }

 private:
  std::uint32_t countdown_ = kStride;
  bool stopped_ = false;
};

// What work given up on a stop fails with; the caller who asked for the stop
// reports it in its own terms.
inline constexpr const char kStoppedMessage[] = "the work was stopped before it finished";

}  // namespace tolvar
