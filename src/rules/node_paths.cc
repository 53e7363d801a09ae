#include "rules/node_paths.h"

#include <charconv>
#include <iterator>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace tolvar {
namespace {

constexpr std::size_t kUnnumbered = std::numeric_limits<std::size_t>::max();

}  // namespace

NodePaths::NodePaths(const XmlDocument& document)
    : document_(document), index_(document.nodes.size(), kUnnumbered) {}

std::string NodePaths::path(NodeId node) {
  std::vector<NodeId> chain;
  for (NodeId id = node; id != kNoNode; id = document_[id].parent) chain.push_back(id);
  std::string path;
  for (auto id = chain.rbegin(); id != chain.rend(); ++id) {
    path += '/';
    path += document_[*id].name;
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
  if (element.parent == kNoNode || element.is_attribute) return 0;
  if (index_[node] == kUnnumbered) number_children(element.parent);
  // A node missing from its parent's list is named as node_path names it.
  return index_[node] == kUnnumbered ? 0 : index_[node];
}

void NodePaths::number_children(NodeId parent) {
  const std::vector<NodeId>& children = document_[parent].children;
  std::unordered_map<std::string_view, std::size_t> totals;
  for (NodeId child : children) ++totals[document_[child].name];
  std::unordered_map<std::string_view, std::size_t> seen;
  for (NodeId child : children) {
    std::string_view name = document_[child].name;
    index_[child] = totals[name] > 1 ? ++seen[name] : 0;
  }
}

}  // namespace tolvar
