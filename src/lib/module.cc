// The tolvar module: its version, three functions and the Session type.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/convert.h"
#include "lib/finding_dicts.h"
#include "lib/findings_map_type.h"
#include "lib/folder_walk_type.h"
#include "lib/write_out_function.h"
#include "lib/form_type.h"
#include "lib/module_state.h"
#include "lib/python.h"
#include "lib/session_type.h"
#include "lib/signal_check.h"
#include "rules/engine.h"

namespace tolvar::py {
namespace {

PyObject* check_form(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"form", nullptr};
  PyObject* form_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:check_form", const_cast<char**>(keywords),
                                   &form_arg)) {
    return nullptr;
  }
  std::string_view form;
  if (!text_argument(form_arg, "check_form", "form", form)) return nullptr;
  return guarded([&]() -> PyObject* {
    Result<Source> text = read_source(form, "form");
    if (!text.ok()) return raise(PyExc_ValueError, text.failure());
    SignalCheck stop;
    Result<std::vector<Finding>> findings = check_form_text(text.value().text(), &stop);
    if (stop.stopped()) return nullptr;
    if (!findings.ok()) return raise(PyExc_RuntimeError, findings.failure());
    return new_list(findings.value(), finding_dict);
  });
}

// The arguments of a call about one submission: (first, submission,
// today=None, now=None), where `first` names what the call is about, and
// for a call that takes them, the keyword-only attachments=None.
struct SubmissionCall {
  std::string_view first;
  std::string_view submission;
  std::optional<std::string_view> today;
  std::optional<std::string_view> now;
  Attachments attachments;
};

bool submission_call_arguments(PyObject* args, PyObject* kwargs, const char* function,
                               const char* first, bool takes_attachments, SubmissionCall& call) {
  const char* keywords[] = {first, "submission", "today", "now",
                            takes_attachments ? "attachments" : nullptr, nullptr};
  const std::string format = std::string("OO|OO") + (takes_attachments ? "$O:" : ":") + function;
  PyObject *first_arg = nullptr, *submission_arg = nullptr, *today_arg = nullptr,
           *now_arg = nullptr, *attachments_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, format.c_str(), const_cast<char**>(keywords),
                                   &first_arg, &submission_arg, &today_arg, &now_arg,
                                   &attachments_arg)) {
    return false;
  }
  PyObject* kept = nullptr;  // only a Form keeps its attachments
  const bool ok =
      text_argument(first_arg, function, first, call.first) &&
      text_argument(submission_arg, function, "submission", call.submission) &&
      optional_text_argument(today_arg, function, "today", call.today) &&
      optional_text_argument(now_arg, function, "now", call.now) &&
      attachments_argument(attachments_arg, function, call.attachments, kept);
  Py_XDECREF(kept);
  return ok;
}

PyObject* submission_findings(PyObject*, PyObject* args, PyObject* kwargs) {
  SubmissionCall call;
  if (!submission_call_arguments(args, kwargs, "submission_findings", "form", true, call)) {
    return nullptr;
  }
  return guarded([&]() -> PyObject* {
    Result<Source> form_text = read_source(call.first, "form");
    if (!form_text.ok()) return raise(PyExc_ValueError, form_text.failure());
    Result<Source> submission_text = read_source(call.submission, "submission");
    if (!submission_text.ok()) return raise(PyExc_ValueError, submission_text.failure());
    SignalCheck stop;
    Result<std::vector<SubmissionFinding>> findings =
        judge_submission_text(form_text.value().text(), std::move(submission_text).value(),
                              GivenClock{call.today, call.now}, call.attachments, &stop);
    if (stop.stopped()) return nullptr;
    if (!findings.ok()) return raise(PyExc_RuntimeError, findings.failure());
    return new_list(findings.value(), submission_finding_dict);
  });
}

PyObject* eval_expression(PyObject*, PyObject* args, PyObject* kwargs) {
  SubmissionCall call;
  if (!submission_call_arguments(args, kwargs, "eval_expression", "expression", false, call)) {
    return nullptr;
  }
  return guarded([&]() -> PyObject* {
    Result<Source> text = read_source(call.submission, "submission");
    if (!text.ok()) return raise(PyExc_ValueError, text.failure());
    SignalCheck stop;
    Result<std::string> value = evaluate_expression_text(call.first, text.value().text(),
                                                         GivenClock{call.today, call.now}, &stop);
    if (stop.stopped()) return nullptr;
    if (!value.ok()) return raise(PyExc_RuntimeError, value.failure());
    return new_str(value.value());
  });
}

constexpr const char kCheckFormDoc[] =
    "check_form(form)\n--\n\n"
    "Will this form mean the same thing on a tablet and in a browser?\n\n"
    "Returns one dict per finding: the bind it belongs to, which rule, the\n"
    "construct at fault, where it breaks, what happens, and what to write\n"
    "instead. An empty list means the form travels.";

constexpr const char kSubmissionFindingsDoc[] =
    "submission_findings(form, submission, today=None, now=None, *, attachments=None)\n--\n\n"
    "What a form's own rules say about a submission.\n\n"
    "A rule the engine could not evaluate comes back as `not-evaluated`,\n"
    "never as a pass: a rule that did not run has not been satisfied, and\n"
    "reporting it as clean would be the one failure worth avoiding.\n\n"
    "`attachments` holds the files the form's external instances and\n"
    "pulldata() read: a folder, or a dict from file name to path. A\n"
    "submission of another form (another root element or form id) raises\n"
    "RuntimeError rather than coming back clean.";

constexpr const char kEvalExpressionDoc[] =
    "eval_expression(expression, submission, today=None, now=None)\n--\n\n"
    "Evaluate one expression against a submission, for working out what a\n"
    "rule does before writing it into a form.\n\n"
    "An expression this engine cannot evaluate raises, rather than returning\n"
    "a plausible value.";

PyMethodDef module_functions[] = {
    {"check_form", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(check_form)),
     METH_VARARGS | METH_KEYWORDS, kCheckFormDoc},
    {"submission_findings",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(submission_findings)),
     METH_VARARGS | METH_KEYWORDS, kSubmissionFindingsDoc},
    {"eval_expression",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(eval_expression)),
     METH_VARARGS | METH_KEYWORDS, kEvalExpressionDoc},
    {nullptr, nullptr, 0, nullptr},
};

// The command line's own, after the public names.
PyMethodDef command_functions[] = {
    {"_walk_folder", walk_folder_function, METH_VARARGS, kWalkFolderDoc},
    {"_write_out", write_out_function, METH_VARARGS, kWriteOutDoc},
    {nullptr, nullptr, 0, nullptr},
};

// Adds the type and drops the reference to it; false on failure.
bool add_type(PyObject* module, const char* name, PyObject* type) {
  if (!type) return false;
  int status = PyModule_AddObjectRef(module, name, type);
  Py_DECREF(type);
  return status == 0;
}

// Attributes go in this order: __version__, the three functions, Session,
// Form, then the command line's own.
int module_exec(PyObject* module) {
  if (PyModule_AddStringConstant(module, "__version__", "0.1.1") < 0) return -1;
  if (PyModule_AddFunctions(module, module_functions) < 0) return -1;
  PyObject* session_type = make_session_type(module);
  if (!session_type) return -1;
  ModuleState* state = static_cast<ModuleState*>(PyModule_GetState(module));
  state->session_type = Py_NewRef(session_type);
  if (!add_type(module, "Session", session_type)) return -1;
  state->findings_map_type = make_findings_map_type(module);
  if (!state->findings_map_type) return -1;
  state->folder_walk_type = make_folder_walk_type(module);
  if (!state->folder_walk_type) return -1;
  if (!add_type(module, "Form", make_form_type(module))) return -1;
  return PyModule_AddFunctions(module, command_functions);
}

int module_traverse(PyObject* module, visitproc visit, void* arg) {
  Py_VISIT(static_cast<ModuleState*>(PyModule_GetState(module))->session_type);
  Py_VISIT(static_cast<ModuleState*>(PyModule_GetState(module))->findings_map_type);
  Py_VISIT(static_cast<ModuleState*>(PyModule_GetState(module))->folder_walk_type);
  return 0;
}

int module_clear(PyObject* module) {
  Py_CLEAR(static_cast<ModuleState*>(PyModule_GetState(module))->session_type);
  Py_CLEAR(static_cast<ModuleState*>(PyModule_GetState(module))->findings_map_type);
  Py_CLEAR(static_cast<ModuleState*>(PyModule_GetState(module))->folder_walk_type);
  return 0;
}

void module_free(void* module) { module_clear(static_cast<PyObject*>(module)); }

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "tolvar",
    "Checks XForms for portability between Collect and Enketo, judges submissions\n"
    "by a form's own rules, evaluates expressions and fills in forms.",
    sizeof(ModuleState),
    nullptr,
    module_slots,
    module_traverse,
    module_clear,
    module_free,
};

}  // namespace
}  // namespace tolvar::py

PyMODINIT_FUNC PyInit_tolvar(void) { return PyModuleDef_Init(&tolvar::py::module_def); }
