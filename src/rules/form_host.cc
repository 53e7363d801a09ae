#include "rules/form_host.h"

#include <utility>

#include "rules/bind_targets.h"
#include "rules/choices.h"

namespace tolvar {

// Date types are read with the host as it stands so far, which types no
// node: a nodeset that is not a plain path sees its nodes as Collect sees
// text.
FormHost::FormHost(const Form& form, const XmlDocument& model, ClockText today, ClockText now,
                   StopCheck* stop)
    : Host(stop), form_(form), model_(model), today_(today), now_(now), children_(model) {
  date_nodes_ = date_typed_nodes(form, model, *this);
  rule_paths_ = form.rule_paths.find_all(model);
  if (form.reads_instances) instance_elements_.emplace(model);
}

const InstanceElements* FormHost::instance_elements(const XmlDocument& document) const {
  return &document == &model_ && instance_elements_ ? &*instance_elements_ : nullptr;
}

std::optional<std::span<const NodeId>> FormHost::found_path(const XmlDocument& document,
                                                            const Expr& path) const {
  if (&document != &model_) return std::nullopt;
  const std::optional<std::size_t> number = form_.rule_paths.number_of(path);
  if (!number || !rule_paths_.has(*number)) return std::nullopt;
  return rule_paths_[*number];
}

bool FormHost::append_children_named(const XmlDocument& document, NodeId parent,
                                     const NameKey& key, NodeIds& out) const {
  return &document == &model_ && children_.append_named(parent, key, out);
}

bool FormHost::typed_as_date(const XmlDocument& document, NodeId node) const {
  return &document == &model_ && node < date_nodes_.size() && date_nodes_[node];
}

const XmlDocument* FormHost::lookup_table(std::string_view id) const {
  return loaded_instance(form_, id);
}

std::optional<std::string> FormHost::choice_label(std::string_view value,
                                                  std::string_view question) const {
  NodeId control = find_control(form_, question);
  if (control == kNoNode) return std::nullopt;
  return option_label(form_, control, value, model_, today_, now_, stop_check());
}

}  // namespace tolvar
