#include "rules/model_document.h"

#include <utility>

namespace tolvar {
namespace {

// Secondary instance roots, copied in ascending id order; then document order.
// An external instance nothing has loaded stays out, so that instance()
// refuses it rather than finding an empty element.
void append_secondary_instances(const Form& form, XmlDocument& model) {
  for (const auto& [id, secondary] : form.instances) {
    if (secondary.has_root() && !is_unloaded_external(secondary)) {
      model.append_child(model.root, model.share_from(secondary, secondary.root));
    }
  }
  model.renumber();
}

}  // namespace

XmlDocument model_document(const Form& form, const XmlDocument& instance) {
  XmlDocument model;
  model.root = model.new_element(kModelRoot, "");
  if (instance.has_root()) model.append_child(model.root, model.copy_from(instance, instance.root));
  append_secondary_instances(form, model);
  return model;
}

XmlDocument model_document(const Form& form, XmlDocument&& instance) {
  XmlDocument model = std::move(instance);
  const NodeId instance_root = model.root;
  model.root = model.new_element(kModelRoot, "");
  if (instance_root != kNoNode) model.append_child(model.root, instance_root);
  append_secondary_instances(form, model);
  return model;
}

void strip_model_path(std::string& path) {
  if (path.starts_with(kModelPath)) path.erase(0, kModelPath.size());
}

}  // namespace tolvar
