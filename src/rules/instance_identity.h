// Whether a submission is one of a form's: its root element and form id.
#pragma once

#include <optional>
#include <string>

#include "base/result.h"
#include "tree/document.h"

namespace tolvar {

// The name of an instance's root element and its "id" attribute; a blank
// id counts as none.
struct InstanceIdentity {
  std::string root;
  std::optional<std::string> id;
};

// The identity of the form's primary instance; nothing when it has none.
std::optional<InstanceIdentity> form_identity(const XmlDocument& form_document);

// Done when the submission has the form's root element, and the same id
// unless one of the two has none. Otherwise fails with "not a submission of
// this form: its root is <r id="…">, the form's instance is <data id="…">":
// a submission of another form matches none of the form's binds, and would
// come back clean.
Status check_submission_of(const InstanceIdentity& form, const XmlDocument& submission);

}  // namespace tolvar
