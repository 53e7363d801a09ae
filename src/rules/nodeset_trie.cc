#include "rules/nodeset_trie.h"

#include "parser/plain_path.h"

namespace tolvar {

NodesetTrie::NodesetTrie(std::string_view root_name) : root_name_(root_name) {}

// An absolute path whose first step names the root starts at the root
// itself, as the evaluator has it.
void NodesetTrie::add(std::size_t bind, const Expr& nodeset) {
  std::optional<std::vector<std::string_view>> names = plain_child_names(nodeset);
  if (!names) return;
  std::size_t skipped = nodeset.absolute && !names->empty() && names->front() == root_name_;
  std::size_t at = 0;
  for (std::size_t i = skipped; i < names->size(); ++i) {
    auto [found, added] = entries_[at].next.try_emplace(std::string((*names)[i]), entries_.size());
    if (added) entries_.emplace_back();
    at = found->second;
  }
  binds_.emplace_back(bind, at);
}

// One pre-order walk that follows only the branches some nodeset names, so
// each entry collects its matches in document order.
std::vector<std::optional<std::vector<NodeId>>> NodesetTrie::targets(const XmlDocument& model,
                                                                     std::size_t binds) const {
  std::vector<std::optional<std::vector<NodeId>>> targets(binds);
  if (!model.has_root() || binds_.empty()) return targets;
  std::vector<std::vector<NodeId>> matches(entries_.size());
  std::vector<std::pair<NodeId, std::size_t>> stack{{model.root, 0}};
  while (!stack.empty()) {
    auto [node, entry] = stack.back();
    stack.pop_back();
    matches[entry].push_back(node);
    const Entry& at = entries_[entry];
    if (at.next.empty()) continue;
    for (NodeId child = model.last_child(node); child != kNoNode;
         child = model.previous_sibling(child)) {
      auto next = at.next.find(model[child].name());
      if (next != at.next.end()) stack.emplace_back(child, next->second);
    }
  }
  for (auto [bind, entry] : binds_) targets[bind] = matches[entry];
  return targets;
}

}  // namespace tolvar
