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

// A path as a str, from a str or an os.PathLike; nullptr with TypeError set
// for anything else, bytes paths included.
PyObject* path_text(PyObject* object, const char* function) {
  PyObject* path = PyOS_FSPath(object);
  if (path && PyUnicode_Check(path)) return path;
  Py_XDECREF(path);
  PyErr_Clear();
  PyErr_Format(PyExc_TypeError,
               "%s() argument 'attachments' must be a folder path or a dict from file name to "
               "path (str or os.PathLike), not %s",
               function, type_name_of(object).c_str());
  return nullptr;
}

bool utf8(PyObject* text, std::string& out) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (!data) return false;
  out.assign(data, static_cast<std::size_t>(size));
  return true;
}

bool attached_file(PyObject* name, PyObject* path, const char* function, Attachments& out,
                   PyObject* kept) {
  if (!PyUnicode_Check(name)) {
    PyErr_Format(PyExc_TypeError, "%s() argument 'attachments' must name files with str, not %s",
                 function, type_name_of(name).c_str());
    return false;
  }
  PyObject* text = path_text(path, function);
  if (!text) return false;
  std::string file, where;
  const bool ok = utf8(name, file) && utf8(text, where) && PyDict_SetItem(kept, name, text) == 0;
  Py_DECREF(text);
  if (ok) out.files.insert_or_assign(std::move(file), std::move(where));
  return ok;
}

// Fills out.files from a dict, and `kept` with the same paths as str. The
// items are copied first: os.PathLike code may change the dict meanwhile.
bool attached_files(PyObject* dict, const char* function, Attachments& out, PyObject* kept) {
  PyObject* items = PyDict_Items(dict);
  if (!items) return false;
  bool ok = true;
  for (Py_ssize_t i = 0; ok && i < PyList_Size(items); ++i) {
    PyObject* item = PyList_GetItem(items, i);
    ok = attached_file(PyTuple_GetItem(item, 0), PyTuple_GetItem(item, 1), function, out, kept);
  }
  Py_DECREF(items);
  return ok;
}

}  // namespace

bool attachments_argument(PyObject* object, const char* function, Attachments& out,
                          PyObject*& kept) {
  if (!object || object == Py_None) {
    kept = Py_NewRef(Py_None);
    return true;
  }
  if (PyDict_Check(object)) {
    kept = PyDict_New();
    if (kept && attached_files(object, function, out, kept)) return true;
    Py_CLEAR(kept);
    return false;
  }
  kept = path_text(object, function);
  if (kept && utf8(kept, out.folder)) return true;
  Py_CLEAR(kept);
  return false;
}

PyObject* reduce_with_attachments(PyObject* self, PyObject* attachments, PyObject* args) {
  if (!args) return nullptr;
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(self));
  if (attachments == Py_None) return Py_BuildValue("(ON)", type, args);
  PyObject* copyreg = PyImport_ImportModule("copyreg");
  PyObject* new_object = copyreg ? PyObject_GetAttrString(copyreg, "__newobj_ex__") : nullptr;
  Py_XDECREF(copyreg);
  PyObject* reduced = nullptr;
  if (new_object) {
    reduced = Py_BuildValue("(N(OO{sO}))", new_object, type, args, "attachments", attachments);
  }
  Py_DECREF(args);
  return reduced;
}

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
