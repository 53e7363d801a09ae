#include "lib/findings_map_type.h"

#include <chrono>
#include <deque>
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
  // The submissions' iterator while some are left to take; null once all are.
  PyObject* source;
  // How many taken submissions may wait for the reader; 0 takes all at once.
  std::size_t buffer;
  // The str objects of the submissions taken and not yet handed back, in
  // order: the batch borrows their UTF-8.
  std::deque<PyObject*>* taken;
};

FindingsMapObject* as_map(PyObject* self) { return reinterpret_cast<FindingsMapObject*>(self); }

// The submissions come to an end, or to an error: the batch then judges
// those it has and the iterator lets go of the source.
void end_source(FindingsMapObject& map) {
  Py_CLEAR(map.source);
  map.batch->close();
}

// Takes the next submission: 1 when taken, 0 when none are left, -1 with
// an exception set for an item that is no str or a source that fails.
int take_one(FindingsMapObject& map) {
  PyObject* item = PyIter_Next(map.source);
  std::string_view text;
  if (item && text_argument(item, "map_findings", "submissions", text)) {
    map.taken->push_back(item);
    map.batch->add(text);
    return 1;
  }
  Py_XDECREF(item);
  end_source(map);
  return PyErr_Occurred() ? -1 : 0;
}

// Takes submissions until `buffer` of them wait for the reader, or until
// none are left; false with an exception set.
bool take_ahead(FindingsMapObject& map) {
  while (map.source && (map.buffer == 0 || map.taken->size() < map.buffer)) {
    const int took = take_one(map);
    if (took < 0) return false;
  }
  return true;
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
    FindingsMapObject& map = *as_map(self);
    if (!take_ahead(map)) return nullptr;
    std::optional<BatchOutcome> outcome = wait_for_next(*map.batch);
    if (!outcome) return nullptr;
    // Handed back: the batch reads its text no more.
    Py_DECREF(map.taken->front());
    map.taken->pop_front();
    return outcome_object(*outcome);
  });
}

int findings_map_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(as_map(self)->source);
  return 0;
}

int findings_map_clear(PyObject* self) {
  Py_CLEAR(as_map(self)->source);
  return 0;
}

void findings_map_dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  PyTypeObject* type = Py_TYPE(self);
  FindingsMapObject& map = *as_map(self);
  delete map.batch;  // stops the workers and waits for them, before their texts go
  for (PyObject* text : *map.taken) Py_DECREF(text);
  delete map.taken;
  Py_XDECREF(map.source);
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

PyObject* findings_map_iter(PyObject* self) { return Py_NewRef(self); }

PyType_Slot findings_map_slots[] = {
    {Py_tp_doc, const_cast<char*>("The outcomes of Form.map_findings, in the submissions' order.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(findings_map_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(findings_map_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(findings_map_clear)},
    {Py_tp_iter, reinterpret_cast<void*>(findings_map_iter)},
    {Py_tp_iternext, reinterpret_cast<void*>(findings_map_next)},
    {0, nullptr},
};

PyType_Spec findings_map_spec = {
    .name = "tolvar.FindingsMap",
    .basicsize = sizeof(FindingsMapObject),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION |
             Py_TPFLAGS_HAVE_GC,
    .slots = findings_map_slots,
};

}  // namespace

PyObject* new_findings_map(PyObject* type, std::unique_ptr<JudgeBatch> batch,
                           PyObject* submissions, std::size_t buffer) {
  PyObject* source = PyObject_GetIter(submissions);
  if (!source) return nullptr;
  auto map_type = reinterpret_cast<PyTypeObject*>(type);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(map_type, Py_tp_alloc));
  PyObject* self = alloc(map_type, 0);
  if (!self) {
    Py_DECREF(source);
    return nullptr;
  }
  FindingsMapObject& map = *as_map(self);
  map.batch = batch.release();
  map.source = source;
  map.buffer = buffer;
  map.taken = new std::deque<PyObject*>();
  // Taken at once, or the first `buffer` of them: either way an item that is
  // no str among them is refused here, at the call.
  if (!take_ahead(map)) {
    Py_DECREF(self);
    return nullptr;
  }
  return self;
}

PyObject* make_findings_map_type(PyObject* module) {
  return PyType_FromModuleAndSpec(module, &findings_map_spec, nullptr);
}

}  // namespace tolvar::py
