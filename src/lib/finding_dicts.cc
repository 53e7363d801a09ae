#include "lib/finding_dicts.h"

#include "lib/convert.h"

namespace tolvar::py {

PyObject* finding_dict(const Finding& finding) {
  PyObject* dict = PyDict_New();
  if (!dict) return nullptr;
  bool ok = set_item(dict, "says", new_str(finding_says(finding))) &&
            set_item(dict, "path", new_str(finding.path)) &&
            set_item(dict, "rule", new_str(finding.rule)) &&
            set_item(dict, "expression", new_str(finding.expression)) &&
            set_item(dict, "construct", new_str(finding.construct)) &&
            set_item(dict, "breaks", new_str(breaks_text(finding.breaks))) &&
            set_item(dict, "effect", new_str(finding.effect)) &&
            set_item(dict, "suggestion", finding.suggestion ? new_str(*finding.suggestion)
                                                            : Py_NewRef(Py_None));
  if (!ok) Py_CLEAR(dict);
  return dict;
}

PyObject* submission_finding_dict(const SubmissionFinding& finding) {
  PyObject* dict = PyDict_New();
  if (!dict) return nullptr;
  bool ok = set_item(dict, "path", new_str(finding.path)) &&
            set_item(dict, "kind", new_str(kind_text(finding.kind))) &&
            set_item(dict, "says", new_str(finding_message(finding)));
  if (!ok) Py_CLEAR(dict);
  return dict;
}

}  // namespace tolvar::py
