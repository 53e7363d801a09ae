#include "lib/folder_walk_type.h"

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/folder_walk.h"
#include "lib/convert.h"
#include "lib/module_state.h"
#include "lib/without_gil.h"

namespace tolvar::py {
namespace {

struct FolderWalkObject {
  PyObject_HEAD
  FolderWalk* walk;
  // Set while a thread walks with the GIL released, so that another thread
  // cannot walk the same folders at the same time.
  bool walking;
};

FolderWalkObject* as_walk(PyObject* self) { return reinterpret_cast<FolderWalkObject*>(self); }

// A name as os.listdir gives it for a str path.
PyObject* decoded_name(const std::string& name) {
  return PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
}

// (name, real), where real is None for a symbolic link.
PyObject* found_file_pair(const FoundFile& file) {
  PyObject* name = decoded_name(file.name);
  PyObject* real = !name               ? nullptr
                   : file.real.empty() ? Py_NewRef(Py_None)
                                       : decoded_name(file.real);
  PyObject* pair = real ? PyTuple_Pack(2, name, real) : nullptr;
  Py_XDECREF(name);
  Py_XDECREF(real);
  return pair;
}

PyObject* folder_walk_next(PyObject* self) {
  FolderWalkObject& object = *as_walk(self);
  if (object.walking) return raise(PyExc_ValueError, "_walk_folder() iterator already running");
  if (object.walk->finished()) return nullptr;
  object.walking = true;
  PyObject* found = guarded([&]() -> PyObject* {
    return new_list(without_gil([&] { return object.walk->next(); }), found_file_pair);
  });
  object.walking = false;
  return found;
}

void folder_walk_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete as_walk(self)->walk;
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

PyObject* folder_walk_iter(PyObject* self) { return Py_NewRef(self); }

PyType_Slot folder_walk_slots[] = {
    {Py_tp_doc, const_cast<char*>("The files _walk_folder() finds, a list of them at a time.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(folder_walk_dealloc)},
    {Py_tp_iter, reinterpret_cast<void*>(folder_walk_iter)},
    {Py_tp_iternext, reinterpret_cast<void*>(folder_walk_next)},
    {0, nullptr},
};

PyType_Spec folder_walk_spec = {
    .name = "tolvar.FolderWalk",
    .basicsize = sizeof(FolderWalkObject),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    .slots = folder_walk_slots,
};

// A str path in the file system's encoding, as os.scandir takes it.
bool file_system_name(PyObject* object, const char* parameter, std::string& out) {
  if (!PyUnicode_Check(object)) {
    PyErr_Format(PyExc_TypeError, "_walk_folder() %s must be str", parameter);
    return false;
  }
  PyObject* encoded = PyUnicode_EncodeFSDefault(object);
  if (!encoded) return false;
  char* bytes = nullptr;
  Py_ssize_t size = 0;
  const bool ok = PyBytes_AsStringAndSize(encoded, &bytes, &size) == 0;
  if (ok) out.assign(bytes, static_cast<std::size_t>(size));
  Py_DECREF(encoded);
  // The system would take the path as ending at a NUL: refused, as
  // os.scandir refuses it.
  if (ok && out.find('\0') != std::string::npos) {
    PyErr_Format(PyExc_ValueError, "_walk_folder() %s contains an embedded null byte", parameter);
    return false;
  }
  return ok;
}

// Calls take(item) for every item of the iterable while it returns true.
template <class Take>
bool take_each(PyObject* iterable, Take take) {
  PyObject* items = PyObject_GetIter(iterable);
  if (!items) return false;
  bool ok = true;
  while (PyObject* item = ok ? PyIter_Next(items) : nullptr) {
    ok = take(item);
    Py_DECREF(item);
  }
  Py_DECREF(items);
  return ok && !PyErr_Occurred();
}

// The engine matches ASCII suffixes only, as the ones the command asks for.
bool take_suffix(PyObject* item, std::vector<std::string>& suffixes) {
  std::string_view suffix;
  if (!text_argument(item, "_walk_folder", "suffixes", suffix)) return false;
  for (char byte : suffix) {
    if (static_cast<unsigned char>(byte) >= 0x80) {
      raise(PyExc_ValueError, "_walk_folder() suffixes must be ASCII");
      return false;
    }
  }
  suffixes.emplace_back(suffix);
  return true;
}

bool take_skip(PyObject* item, std::set<std::string>& skip) {
  std::string path;
  if (!file_system_name(item, "skip", path)) return false;
  skip.insert(std::move(path));
  return true;
}

PyObject* new_folder_walk(PyObject* type, std::unique_ptr<FolderWalk> walk) {
  auto walk_type = reinterpret_cast<PyTypeObject*>(type);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(walk_type, Py_tp_alloc));
  PyObject* self = alloc(walk_type, 0);
  if (!self) return nullptr;
  as_walk(self)->walk = walk.release();
  as_walk(self)->walking = false;
  return self;
}

}  // namespace

const char kWalkFolderDoc[] =
    "_walk_folder(name_prefix, real_prefix, suffixes, skip, /)\n--\n\n"
    "The command's search of a folder for the files to read: an iterator\n"
    "over lists of (name, real) pairs, depth first, a folder's own files in\n"
    "sorted order before its subfolders', leaving out hidden entries, links\n"
    "to folders and the subfolders whose real names are in `skip`. The\n"
    "prefixes are what the folder's entries' names start with, as given and\n"
    "where they really are; `real` is None for a symbolic link. A file is\n"
    "found when its name, lower-cased, ends with one of `suffixes`.";

PyObject* walk_folder_function(PyObject* module, PyObject* args) {
  PyObject *name_arg = nullptr, *real_arg = nullptr, *suffixes_arg = nullptr,
           *skip_arg = nullptr;
  if (!PyArg_ParseTuple(args, "OOOO:_walk_folder", &name_arg, &real_arg, &suffixes_arg,
                        &skip_arg)) {
    return nullptr;
  }
  return guarded([&]() -> PyObject* {
    std::string name_prefix, real_prefix;
    std::vector<std::string> suffixes;
    std::set<std::string> skip;
    const bool ok =
        file_system_name(name_arg, "name_prefix", name_prefix) &&
        file_system_name(real_arg, "real_prefix", real_prefix) &&
        take_each(suffixes_arg, [&](PyObject* item) { return take_suffix(item, suffixes); }) &&
        take_each(skip_arg, [&](PyObject* item) { return take_skip(item, skip); });
    if (!ok) return nullptr;
    auto walk = std::make_unique<FolderWalk>(std::move(name_prefix), std::move(real_prefix),
                                             std::move(suffixes), std::move(skip));
    auto& state = *static_cast<ModuleState*>(PyModule_GetState(module));
    return new_folder_walk(state.folder_walk_type, std::move(walk));
  });
}

PyObject* make_folder_walk_type(PyObject* module) {
  return PyType_FromModuleAndSpec(module, &folder_walk_spec, nullptr);
}

}  // namespace tolvar::py
