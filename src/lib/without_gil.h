// Running C++ work with the GIL released, so other threads run Python meanwhile.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

// body() with the GIL released; body must not touch Python objects.
template <class Body>
auto without_gil(Body&& body) {
  class Released {
   public:
    Released() : state_(PyEval_SaveThread()) {}
    ~Released() { PyEval_RestoreThread(state_); }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;

   private:
    PyThreadState* state_;
  } released;
  return body();
}

}  // namespace tolvar::py
