#include "lib/session_type.h"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "lib/convert.h"
#include "lib/signal_check.h"
#include "rules/engine.h"

namespace tolvar::py {
namespace {

struct SessionObject {
  PyObject_HEAD
  Session* state;
  // The form's XML text (a str) and its attachments (as a Form keeps
  // them), for pickling.
  PyObject* form_text;
  PyObject* attachments;
  // Readers in progress (> 0) or a writer (-1). Calls run no Python code
  // while they hold the session but a signal handler, so a conflict means
  // re-entrant use.
  int holders;
};

SessionObject* as_session(PyObject* self) { return reinterpret_cast<SessionObject*>(self); }

PyObject* raise_busy() { return raise(PyExc_RuntimeError, "the session is busy with another call"); }

// Holds a session for one call, shared or exclusive, and lets it go on exit.
class Hold {
 public:
  Hold(PyObject* self, bool exclusive) : session_(as_session(self)), exclusive_(exclusive) {
    int& holders = session_->holders;
    if (exclusive ? holders != 0 : holders < 0) return;
    holders = exclusive ? -1 : holders + 1;
    held_ = true;
  }
  ~Hold() {
    if (held_) session_->holders = exclusive_ ? 0 : session_->holders - 1;
  }
  // False when another call holds the session in a way this one cannot share.
  bool held() const { return held_; }
  Session& session() const { return *session_->state; }

 private:
  SessionObject* session_;
  bool exclusive_;
  bool held_ = false;
};

// Runs body(session) while the session is held, shared or exclusive; raises
// RuntimeError instead when another call holds it.
template <class Body>
PyObject* holding(PyObject* self, bool exclusive, Body&& body) {
  return guarded([&]() -> PyObject* {
    Hold hold(self, exclusive);
    if (!hold.held()) return raise_busy();
    return body(hold.session());
  });
}

PyObject* session_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"form", "instance", "today", "now", "attachments", nullptr};
  PyObject *form_arg = nullptr, *instance_arg = nullptr, *today_arg = nullptr, *now_arg = nullptr,
           *attachments_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O|OOO$O:Session", const_cast<char**>(keywords),
                                   &form_arg, &instance_arg, &today_arg, &now_arg,
                                   &attachments_arg)) {
    return nullptr;
  }
  std::string_view form;
  std::optional<std::string_view> instance, today, now;
  Attachments attachments;
  PyObject* kept = nullptr;
  if (!text_argument(form_arg, "Session", "form", form) ||
      !optional_text_argument(instance_arg, "Session", "instance", instance) ||
      !optional_text_argument(today_arg, "Session", "today", today) ||
      !optional_text_argument(now_arg, "Session", "now", now) ||
      !attachments_argument(attachments_arg, "Session", attachments, kept)) {
    return nullptr;
  }
  PyObject* self = guarded([&]() -> PyObject* {
    Result<Source> form_text = read_source(form, "form");
    if (!form_text.ok()) return raise(PyExc_ValueError, form_text.failure());
    std::optional<Source> instance_text;
    if (instance) {
      Result<Source> text = read_source(*instance, "instance");
      if (!text.ok()) return raise(PyExc_ValueError, text.failure());
      instance_text = std::move(text).value();
    }
    std::optional<std::string_view> saved;
    if (instance_text) saved = instance_text->text();
    Result<Session> started =
        Session::start(form_text.value().text(), saved, GivenClock{today, now}, attachments);
    if (!started.ok()) return raise(PyExc_RuntimeError, started.failure());
    // Kept as text even when given as a path, so a pickle does not depend on
    // the file.
    PyObject* text = new_str(form_text.value().text());
    if (!text) return nullptr;
    PyObject* made = new_session(reinterpret_cast<PyObject*>(type), std::move(started).value(),
                                 text, kept);
    Py_DECREF(text);
    return made;
  });
  Py_DECREF(kept);
  return self;
}

void session_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete as_session(self)->state;
  Py_XDECREF(as_session(self)->form_text);
  Py_XDECREF(as_session(self)->attachments);
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

// Reads one path argument (and a second text one when `value` is given).
bool path_arguments(PyObject* args, PyObject* kwargs, const char* format, const char* method,
                    std::string_view& path, std::string_view* value) {
  static const char* path_only[] = {"path", nullptr};
  static const char* path_value[] = {"path", "value", nullptr};
  PyObject *path_arg = nullptr, *value_arg = nullptr;
  char** keywords = const_cast<char**>(value ? path_value : path_only);
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, keywords, &path_arg, &value_arg)) {
    return false;
  }
  if (!text_argument(path_arg, method, "path", path)) return false;
  return !value || text_argument(value_arg, method, "value", *value);
}

PyObject* session_set(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::string_view path, value;
  if (!path_arguments(args, kwargs, "OO:set", "set", path, &value)) return nullptr;
  return holding(self, true, [&](Session& session) -> PyObject* {
    SignalCheck stop;
    Status done = session.set(path, value, &stop);
    if (stop.stopped()) return nullptr;
    if (!done.ok()) return raise(PyExc_ValueError, done.failure());
    Py_RETURN_NONE;
  });
}

PyObject* session_get(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::string_view path;
  if (!path_arguments(args, kwargs, "O:get", "get", path, nullptr)) return nullptr;
  return holding(self, false, [&](Session& session) -> PyObject* {
    SignalCheck stop;
    std::string answer = session.get(path, &stop);
    if (stop.stopped()) return nullptr;
    return new_str(answer);
  });
}

PyObject* session_declares(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::string_view path;
  if (!path_arguments(args, kwargs, "O:declares", "declares", path, nullptr)) return nullptr;
  return holding(self, false, [&](Session& session) -> PyObject* {
    return PyBool_FromLong(session.declares(path));
  });
}

PyObject* session_add_row(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::string_view path;
  if (!path_arguments(args, kwargs, "O:add_row", "add_row", path, nullptr)) return nullptr;
  return holding(self, true, [&](Session& session) -> PyObject* {
    SignalCheck stop;
    Result<std::size_t> rows = session.add_row(path, &stop);
    if (stop.stopped()) return nullptr;
    if (!rows.ok()) return raise(PyExc_ValueError, rows.failure());
    return PyLong_FromSize_t(rows.value());
  });
}

PyObject* session_remove_row(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"path", "position", nullptr};
  PyObject *path_arg = nullptr, *position_arg = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO:remove_row", const_cast<char**>(keywords),
                                   &path_arg, &position_arg)) {
    return nullptr;
  }
  std::string_view path;
  if (!text_argument(path_arg, "remove_row", "path", path)) return nullptr;
  // __index__ may run Python code, so the position is read before the hold.
  PyObject* index = PyNumber_Index(position_arg);
  if (!index) return nullptr;
  unsigned long long position = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (position == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  return holding(self, true, [&](Session& session) -> PyObject* {
    SignalCheck stop;
    Result<std::size_t> rows = session.remove_row(path, position, &stop);
    if (stop.stopped()) return nullptr;
    if (!rows.ok()) return raise(PyExc_ValueError, rows.failure());
    return PyLong_FromSize_t(rows.value());
  });
}

PyObject* recompute_dict(const RecomputeResult& result) {
  PyObject* dict = PyDict_New();
  if (!dict) return nullptr;
  auto text = [](const std::string& value) { return new_str(value); };
  auto flag = [](bool value) { return PyBool_FromLong(value); };
  auto count = [](std::size_t value) { return PyLong_FromSize_t(value); };
  bool ok = set_item(dict, "calculated", new_dict(result.calculated, text)) &&
            set_item(dict, "relevant", new_dict(result.relevant, flag)) &&
            set_item(dict, "missing", new_list(result.missing, text)) &&
            set_item(dict, "invalid", new_list(result.invalid, new_str_pair)) &&
            set_item(dict, "failed", new_list(result.failed, new_str_pair)) &&
            set_item(dict, "repeats", new_dict(result.repeats, count));
  if (!ok) Py_CLEAR(dict);
  return dict;
}

PyObject* session_recompute(PyObject* self, PyObject*) {
  return holding(self, true, [&](Session& session) -> PyObject* {
    SignalCheck stop;
    auto report = [&](const RecomputeResult& result) {
      return stop.stopped() ? nullptr : recompute_dict(result);
    };
    return session.recompute(report, &stop);
  });
}

PyObject* choice_dict(const Choice& choice) {
  PyObject* dict = PyDict_New();
  if (dict && (!set_item(dict, "value", new_str(choice.value)) ||
               !set_item(dict, "label", new_str(choice.label)))) {
    Py_CLEAR(dict);
  }
  return dict;
}

PyObject* session_choices(PyObject* self, PyObject* args, PyObject* kwargs) {
  std::string_view path;
  if (!path_arguments(args, kwargs, "O:choices", "choices", path, nullptr)) return nullptr;
  return holding(self, false, [&](Session& session) -> PyObject* {
    SignalCheck stop;
    std::optional<std::vector<Choice>> choices = session.choices(path, &stop);
    if (stop.stopped()) return nullptr;
    if (!choices) Py_RETURN_NONE;
    return new_list(*choices, choice_dict);
  });
}

PyObject* session_instance_xml(PyObject* self, PyObject*) {
  return holding(self, false, [&](Session& session) -> PyObject* {
    return new_str(session.instance_xml());
  });
}

// An independent session in the same state: same form (shared), instance
// and clock.
PyObject* session_copy(PyObject* self, PyObject*) {
  return holding(self, false, [&](Session& session) -> PyObject* {
    return new_session(reinterpret_cast<PyObject*>(Py_TYPE(self)), session,
                       as_session(self)->form_text, as_session(self)->attachments);
  });
}

PyObject* session_deepcopy(PyObject* self, PyObject*) { return session_copy(self, nullptr); }

// Session(form, instance, today, now, attachments=...) starts it again
// where it stands.
PyObject* session_reduce(PyObject* self, PyObject*) {
  return holding(self, false, [&](Session& session) -> PyObject* {
    const SessionState& state = session.state();
    PyObject* instance = new_str(session.instance_xml());
    // A clock nobody gave stays None, so the copy refuses today() too.
    auto clock = [](const std::optional<std::string>& text) {
      return text ? new_str(*text) : Py_NewRef(Py_None);
    };
    PyObject* today = instance ? clock(state.today) : nullptr;
    PyObject* now = today ? clock(state.now) : nullptr;
    PyObject* reduced = nullptr;
    if (now) {
      reduced = reduce_with_attachments(
          self, as_session(self)->attachments,
          Py_BuildValue("(OOOO)", as_session(self)->form_text, instance, today, now));
    }
    Py_XDECREF(instance);
    Py_XDECREF(today);
    Py_XDECREF(now);
    return reduced;
  });
}

PyObject* session_repr(PyObject* self) {
  return holding(self, false, [&](Session& session) -> PyObject* {
    std::size_t bytes = session.instance_xml().size();
    return new_str("<tolvar.Session " + std::to_string(bytes) + " bytes>");
  });
}

template <class Method>
PyCFunction as_cfunction(Method method) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(method));
}

PyMethodDef session_methods[] = {
    {"set", as_cfunction(session_set), METH_VARARGS | METH_KEYWORDS,
     "set($self, path, value)\n--\n\nAnswer a question."},
    {"get", as_cfunction(session_get), METH_VARARGS | METH_KEYWORDS,
     "get($self, path)\n--\n\nThe current answer, or the empty string."},
    {"declares", as_cfunction(session_declares), METH_VARARGS | METH_KEYWORDS,
     "declares($self, path)\n--\n\nWhether the path names an element the form declares.\n\n"
     "`set` creates any element it does not find, so a misspelt path writes\n"
     "a new element; ask first to catch it. Row indices do not matter:\n"
     "/data/rep[3]/q is declared when the repeat rep declares q."},
    {"add_row", as_cfunction(session_add_row), METH_VARARGS | METH_KEYWORDS,
     "add_row($self, path)\n--\n\nAdd a row to a repeat; returns how many there are now."},
    {"remove_row", as_cfunction(session_remove_row), METH_VARARGS | METH_KEYWORDS,
     "remove_row($self, path, position)\n--\n\nRemove one row, counted from 1 as XPath counts."},
    {"recompute", as_cfunction(session_recompute), METH_NOARGS,
     "recompute($self)\n--\n\nRun the form's logic and apply what it derives.\n\n"
     "Returns what is asked, what was calculated (only where it changed),\n"
     "what is missing, what was rejected, and how many rows each repeat\nhas."},
    {"choices", as_cfunction(session_choices), METH_VARARGS | METH_KEYWORDS,
     "choices($self, path)\n--\n\nThe choices a filtered question offers right now, or `None` "
     "when its\nlist is fixed."},
    {"instance_xml", as_cfunction(session_instance_xml), METH_NOARGS,
     "instance_xml($self)\n--\n\nThe instance as it would be submitted."},
    {"__copy__", as_cfunction(session_copy), METH_NOARGS,
     "__copy__($self)\n--\n\nAn independent session with the same instance and clock, to try a\n"
     "what-if on and throw away."},
    {"__deepcopy__", as_cfunction(session_deepcopy), METH_O,
     "__deepcopy__($self, memo)\n--\n\nThe same as __copy__: a session shares nothing it can change."},
    {"__reduce__", as_cfunction(session_reduce), METH_NOARGS,
     "__reduce__($self)\n--\n\nPickles as the form's text, the instance, the clock and the\n"
     "attachments."},
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char kSessionDoc[] =
    "Session(form, instance=None, today=None, now=None, *, attachments=None)\n--\n\n"
    "A form being filled in.\n\n"
    "Holds the instance, applies what the form derives, and reports what\n"
    "moved. The same engine that judges the submission when it arrives, so a\n"
    "form cannot behave one way while it is being filled and another way\n"
    "afterwards. `attachments` is as for submission_findings.";

PyType_Slot session_slots[] = {
    {Py_tp_doc, const_cast<char*>(kSessionDoc)},
    {Py_tp_new, reinterpret_cast<void*>(session_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(session_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(session_repr)},
    {Py_tp_methods, session_methods},
    {0, nullptr},
};

PyType_Spec session_spec = {
    .name = "tolvar.Session",
    .basicsize = sizeof(SessionObject),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    .slots = session_slots,
};

}  // namespace

PyObject* new_session(PyObject* type, Session session, PyObject* form_text,
                      PyObject* attachments) {
  // Made before the Python object, so that nothing can fail once it exists.
  auto state = std::make_unique<Session>(std::move(session));
  auto session_type = reinterpret_cast<PyTypeObject*>(type);
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(session_type, Py_tp_alloc));
  PyObject* self = alloc(session_type, 0);
  if (!self) return nullptr;
  as_session(self)->state = state.release();
  as_session(self)->form_text = Py_NewRef(form_text);
  as_session(self)->attachments = Py_NewRef(attachments);
  as_session(self)->holders = 0;
  return self;
}

PyObject* make_session_type(PyObject* module) {
  return PyType_FromModuleAndSpec(module, &session_spec, nullptr);
}

}  // namespace tolvar::py
