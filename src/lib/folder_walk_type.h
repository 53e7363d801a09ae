// _walk_folder(): the command's search of a folder for the files to read, as
// an iterator over the files found, a chunk at a time.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

// A new reference to the iterator type, made from its type spec.
PyObject* make_folder_walk_type(PyObject* module);

PyObject* walk_folder_function(PyObject* module, PyObject* args);

extern const char kWalkFolderDoc[];

}  // namespace tolvar::py
