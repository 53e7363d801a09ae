#include "lib/signal_check.h"

namespace tolvar::py {

bool ReleasedSignalCheck::requested() {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_asked_ < kPause) return false;
  last_asked_ = now;
  PyGILState_STATE gil = PyGILState_Ensure();
  const bool raised = PyErr_CheckSignals() != 0;
  PyGILState_Release(gil);
  return raised;
}

}  // namespace tolvar::py
