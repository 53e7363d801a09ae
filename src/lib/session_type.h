// The Session class: a form being filled in.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

// A new reference to the Session type, made from its type spec.
PyObject* make_session_type(PyObject* module);

}  // namespace tolvar::py
