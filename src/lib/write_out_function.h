// _write_out(): the command's reports written to standard output so that an
// interrupt neither cuts nor repeats them.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

PyObject* write_out_function(PyObject* module, PyObject* args);

extern const char kWriteOutDoc[];

}  // namespace tolvar::py
