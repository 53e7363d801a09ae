#include "rules/node_paths.h"

#include <charconv>
#include <iterator>
#include <limits>

namespace tolvar {
namespace {

constexpr std::uint32_t kUnnumbered = std::numeric_limits<std::uint32_t>::max();

}  // namespace

NodePaths::NodePaths(const XmlDocument& document)
    : document_(document), index_(document.size(), kUnnumbered) {}

std::string NodePaths::path(NodeId node) {
  std::vector<NodeId> chain;
  for (NodeId id = node; id != kNoNode; id = document_[id].parent()) chain.push_back(id);
  std::string path;
  for (auto id = chain.rbegin(); id != chain.rend(); ++id) {
    path += '/';
    path += document_[*id].name();
    std::size_t index = index_of(*id);
    if (index == 0) continue;
    char digits[24];
    auto converted = std::to_chars(std::begin(digits), std::end(digits), index);
    path += '[';
    path.append(digits, converted.ptr);
    path += ']';
  }
  return path;
}

// The root and attributes are never indexed.
std::size_t NodePaths::index_of(NodeId node) {
  const XmlNode& element = document_[node];
  if (element.parent() == kNoNode || element.is_attribute()) return 0;
  if (index_[node] == kUnnumbered) number_children(element.parent());
  // A node missing from its parent's list is named as node_path names it.
  return index_[node] == kUnnumbered ? 0 : index_[node];
}

// The children grouped by name in one pass, each name's then numbered
// along its chain: linear, and without allocating once the scratch lists
// have grown.
void NodePaths::number_children(NodeId parent) {
  by_name_.group(document_, parent);
  const std::vector<NodeId>& children = by_name_.children();
  for (std::uint32_t first = 0; first < children.size(); ++first) {
    if (index_[children[first]] != kUnnumbered) continue;  // numbered with its name
    const bool repeated = by_name_.next_of_name(first) != ChildrenByName::kNone;
    std::uint32_t number = 0;
    for (std::uint32_t i = first; i != ChildrenByName::kNone; i = by_name_.next_of_name(i)) {
      index_[children[i]] = repeated ? ++number : 0;
    }
  }
}

}  // namespace tolvar
