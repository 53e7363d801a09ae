#include "rules/nodeset_trie.h"

#include <algorithm>

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
  for (std::size_t i = skipped; i < names->size(); ++i) at = add_branch(at, (*names)[i]);
  ++entries_[at].binds_ending;
  binds_.emplace_back(bind, at);
}

std::size_t NodesetTrie::add_branch(std::size_t at, std::string_view name) {
  const std::uint16_t digest = NameKey::digest_of(name);
  if (std::optional<std::size_t> found = branch(entries_[at], digest, name)) return *found;
  std::vector<Branch>& next = entries_[at].next;
  auto place = std::upper_bound(next.begin(), next.end(), digest,
                                [](std::uint16_t d, const Branch& b) { return d < b.digest; });
  next.insert(place, Branch{digest, std::string(name), entries_.size()});
  entries_.emplace_back();
  return entries_.size() - 1;
}

std::optional<std::size_t> NodesetTrie::branch(const Entry& at, std::uint16_t digest,
                                               std::string_view name) {
  auto first = std::lower_bound(at.next.begin(), at.next.end(), digest,
                                [](const Branch& b, std::uint16_t d) { return b.digest < d; });
  for (auto branch = first; branch != at.next.end() && branch->digest == digest; ++branch) {
    if (branch->name == name) return branch->entry;
  }
  return std::nullopt;
}

// One pre-order walk that follows only the branches some nodeset names, so
// each entry collects its matches in document order. Only entries where a
// nodeset ends keep their matches, and the last bind to read them takes
// them over.
std::vector<std::optional<std::vector<NodeId>>> NodesetTrie::targets(const XmlDocument& model,
                                                                     std::size_t binds) const {
  std::vector<std::optional<std::vector<NodeId>>> targets(binds);
  if (!model.has_root() || binds_.empty()) return targets;
  std::vector<std::vector<NodeId>> matches(entries_.size());
  std::vector<std::pair<NodeId, std::size_t>> stack{{model.root, 0}};
  while (!stack.empty()) {
    auto [node, entry] = stack.back();
    stack.pop_back();
    const Entry& at = entries_[entry];
    if (at.binds_ending != 0) matches[entry].push_back(node);
    if (at.next.empty()) continue;
    for (NodeId child = model.last_child(node); child != kNoNode;
         child = model.previous_sibling(child)) {
      const XmlNode& named = model[child];
      if (auto next = branch(at, named.name_digest(), named.name())) {
        stack.emplace_back(child, *next);
      }
    }
  }
  std::vector<std::size_t> unread(entries_.size());
  for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
    unread[entry] = entries_[entry].binds_ending;
  }
  for (auto [bind, entry] : binds_) {
    if (--unread[entry] == 0) {
      targets[bind] = std::move(matches[entry]);
    } else {
      targets[bind] = matches[entry];
    }
  }
  return targets;
}

}  // namespace tolvar
