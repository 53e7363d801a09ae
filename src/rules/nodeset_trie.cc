#include "rules/nodeset_trie.h"

#include <algorithm>
#include <bit>

#include "parser/plain_path.h"

namespace tolvar {

NodesetTrie::NodesetTrie(std::string_view root_name) : root_name_(root_name) {}

// An absolute path whose first step names the root starts at the root
// itself, as the evaluator has it.
void NodesetTrie::add(std::size_t number, const Expr& nodeset) {
  std::optional<std::vector<std::string_view>> names = plain_child_names(nodeset);
  if (!names) return;
  std::size_t skipped = nodeset.absolute && !names->empty() && names->front() == root_name_;
  std::size_t at = 0;
  for (std::size_t i = skipped; i < names->size(); ++i) at = add_branch(at, (*names)[i]);
  entries_[at].ends_nodeset = true;
  taken_.emplace_back(number, at);
}

std::size_t NodesetTrie::add_branch(std::size_t at, std::string_view name) {
  const std::uint16_t digest = NameKey::digest_of(name);
  if (std::optional<std::size_t> found = branch(entries_[at], digest, name)) return *found;
  Entry& entry = entries_[at];
  entry.next.push_back(Branch{digest, std::string(name), entries_.size()});
  if (2 * entry.next.size() > entry.slots.size()) {
    // Twice the room each time, so that taking in n branches costs O(n).
    entry.slots.assign(std::bit_ceil(std::max<std::size_t>(8, 4 * entry.next.size())), kFree);
    for (std::uint32_t which = 0; which < entry.next.size(); ++which) place(entry, which);
  } else {
    place(entry, static_cast<std::uint32_t>(entry.next.size() - 1));
  }
  entries_.emplace_back();
  return entries_.size() - 1;
}

void NodesetTrie::place(Entry& at, std::uint32_t which) {
  const std::size_t mask = at.slots.size() - 1;
  std::size_t slot = at.next[which].digest & mask;
  while (at.slots[slot] != kFree) slot = (slot + 1) & mask;
  at.slots[slot] = which;
}

std::optional<std::size_t> NodesetTrie::branch(const Entry& at, std::uint16_t digest,
                                               std::string_view name) {
  if (at.slots.empty()) return std::nullopt;
  const std::size_t mask = at.slots.size() - 1;
  for (std::size_t slot = digest & mask; at.slots[slot] != kFree; slot = (slot + 1) & mask) {
    const Branch& branch = at.next[at.slots[slot]];
    if (branch.digest == digest && branch.name == name) return branch.entry;
  }
  return std::nullopt;
}

// One pre-order walk that follows only the branches some nodeset names,
// noting each node where a nodeset ends; the notes are then put in order
// of entry, keeping document order within each, so that every entry's
// nodes lie together and nodesets ending at one entry share them.
TrieMatches NodesetTrie::targets(const XmlDocument& model, std::size_t numbers) const {
  TrieMatches matches;
  matches.ranges_.assign(numbers, {TrieMatches::kNotTaken, TrieMatches::kNotTaken});
  if (!model.has_root() || taken_.empty()) return matches;
  // Room for a small document's walk at once; a large one grows as usual.
  const std::size_t room = std::min<std::size_t>(model.size(), 256);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ends;  // entry, node: 8 bytes a match
  ends.reserve(room);
  std::vector<std::pair<NodeId, std::size_t>> stack{{model.root, 0}};
  stack.reserve(room);
  while (!stack.empty()) {
    auto [node, entry] = stack.back();
    stack.pop_back();
    const Entry& at = entries_[entry];
    if (at.ends_nodeset) {
      ends.emplace_back(static_cast<std::uint32_t>(entry), static_cast<std::uint32_t>(node));
    }
    if (at.next.empty()) continue;
    for (NodeId child = model.last_child(node); child != kNoNode;
         child = model.previous_sibling(child)) {
      const XmlNode& named = model[child];
      if (auto next = branch(at, named.name_digest(), named.name())) {
        stack.emplace_back(child, *next);
      }
    }
  }
  std::vector<std::uint32_t> start(entries_.size() + 1, 0);
  for (const auto& [entry, node] : ends) ++start[entry + 1];
  for (std::size_t entry = 0; entry < entries_.size(); ++entry) start[entry + 1] += start[entry];
  for (auto [number, entry] : taken_) matches.ranges_[number] = {start[entry], start[entry + 1]};
  matches.nodes_.resize(ends.size());
  for (const auto& [entry, node] : ends) matches.nodes_[start[entry]++] = node;
  return matches;
}

}  // namespace tolvar
