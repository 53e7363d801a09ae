#include "lib/findings_map_type.h"

#include <chrono>
#include <optional>
#include <string_view>
#include <utility>

#include "lib/convert.h"
#include "lib/finding_dicts.h"
#include "lib/signal_check.h"
#include "lib/without_gil.h"

namespace tolvar::py {
namespace {

// How long the reader waits for a worker before it looks for a signal.
constexpr std::chrono::milliseconds kPatience{50};

struct FindingsMapObject {
  PyObject_HEAD
  JudgeBatch* batch;
  // The submissions' str objects, whose UTF-8 the batch borrows.
  PyObject* submissions;
};

FindingsMapObject* as_map(PyObject* self) { return reinterpret_cast<FindingsMapObject*>(self); }

// Adds every item to the batch, keeping each in `kept`; false with an
// exception set when an item is no str or iterating fails.
bool add_all(JudgeBatch& batch, PyObject* submissions, PyObject* kept) {
  PyObject* items = PyObject_GetIter(submissions);
  if (!items) return false;
  while (PyObject* item = PyIter_Next(items)) {
    std::string_view text;
    const bool added = text_argument(item, "map_findings", "submissions", text) &&
                       PyList_Append(kept, item) == 0;
    Py_DECREF(item);
    if (!added) {
      Py_DECREF(items);
      return false;
    }
    batch.add(text);
  }
  Py_DECREF(items);
  return !PyErr_Occurred();
}

// An exception object of `type` carrying the failure's message.
PyObject* new_exception(PyObject* type, const Failure& failure) {
  PyObject* message = new_str(failure.message);
  if (!message) return nullptr;
  PyObject* exception = PyObject_CallFunctionObjArgs(type, message, nullptr);
  Py_DECREF(message);
  return exception;
}

PyObject* outcome_object(const BatchOutcome& outcome) {
  if (outcome.findings.ok()) return new_list(outcome.findings.value(), submission_finding_dict);
  // As Form.findings raises them: ValueError for what could not be read,
  // RuntimeError for what could not be judged.
  return new_exception(outcome.unread ? PyExc_ValueError : PyExc_RuntimeError,
                       outcome.findings.failure());
}

// The next outcome, waiting for the workers in short spells between which
// signals are handled: Ctrl-C stops the batch and raises.
std::optional<BatchOutcome> wait_for_next(JudgeBatch& batch) {
  if (std::optional<BatchOutcome> taken = batch.next_taken()) return taken;
  while (!batch.finished()) {
    ReleasedSignalCheck stop;
    std::optional<BatchOutcome> outcome =
        without_gil([&] { return batch.next(kPatience, &stop); });
    if (stop.stopped() || (!outcome && PyErr_CheckSignals() != 0)) {
      batch.stop();
      return std::nullopt;
    }
    if (outcome) return outcome;
  }
  return std::nullopt;
}

PyObject* findings_map_next(PyObject* self) {
  return guarded([&]() -> PyObject* {
    std::optional<BatchOutcome> outcome = wait_for_next(*as_map(self)->batch);
    return outcome ? outcome_object(*outcome) : nullptr;
  });
}

void findings_map_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete as_map(self)->batch;  // stops the workers and waits for them
  Py_XDECREF(as_map(self)->submissions);
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

PyObject* findings_map_iter(PyObject* self) { return Py_NewRef(self); }

PyType_Slot findings_map_slots[] = {
    {Py_tp_doc, const_cast<char*>("The outcomes of Form.map_findings, in the submissions' order.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(findings_map_dealloc)},
    {Py_tp_iter, reinterpret_cast<void*>(findings_map_iter)},
    {Py_tp_iternext, reinterpret_cast<void*>(findings_map_next)},
    {0, nullptr},
};

PyType_Spec findings_map_spec = {
    .name = "tolvar.FindingsMap",
    .basicsize = sizeof(FindingsMapObject),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    .slots = findings_map_slots,
};

}  // namespace

PyObject* new_findings_map(PyObject* type, std::unique_ptr<JudgeBatch> batch,
                           PyObject* submissions) {
  PyObject* kept = PyList_New(0);
  if (!kept) return nullptr;
  if (!add_all(*batch, submissions, kept)) {
    batch.reset();  // before the texts it borrows go
    Py_DECREF(kept);
    return nullptr;
  }
  batch->close();
  auto map_type = reinterpret_cast<PyTypeObject*>(type);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(map_type, Py_tp_alloc));
  PyObject* self = alloc(map_type, 0);
  if (!self) {
    batch.reset();
    Py_DECREF(kept);
    return nullptr;
  }
  as_map(self)->batch = batch.release();
  as_map(self)->submissions = kept;
  return self;
}

PyObject* make_findings_map_type(PyObject* module) {
  return PyType_FromModuleAndSpec(module, &findings_map_spec, nullptr);
}

}  // namespace tolvar::py
