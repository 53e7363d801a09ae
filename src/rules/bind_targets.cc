#include "rules/bind_targets.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "parser/plain_path.h"

namespace tolvar {
namespace {

// The tree of plain nodesets by their names, below the model root.
struct NameTrie {
  struct Entry {
    std::unordered_map<std::string_view, std::size_t> next;
    std::vector<NodeId> matches;
  };
  std::vector<Entry> entries = std::vector<Entry>(1);  // entry 0: the model root

  std::size_t insert(const std::vector<std::string_view>& names) {
    std::size_t at = 0;
    for (std::string_view name : names) {
      auto [found, added] = entries[at].next.try_emplace(name, entries.size());
      if (added) entries.emplace_back();
      at = found->second;
    }
    return at;
  }
};

// The names a nodeset descends through from the model root, when every step
// is a named child step without predicates. An absolute path whose first
// step names the root starts at the root itself, as the evaluator has it.
std::optional<std::vector<std::string_view>> plain_names(const Expr& nodeset,
                                                         std::string_view root_name) {
  std::optional<std::vector<std::string_view>> names = plain_child_names(nodeset);
  if (names && nodeset.absolute && !names->empty() && names->front() == root_name) {
    names->erase(names->begin());
  }
  return names;
}

// One pre-order walk that follows only the branches some nodeset names, so
// each entry collects its matches in document order.
void walk(const XmlDocument& model, NameTrie& trie) {
  std::vector<std::pair<NodeId, std::size_t>> stack{{model.root, 0}};
  while (!stack.empty()) {
    auto [node, entry] = stack.back();
    stack.pop_back();
    NameTrie::Entry& at = trie.entries[entry];
    at.matches.push_back(node);
    for (NodeId child = model.last_child(node); child != kNoNode;
         child = model.previous_sibling(child)) {
      auto next = at.next.find(model[child].name());
      if (next != at.next.end()) stack.emplace_back(child, next->second);
    }
  }
}

// By bind index: the targets of the picked binds whose nodesets are plain,
// all found in one walk that follows only the branches they name.
template <class Pick>
std::vector<std::optional<std::vector<NodeId>>> plain_targets_of(const Form& form,
                                                                 const XmlDocument& model,
                                                                 Pick picked) {
  std::vector<std::optional<std::vector<NodeId>>> targets(form.binds.size());
  if (!model.has_root()) return targets;
  std::vector<std::pair<std::size_t, std::size_t>> plain;  // bind index, trie entry
  NameTrie trie;  // points into the form's parsed nodesets
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    if (!form.binds[i].target || !picked(form.binds[i])) continue;
    if (auto names = plain_names(*form.binds[i].target, model[model.root].name())) {
      plain.emplace_back(i, trie.insert(*names));
    }
  }
  walk(model, trie);
  for (auto [bind, entry] : plain) targets[bind] = trie.entries[entry].matches;
  return targets;
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
  return std::move(nodes.ids);
}

std::vector<NodeId> bound_nodes(const Bind& bind, const XmlDocument& model, const Host& host) {
  return bind.target ? nodeset_targets(*bind.target, model, host) : std::vector<NodeId>{};
}

std::vector<std::optional<std::vector<NodeId>>> plain_bind_targets(const Form& form,
                                                                   const XmlDocument& model) {
  return plain_targets_of(form, model, [](const Bind&) { return true; });
}

std::vector<bool> date_typed_nodes(const Form& form, const XmlDocument& model, const Host& host) {
  auto is_dated = [](const Bind& bind) { return bind.date_typed; };
  std::vector<bool> dated;
  if (std::none_of(form.binds.begin(), form.binds.end(), is_dated)) return dated;
  dated.assign(model.size(), false);
  std::vector<std::optional<std::vector<NodeId>>> plain = plain_targets_of(form, model, is_dated);
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    if (!form.binds[i].date_typed) continue;
    std::vector<NodeId> nodes = plain[i] ? std::move(*plain[i]) : bound_nodes(form.binds[i], model, host);
    for (NodeId node : nodes) dated[node] = true;
  }
  return dated;
}

std::vector<std::vector<NodeId>> bind_targets(const Form& form, const XmlDocument& model,
                                              const Host& host) {
  std::vector<std::optional<std::vector<NodeId>>> plain = plain_bind_targets(form, model);
  std::vector<std::vector<NodeId>> targets(form.binds.size());
  for (std::size_t i = 0; i < form.binds.size(); ++i) {
    if (plain[i]) {
      targets[i] = std::move(*plain[i]);
      continue;
    }
    targets[i] = bound_nodes(form.binds[i], model, host);
  }
  return targets;
}

}  // namespace tolvar
