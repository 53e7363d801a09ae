#include "rules/bind_targets.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tolvar {
namespace {

// The form's tree of the picked binds' plain nodesets, made when it loaded;
// one made here for a document whose root has another name.
template <class Pick>
TrieMatches plain_targets_of(const Form& form, const NodesetTrie& loaded, const XmlDocument& model,
                             Pick picked) {
  if (!model.has_root() || model[model.root].name() == loaded.root_name()) {
    return loaded.targets(model, form.binds.size());
  }
  NodesetTrie trie(model[model.root].name());
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    if (form.binds[i].target && picked(form.binds[i])) trie.add(i, *form.binds[i].target);
  }
  return trie.targets(model, form.binds.size());
}

}  // namespace

std::vector<NodeId> nodeset_targets(const Expr& nodeset, const XmlDocument& model,
                                    const Host& host) {
  if (!model.has_root()) return {};
  Result<Value> value = evaluate(nodeset, EvalContext{model, model.root, 1, 1, host});
  if (!value.ok() || !std::holds_alternative<NodeSet>(value.value())) return {};
  NodeSet& nodes = std::get<NodeSet>(value.value());
  // Nodes of a document other than the model are not instance nodes.
  if (nodes.document != nullptr && nodes.document != &model) return {};
  return std::vector<NodeId>(nodes.ids.begin(), nodes.ids.end());
}

std::vector<NodeId> bound_nodes(const Bind& bind, const XmlDocument& model, const Host& host) {
  return bind.target ? nodeset_targets(*bind.target, model, host) : std::vector<NodeId>{};
}

TrieMatches plain_bind_targets(const Form& form, const XmlDocument& model) {
  return plain_targets_of(form, form.plain_nodesets, model, [](const Bind&) { return true; });
}

std::vector<bool> date_typed_nodes(const Form& form, const XmlDocument& model, const Host& host) {
  auto is_dated = [](const Bind& bind) { return bind.date_typed; };
  std::vector<bool> dated;
  if (std::none_of(form.binds.begin(), form.binds.end(), is_dated)) return dated;
  dated.assign(model.size(), false);
  const TrieMatches plain = plain_targets_of(form, form.dated_nodesets, model, is_dated);
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    if (!form.binds[i].date_typed) continue;
    if (plain.has(i)) {
      for (NodeId node : plain[i]) dated[node] = true;
    } else {
      for (NodeId node : bound_nodes(form.binds[i], model, host)) dated[node] = true;
    }
  }
  return dated;
}

BindTargets::BindTargets(const Form& form, const XmlDocument& model, const Host& host)
    : plain_(plain_bind_targets(form, model)), evaluated_(form.binds.size()) {
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    if (!plain_.has(i)) evaluated_[i] = bound_nodes(form.binds[i], model, host);
  }
}

}  // namespace tolvar
