// The Session class: a form being filled in.
#pragma once

#include "lib/python.h"
#include "rules/engine.h"

namespace tolvar::py {

// A new reference to the Session type, made from its type spec.
PyObject* make_session_type(PyObject* module);

// A new Session object of `type` holding `session`, which was started from
// `form_text` (a str) and `attachments` (None, a str or a dict of str), both
// kept for pickling; nullptr with an exception set.
PyObject* new_session(PyObject* type, Session session, PyObject* form_text,
                      PyObject* attachments);

}  // namespace tolvar::py
