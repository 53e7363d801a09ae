#include "lib/folder_function.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/folder_listing.h"
#include "lib/convert.h"

namespace tolvar::py {
namespace {

// Names as os.listdir gives them for a str path.
PyObject* new_name_list(const std::vector<std::string>& names) {
  return new_list(names, [](const std::string& name) {
    return PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
  });
}

}  // namespace

const char kListFolderDoc[] =
    "_list_folder(path)\n--\n\n"
    "The entries of one folder, for the command's search of an export: the\n"
    "names of everything but directories, those of them that are symbolic\n"
    "links, and the directories that are not, in the order the system\n"
    "lists them and leaving out hidden names. A folder that cannot be read\n"
    "has none.";

PyObject* list_folder_function(PyObject*, PyObject* path) {
  if (!PyUnicode_Check(path)) return raise(PyExc_TypeError, "_list_folder() path must be a str");
  PyObject* encoded = PyUnicode_EncodeFSDefault(path);
  if (!encoded) return nullptr;
  char* bytes = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(encoded, &bytes, &size) < 0) {
    Py_DECREF(encoded);
    return nullptr;
  }
  // The system would take the path as ending at a NUL: refused, as
  // os.scandir refuses it.
  if (std::memchr(bytes, '\0', static_cast<std::size_t>(size)) != nullptr) {
    Py_DECREF(encoded);
    return raise(PyExc_ValueError, "_list_folder() path contains an embedded null byte");
  }
  PyObject* listed = guarded([&]() -> PyObject* {
    const FolderListing listing = list_folder(std::string(bytes, static_cast<std::size_t>(size)));
    PyObject* files = new_name_list(listing.files);
    PyObject* links = files ? new_name_list(listing.links) : nullptr;
    PyObject* folders = links ? new_name_list(listing.folders) : nullptr;
    PyObject* all = folders ? PyTuple_Pack(3, files, links, folders) : nullptr;
    Py_XDECREF(files);
    Py_XDECREF(links);
    Py_XDECREF(folders);
    return all;
  });
  Py_DECREF(encoded);
  return listed;
}

}  // namespace tolvar::py
