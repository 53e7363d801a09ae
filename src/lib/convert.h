// Arguments in, results out, failures raised: the Python side of every call.
#pragma once

#include <cstddef>
#include <exception>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/python.h"
#include "base/result.h"
#include "rules/attachments.h"

namespace tolvar::py {

// A str argument as UTF-8. Sets TypeError (not a str) or the host's encoding
// error and returns false. `function` and `parameter` name it in the message.
bool text_argument(PyObject* object, const char* function, const char* parameter,
                   std::string_view& out);
// The same, where None (or omission, a null object) means not given.
bool optional_text_argument(PyObject* object, const char* function, const char* parameter,
                            std::optional<std::string_view>& out);

// The attachments keyword: None (or omission), a folder path (str or
// os.PathLike) or a dict from file name to path. Fills `out`, and sets
// `kept` to a new reference to the same in plain form, for pickling: None,
// the folder as a str, or a new dict of str to str. Sets TypeError and
// returns false for anything else.
bool attachments_argument(PyObject* object, const char* function, Attachments& out,
                          PyObject*& kept);

// What __reduce__ gives for an object made as type(self)(*args,
// attachments=attachments): the keyword goes through copyreg.__newobj_ex__,
// which pickle knows, and only when there are attachments. Takes over the
// reference to `args`, a tuple (or nullptr with an exception set).
PyObject* reduce_with_attachments(PyObject* self, PyObject* attachments, PyObject* args);

// Raise `type` with the message; always returns nullptr.
PyObject* raise(PyObject* type, std::string_view message);
PyObject* raise(PyObject* type, const Failure& failure);

// New references, or nullptr with an exception set.
PyObject* new_str(std::string_view text);
// A (str, str) tuple.
PyObject* new_str_pair(const std::pair<std::string, std::string>& pair);
// Sets dict[key] = value and drops the reference to value; false on failure.
bool set_item(PyObject* dict, const char* key, PyObject* value);
bool set_item(PyObject* dict, std::string_view key, PyObject* value);

// A list of convert(item) for every item.
template <class Items, class Convert>
PyObject* new_list(const Items& items, Convert convert) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (!list) return nullptr;
  Py_ssize_t index = 0;
  for (const auto& item : items) {
    PyObject* object = convert(item);
    if (!object) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SetItem(list, index++, object);
  }
  return list;
}

// A dict of str keys to convert(value), in the map's order.
template <class Map, class Convert>
PyObject* new_dict(const Map& map, Convert convert) {
  PyObject* dict = PyDict_New();
  if (!dict) return nullptr;
  for (const auto& [key, value] : map) {
    if (!set_item(dict, std::string_view(key), convert(value))) {
      Py_DECREF(dict);
      return nullptr;
    }
  }
  return dict;
}

// Runs body; a C++ exception that escapes becomes a Python exception instead
// of taking the interpreter down.
template <class Body>
PyObject* guarded(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::exception& e) {
    return raise(PyExc_RuntimeError, std::string("internal error: ") + e.what());
  } catch (...) {
    return raise(PyExc_RuntimeError, "internal error");
  }
}

}  // namespace tolvar::py
