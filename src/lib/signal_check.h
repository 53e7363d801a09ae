// Ends the engine's work when Python has a signal to handle, so that Ctrl-C
// stops a long call with the KeyboardInterrupt its handler raises.
#pragma once

#include <chrono>

#include "eval/stop_check.h"
#include "lib/python.h"

namespace tolvar::py {

// For work run while the calling thread holds the GIL. Once stopped(), the
// handler's exception is set: the call returns nullptr and raises nothing new.
class SignalCheck : public StopCheck {
 protected:
  bool requested() override { return PyErr_CheckSignals() != 0; }
};

// For work run with the GIL released: the GIL is taken back to ask, but at
// most once per kPause, so threads that hold it meanwhile are seldom kept
// waiting. Once stopped(), the handler's exception is set on this thread.
class ReleasedSignalCheck : public StopCheck {
 protected:
  bool requested() override;

 private:
  static constexpr std::chrono::milliseconds kPause{50};
  std::chrono::steady_clock::time_point last_asked_ = std::chrono::steady_clock::now();
};

}  // namespace tolvar::py
