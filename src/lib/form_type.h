// The Form class: a form loaded once, to judge many submissions against.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

// A new reference to the Form type, made from its type spec; the module's
// state must already hold the Session type.
PyObject* make_form_type(PyObject* module);

}  // namespace tolvar::py
