// What the module keeps for its types: the Session type, the iterator
// type of Form.map_findings, which a Form makes instances of, and that of
// _walk_folder.
#pragma once

#include "lib/python.h"

namespace tolvar::py {

struct ModuleState {
  PyObject* session_type;
  PyObject* findings_map_type;
  PyObject* folder_walk_type;
};

// The state of the module that defined `type`.
inline ModuleState& module_state_of(PyTypeObject* type) {
  return *static_cast<ModuleState*>(PyModule_GetState(PyType_GetModule(type)));
}

}  // namespace tolvar::py
