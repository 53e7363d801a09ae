// The evaluation document a form's rules run over.
#pragma once

#include <string>
#include <string_view>

#include "rules/form.h"
#include "tree/document.h"

namespace tolvar {

// The name and the path of the evaluation document's root.
inline constexpr std::string_view kModelRoot = "model";
inline constexpr std::string_view kModelPath = "/model";

// A root "model" holding a copy of the instance root, then a copy of every
// secondary instance root in ascending id order, leaving out external ones
// nothing has loaded. The secondary copies point into the form's strings:
// the document must not outlive the form.
XmlDocument model_document(const Form& form, const XmlDocument& instance);
// The same, taking the instance's arena over instead of copying it: its
// nodes keep their ids and the "model" root is added after them.
XmlDocument model_document(const Form& form, XmlDocument&& instance);

// A path in the evaluation document as the form author knows it: without
// the leading "/model".
void strip_model_path(std::string& path);

}  // namespace tolvar
