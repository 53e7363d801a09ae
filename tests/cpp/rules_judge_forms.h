// Small XForms for the form-loading and judge tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rules/form.h"
#include "rules/judge.h"
#include "tree/document.h"

namespace tolvar::testing {

// An XForm whose model holds `model` (instances, binds, itext) and whose body
// holds `body`, written with the prefixes real forms use.
inline std::string xform(std::string_view model, std::string_view body = "") {
  std::string text =
      "<?xml version='1.0'?><h:html xmlns=\"http://www.w3.org/2002/xforms\" "
      "xmlns:h=\"http://www.w3.org/1999/xhtml\" xmlns:jr=\"http://openrosa.org/javarosa\">"
      "<h:head><h:title>t</h:title><model>";
  text += model;
  text += "</model></h:head><h:body>";
  text += body;
  text += "</h:body></h:html>";
  return text;
}

// A form with the given primary instance content and binds.
inline std::string xform_with(std::string_view instance, std::string_view binds,
                              std::string_view body = "") {
  std::string model = "<instance>";
  model += instance;
  model += "</instance>";
  model += binds;
  return xform(model, body);
}

// The findings of `submission` under `form` as finding messages, the way
// callers show them. Fails the test when either text does not load.
inline std::vector<std::string> judge_messages(std::string_view form_text,
                                               std::string_view submission_text) {
  Result<Form> form = load_form(form_text);
  Result<XmlDocument> submission = parse_xml(submission_text);
  std::vector<std::string> messages;
  if (!form.ok() || !submission.ok()) {
    messages.push_back(form.ok() ? submission.error() : form.error());
    return messages;
  }
  for (const SubmissionFinding& finding :
       judge_submission(form.value(), submission.value(), "2024-05-01", "2024-05-01T10:00:00Z")) {
    messages.push_back(std::string(kind_text(finding.kind)) + " " + finding_message(finding));
  }
  return messages;
}

}  // namespace tolvar::testing
