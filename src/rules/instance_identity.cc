#include "rules/instance_identity.h"

#include "rules/form.h"
#include "rules/form_reading.h"

namespace tolvar {
namespace {

InstanceIdentity identity_of(const XmlDocument& document, NodeId root) {
  const std::optional<std::string_view> id = given_attribute(document, root, "id");
  return InstanceIdentity{std::string(document[root].name()),
                          id ? std::optional<std::string>(*id) : std::nullopt};
}

std::string describe(const InstanceIdentity& identity) {
  std::string text = "<" + identity.root;
  if (identity.id) text += " id=\"" + *identity.id + "\"";
  return text + ">";
}

bool accepts(const InstanceIdentity& form, const InstanceIdentity& submission) {
  if (submission.root != form.root) return false;
  return !form.id || !submission.id || *form.id == *submission.id;
}

}  // namespace

std::optional<InstanceIdentity> form_identity(const XmlDocument& form_document) {
  const NodeId element = primary_instance_element(form_document);
  if (element == kNoNode) return std::nullopt;
  const NodeId root = form_document[element].first_child();
  if (root == kNoNode) return std::nullopt;
  return identity_of(form_document, root);
}

Status check_submission_of(const InstanceIdentity& form, const XmlDocument& submission) {
  if (!submission.has_root()) return Done{};
  const InstanceIdentity theirs = identity_of(submission, submission.root);
  if (accepts(form, theirs)) return Done{};
  return fail("not a submission of this form: its root is " + describe(theirs) +
              ", the form's instance is " + describe(form));
}

}  // namespace tolvar
