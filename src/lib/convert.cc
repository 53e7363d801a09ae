#include "lib/convert.h"

namespace tolvar::py {
namespace {

// The type's __name__, for messages; "object" when it cannot be had.
std::string type_name_of(PyObject* object) {
  PyObject* name = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__");
  std::string result = "object";
  if (name && PyUnicode_Check(name)) {
    Py_ssize_t size = 0;
    if (const char* text = PyUnicode_AsUTF8AndSize(name, &size)) result.assign(text, size);
  }
  Py_XDECREF(name);
  PyErr_Clear();
  return result;
}

}  // namespace

bool text_argument(PyObject* object, const char* function, const char* parameter,
                   std::string_view& out) {
  if (!PyUnicode_Check(object)) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str, not %s", function, parameter,
                 type_name_of(object).c_str());
    return false;
  }
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(object, &size);
  if (!text) return false;
  out = std::string_view(text, static_cast<std::size_t>(size));
  return true;
}

bool optional_text_argument(PyObject* object, const char* function, const char* parameter,
                            std::optional<std::string_view>& out) {
  if (!object || object == Py_None) {
    out.reset();
    return true;
  }
  std::string_view text;
  if (!text_argument(object, function, parameter, text)) return false;
  out = text;
  return true;
}

PyObject* raise(PyObject* type, std::string_view message) {
  PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                                        "replace");
  if (!text) return nullptr;
  PyErr_SetObject(type, text);
  Py_DECREF(text);
  return nullptr;
}

PyObject* raise(PyObject* type, const Failure& failure) { return raise(type, failure.message); }

PyObject* new_str(std::string_view text) {
  // "replace" keeps a stray invalid byte from turning a result into an error.
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

PyObject* new_str_pair(const std::pair<std::string, std::string>& pair) {
  PyObject* first = new_str(pair.first);
  PyObject* second = first ? new_str(pair.second) : nullptr;
  PyObject* tuple = second ? PyTuple_New(2) : nullptr;
  if (!tuple) {
    Py_XDECREF(first);
    Py_XDECREF(second);
    return nullptr;
  }
  PyTuple_SetItem(tuple, 0, first);
  PyTuple_SetItem(tuple, 1, second);
  return tuple;
}

bool set_item(PyObject* dict, const char* key, PyObject* value) {
  if (!value) return false;
  int status = PyDict_SetItemString(dict, key, value);
  Py_DECREF(value);
  return status == 0;
}

bool set_item(PyObject* dict, std::string_view key, PyObject* value) {
  if (!value) return false;
  PyObject* key_object = new_str(key);
  int status = key_object ? PyDict_SetItem(dict, key_object, value) : -1;
  Py_XDECREF(key_object);
  Py_DECREF(value);
  return status == 0;
}

}  // namespace tolvar::py
