#include "lib/write_out_function.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "base/file_write.h"
#include "lib/convert.h"
#include "lib/without_gil.h"

namespace tolvar::py {
namespace {

// Takes the first `count` bytes out of the bytearray; false with an
// exception set.
bool drop_front(PyObject* buffer, std::size_t count) {
  const auto size = static_cast<std::size_t>(PyByteArray_Size(buffer));
  count = std::min(count, size);
  char* bytes = PyByteArray_AsString(buffer);
  std::memmove(bytes, bytes + count, size - count);
  return PyByteArray_Resize(buffer, static_cast<Py_ssize_t>(size - count)) == 0;
}

}  // namespace

const char kWriteOutDoc[] =
    "_write_out(fd, buffer, /)\n--\n\n"
    "Writes the bytearray `buffer` to the file descriptor `fd`, taking out\n"
    "of it each part as soon as it is written. Interrupted (Ctrl-C raises\n"
    "KeyboardInterrupt between the system's writes, as Python's own files\n"
    "do), it holds exactly what is still to be written: a report the\n"
    "command writes is then neither cut off nor written twice.";

PyObject* write_out_function(PyObject*, PyObject* args) {
  int fd = -1;
  PyObject* buffer = nullptr;
  if (!PyArg_ParseTuple(args, "iO:_write_out", &fd, &buffer)) return nullptr;
  if (!PyByteArray_Check(buffer)) return raise(PyExc_TypeError, "_write_out() buffer must be a bytearray");
  return guarded([&]() -> PyObject* {
    while (PyByteArray_Size(buffer) > 0) {
      // A copy, as the bytearray is Python's to move while the GIL is let go.
      const std::string block(PyByteArray_AsString(buffer),
                              static_cast<std::size_t>(PyByteArray_Size(buffer)));
      const WriteOutcome outcome = without_gil([&] { return write_once(fd, block); });
      if (outcome.error != 0 && outcome.error != EINTR) {
        errno = outcome.error;
        return PyErr_SetFromErrno(PyExc_OSError);
      }
      if (!drop_front(buffer, outcome.written) || PyErr_CheckSignals() < 0) return nullptr;
    }
    Py_RETURN_NONE;
  });
}

}  // namespace tolvar::py
