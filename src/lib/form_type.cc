#include "lib/form_type.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/convert.h"
#include "lib/finding_dicts.h"
#include "lib/findings_map_type.h"
#include "lib/module_state.h"
#include "lib/session_type.h"
#include "lib/signal_check.h"
#include "lib/without_gil.h"
#include "rules/engine.h"

namespace tolvar::py {
namespace {

// Immutable once made: every call only reads the loaded form, so calls from
// any number of threads need no lock.
struct FormObject {
  PyObject_HEAD
  std::shared_ptr<const LoadedForm> loaded;
  // The form's XML text (a str): what check() reads and what pickles.
  PyObject* text;
  // None, the folder (a str) or a dict of file names to paths: what the
  // form's attached files were read from, and pickle from again.
  PyObject* attachments;
};

FormObject* as_form(PyObject* self) { return reinterpret_cast<FormObject*>(self); }

std::string_view text_of(PyObject* self) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(as_form(self)->text, &size);
  return {text, static_cast<std::size_t>(size)};
}

PyObject* form_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"form", "attachments", nullptr};
  PyObject *form_arg = nullptr, *attachments_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|$O:Form", const_cast<char**>(keywords),
                                   &form_arg, &attachments_arg)) {
    return nullptr;
  }
  std::string_view form;
  Attachments attachments;
  PyObject* kept = nullptr;
  if (!text_argument(form_arg, "Form", "form", form) ||
      !attachments_argument(attachments_arg, "Form", attachments, kept)) {
    return nullptr;
  }
  PyObject* self = guarded([&]() -> PyObject* {
    Result<Source> source = read_source(form, "form");
    if (!source.ok()) return raise(PyExc_ValueError, source.failure());
    Result<LoadedForm> loaded = load_form_text(source.value().text(), attachments);
    if (!loaded.ok()) return raise(PyExc_RuntimeError, loaded.failure());
    auto shared = std::make_shared<const LoadedForm>(std::move(loaded).value());
    // Kept as text even when given as a path, so a pickle does not depend on
    // the file.
    PyObject* text = new_str(source.value().text());
    if (!text) return nullptr;
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* made = alloc(type, 0);
    if (!made) {
      Py_DECREF(text);
      return nullptr;
    }
    new (&as_form(made)->loaded) std::shared_ptr<const LoadedForm>(std::move(shared));
    as_form(made)->text = text;
    as_form(made)->attachments = Py_NewRef(kept);
    return made;
  });
  Py_DECREF(kept);
  return self;
}

void form_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  as_form(self)->loaded.~shared_ptr();
  Py_XDECREF(as_form(self)->text);
  Py_XDECREF(as_form(self)->attachments);
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

// Reads (first, today=None, now=None); `first` is left null when omitted.
bool clock_call_arguments(PyObject* args, PyObject* kwargs, const char* format,
                          const char* method, const char* first, PyObject*& first_arg,
                          GivenClock& clock) {
  const char* keywords[] = {first, "today", "now", nullptr};
  PyObject *today_arg = nullptr, *now_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords),
                                   &first_arg, &today_arg, &now_arg)) {
    return false;
  }
  return optional_text_argument(today_arg, method, "today", clock.today) &&
         optional_text_argument(now_arg, method, "now", clock.now);
}

PyObject* form_findings(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* submission_arg = nullptr;
  std::string_view submission;
  GivenClock clock;
  if (!clock_call_arguments(args, kwargs, "O|OO:findings", "findings", "submission",
                            submission_arg, clock) ||
      !text_argument(submission_arg, "findings", "submission", submission)) {
    return nullptr;
  }
  return guarded([&]() -> PyObject* {
    Result<Source> text = without_gil([&] { return read_source(submission, "submission"); });
    if (!text.ok()) return raise(PyExc_ValueError, text.failure());
    ReleasedSignalCheck stop;
    Result<std::vector<SubmissionFinding>> findings = without_gil([&] {
      return judge(*as_form(self)->loaded, std::move(text).value(), clock, &stop);
    });
    if (stop.stopped()) return nullptr;
    if (!findings.ok()) return raise(PyExc_RuntimeError, findings.failure());
    return new_list(findings.value(), submission_finding_dict);
  });
}

// A buffersize: an int of at least 1, as Executor.map takes it.
bool buffer_size_argument(PyObject* argument, std::size_t& size) {
  if (!PyLong_Check(argument)) {
    PyErr_SetString(PyExc_TypeError, "map_findings() buffersize must be an int or None");
    return false;
  }
  const long long value = PyLong_AsLongLong(argument);
  if (value == -1 && PyErr_Occurred()) return false;
  if (value < 1) {
    PyErr_Format(PyExc_ValueError, "map_findings() buffersize must be at least 1, not %lld", value);
    return false;
  }
  size = static_cast<std::size_t>(value);
  return true;
}

PyObject* form_map_findings(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"submissions", "today", "now", "jobs", "buffersize", nullptr};
  PyObject *submissions = nullptr, *today_arg = nullptr, *now_arg = nullptr,
           *buffer_arg = Py_None;
  int jobs = 1;
  GivenClock clock;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|OO$iO:map_findings",
                                   const_cast<char**>(keywords), &submissions, &today_arg,
                                   &now_arg, &jobs, &buffer_arg) ||
      !optional_text_argument(today_arg, "map_findings", "today", clock.today) ||
      !optional_text_argument(now_arg, "map_findings", "now", clock.now)) {
    return nullptr;
  }
  if (jobs < 1) {
    PyErr_Format(PyExc_ValueError, "map_findings() jobs must be at least 1, not %d", jobs);
    return nullptr;
  }
  std::size_t buffer = 0;  // all at once
  if (buffer_arg != Py_None && !buffer_size_argument(buffer_arg, buffer)) return nullptr;
  return guarded([&]() -> PyObject* {
    BatchClock owned{std::optional<std::string>(clock.today), std::optional<std::string>(clock.now)};
    auto batch = std::make_unique<JudgeBatch>(as_form(self)->loaded, std::move(owned),
                                              static_cast<unsigned>(jobs));
    PyObject* map_type = module_state_of(Py_TYPE(self)).findings_map_type;
    return new_findings_map(map_type, std::move(batch), submissions, buffer);
  });
}

PyObject* form_session(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* instance_arg = nullptr;
  std::optional<std::string_view> instance;
  GivenClock clock;
  if (!clock_call_arguments(args, kwargs, "|OOO:session", "session", "instance", instance_arg,
                            clock) ||
      !optional_text_argument(instance_arg, "session", "instance", instance)) {
    return nullptr;
  }
  return guarded([&]() -> PyObject* {
    std::optional<Source> instance_text;
    if (instance) {
      Result<Source> text = read_source(*instance, "instance");
      if (!text.ok()) return raise(PyExc_ValueError, text.failure());
      instance_text = std::move(text).value();
    }
    std::optional<std::string_view> saved;
    if (instance_text) saved = instance_text->text();
    Result<Session> started = Session::start(as_form(self)->loaded, saved, clock);
    if (!started.ok()) return raise(PyExc_RuntimeError, started.failure());
    PyObject* session_type = module_state_of(Py_TYPE(self)).session_type;
    return new_session(session_type, std::move(started).value(), as_form(self)->text,
                       as_form(self)->attachments);
  });
}

PyObject* form_check(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    SignalCheck stop;
    Result<std::vector<Finding>> findings = check_form_text(text_of(self), &stop);
    if (stop.stopped()) return nullptr;
    if (!findings.ok()) return raise(PyExc_RuntimeError, findings.failure());
    return new_list(findings.value(), finding_dict);
  });
}

PyObject* form_reduce(PyObject* self, PyObject*) {
  return reduce_with_attachments(self, as_form(self)->attachments,
                                 Py_BuildValue("(O)", as_form(self)->text));
}

// Forms are equal when their texts and attachments are.
PyObject* form_richcompare(PyObject* self, PyObject* other, int op) {
  if (Py_TYPE(other) != Py_TYPE(self) || (op != Py_EQ && op != Py_NE)) {
    Py_RETURN_NOTIMPLEMENTED;
  }
  const int same_text = PyObject_RichCompareBool(as_form(self)->text, as_form(other)->text, Py_EQ);
  if (same_text < 0) return nullptr;
  int same = same_text;
  if (same) {
    same = PyObject_RichCompareBool(as_form(self)->attachments, as_form(other)->attachments, Py_EQ);
    if (same < 0) return nullptr;
  }
  return PyBool_FromLong(op == Py_EQ ? same : !same);
}

// The text alone: equal forms have equal texts.
Py_hash_t form_hash(PyObject* self) { return PyObject_Hash(as_form(self)->text); }

PyObject* form_repr(PyObject* self) {
  return new_str("<tolvar.Form " + std::to_string(text_of(self).size()) + " bytes>");
}

template <class Method>
PyCFunction as_cfunction(Method method) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

PyMethodDef form_methods[] = {
    {"findings", as_cfunction(form_findings), METH_VARARGS | METH_KEYWORDS,
     "findings($self, submission, today=None, now=None)\n--\n\n"
     "What the form's own rules say about a submission: the same as\n"
     "submission_findings with this form, without loading it again."},
    {"map_findings", as_cfunction(form_map_findings), METH_VARARGS | METH_KEYWORDS,
     "map_findings($self, submissions, today=None, now=None, *, jobs=1, buffersize=None)\n"
     "--\n\n"
     "Form.findings over many submissions, judged on `jobs` threads: an\n"
     "iterator of each submission's findings, in the submissions' order. A\n"
     "submission that cannot be judged gives the exception findings would\n"
     "raise for it (ValueError, RuntimeError) in place of its findings, and\n"
     "the rest go on. The submissions are taken at once, as Executor.map\n"
     "takes them, and judged at most 16,384 ahead of the reader; with a\n"
     "`buffersize`, as Executor.map takes one, they are taken as the\n"
     "findings are asked for, `buffersize` of them ahead of the reader, and\n"
     "an error from the iterable comes where it is met."},
    {"session", as_cfunction(form_session), METH_VARARGS | METH_KEYWORDS,
     "session($self, instance=None, today=None, now=None)\n--\n\n"
     "A Session of this form, which shares the loaded form instead of\nloading it again."},
    {"check", as_cfunction(form_check), METH_NOARGS,
     "check($self)\n--\n\nThe form's portability findings, as check_form gives them."},
    {"__reduce__", as_cfunction(form_reduce), METH_NOARGS,
     "__reduce__($self)\n--\n\nPickles as the form's text and attachments."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char kFormDoc[] =
    "Form(form, *, attachments=None)\n--\n\n"
    "A form loaded once, to judge any number of submissions against.\n\n"
    "Loading a large form costs far more than judging a submission, so a\n"
    "batch loads it once. Immutable and safe to share between threads; it\n"
    "pickles as its text and attachments, so process pools and cluster\n"
    "schedulers can ship it to their workers, which read the attached\n"
    "files again from the same paths.\n\n"
    "`attachments` holds the files the form's external instances and\n"
    "pulldata() read: a folder, or a dict from file name to path. A CSV\n"
    "file becomes a root of item rows, one child per column; an XML file\n"
    "is read as the instance. Its sessions share them.";

PyType_Slot form_slots[] = {
    {Py_tp_doc, const_cast<char*>(kFormDoc)},
    {Py_tp_new, reinterpret_cast<void*>(form_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(form_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(form_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(form_richcompare)},
    {Py_tp_hash, reinterpret_cast<void*>(form_hash)},
    {Py_tp_methods, form_methods},
    {0, nullptr},
};

PyType_Spec form_spec = {
    .name = "tolvar.Form",
    .basicsize = sizeof(FormObject),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    .slots = form_slots,
};

}  // namespace

PyObject* make_form_type(PyObject* module) {
  return PyType_FromModuleAndSpec(module, &form_spec, nullptr);
}

}  // namespace tolvar::py
