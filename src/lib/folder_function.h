// _list_folder(): one folder of the command's search for submissions.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

PyObject* list_folder_function(PyObject* module, PyObject* path);

extern const char kListFolderDoc[];

}  // namespace tolvar::py
