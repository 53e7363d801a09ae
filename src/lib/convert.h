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
#include "tree/result.h"

namespace tolvar::py {

// A str argument as UTF-8. Sets TypeError (not a str) or the host's encoding
// error and returns false. `function` and `parameter` name it in the message.
bool text_argument(PyObject* object, const char* function, const char* parameter,
                   std::string_view& out);
// The same, where None (or omission, a null object) means not given.
bool optional_text_argument(PyObject* object, const char* function, const char* parameter,
                            std::optional<std::string_view>& out);

// Raise `type` with the message; always returns nullptr.
PyObject* raise(PyObject* type, std::string_view message);
PyObject* raise(PyObject* type, const Failure& failure);

// New references, or nullptr with an exception set.
PyObject* new_str(std::string_view text);
PyObject* new_str_list(const std::vector<std::string>& items);
PyObject* new_pair_list(const std::vector<std::pair<std::string, std::string>>& pairs);
// Sets dict[key] = value and drops the reference to value; false on failure.
bool set_item(PyObject* dict, const char* key, PyObject* value);
bool set_item(PyObject* dict, std::string_view key, PyObject* value);

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
