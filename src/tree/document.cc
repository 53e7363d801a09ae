#include "tree/document.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <functional>
#include <iterator>
#include <utility>


namespace tolvar {
namespace {

// The node's name, and its 1-based position among same-named sibling
// elements when there is more than one of them (0 otherwise).
struct PathSegment {
  std::string_view name;
  std::size_t position;
};

// Stops scanning the siblings as soon as the answer is known: a node after
// its first same-named sibling is indexed; the first one is indexed only
// when another follows.
PathSegment path_segment(const XmlDocument& document, NodeId id) {
  const XmlNode& node = document[id];
  if (node.parent() == kNoNode || node.is_attribute()) return {node.name(), 0};
  std::size_t position = 0;
  bool seen_self = false;
  for (NodeId sibling : document.children(node.parent())) {
    if (document[sibling].name() != node.name()) continue;
    if (seen_self) return {node.name(), 1};
    ++position;
    if (sibling != id) continue;
    if (position > 1) return {node.name(), position};
    seen_self = true;
  }
  return {node.name(), 0};
}

struct SubtreeSize {
  std::size_t nodes = 0;
  std::size_t bytes = 0;
};

// Nodes (elements and attributes) and string bytes in an element's subtree.
SubtreeSize subtree_size(const XmlDocument& document, NodeId node) {
  SubtreeSize size;
  const auto count = [&](NodeId id) {
    ++size.nodes;
    size.bytes += document[id].name().size() + document[id].text().size();
  };
  std::vector<NodeId> stack{node};
  while (!stack.empty()) {
    const NodeId element = stack.back();
    stack.pop_back();
    count(element);
    for (NodeId attribute : document.attributes(element)) count(attribute);
    for (NodeId child : document.children(element)) stack.push_back(child);
  }
  return size;
}

}  // namespace

// Six words a node: the largest documents hold tens of millions.
static_assert(sizeof(XmlNode) == 48);

XmlDocument::XmlDocument(const XmlDocument& other)
    : root(other.root), nodes_(other.nodes_), rank_(other.rank_),
      ranked_by_id_(other.ranked_by_id_), ranked_(other.ranked_) {
  restore_strings();
}

XmlDocument& XmlDocument::operator=(const XmlDocument& other) {
  if (this != &other) *this = XmlDocument(other);
  return *this;
}

// After the nodes were copied from another document: their names and texts
// still point into that document's store.
void XmlDocument::restore_strings() {
  std::size_t bytes = 0;
  for (const XmlNode& node : nodes_) bytes += node.name_size_ + node.text_size_;
  strings_.reserve(bytes);
  for (XmlNode& node : nodes_) {
    node.name_ = store(node.name());
    node.text_ = store(node.text());
    node.text_shared_ = false;
  }
}

// Node strings are never null: the empty one is a literal.
const char* XmlDocument::store(std::string_view text) {
  return text.empty() ? "" : strings_.add(text).data();
}

// Room grows at least twofold, as the vector's own growth does: an exact
// fit would move the whole arena at every row added to a long repeat.
void XmlDocument::reserve(std::size_t nodes, std::size_t bytes) {
  const std::size_t needed = nodes_.size() + nodes;
  if (needed > nodes_.capacity()) nodes_.reserve(std::max(needed, 2 * nodes_.capacity()));
  strings_.reserve(bytes);
}

NodeId XmlDocument::new_element(std::string_view name, std::string_view text) {
  XmlNode& node = nodes_.emplace_back();
  node.name_ = store(name);
  node.name_size_ = static_cast<std::uint32_t>(name.size());
  node.name_digest_ = NameKey::digest_of(name);
  node.text_ = store(text);
  node.text_size_ = static_cast<std::uint32_t>(text.size());
  return nodes_.size() - 1;
}

bool XmlDocument::is_borrowed(const char* text) const {
  const std::less_equal<const char*> at_or_before;
  return at_or_before(borrowed_.data(), text) &&
         !at_or_before(borrowed_.data() + borrowed_.size(), text);
}

// A text that fits where the old one was is written over it: each node's
// text has its own bytes in the store (never shared, never a literal unless
// empty), so recomputing the same values leaves nothing behind. A borrowed
// text is the reader's input and stays as it is.
void XmlDocument::set_text(NodeId id, std::string_view text) {
  XmlNode& node = nodes_[id];
  if (!text.empty() && text.size() <= node.text_size_ && !node.text_shared_ &&
      !is_borrowed(node.text_)) {
    std::memmove(const_cast<char*>(node.text_), text.data(), text.size());
    replaced_text_bytes_ += node.text_size_ - text.size();
  } else {
    replaced_text_bytes_ += node.text_size_;
    node.text_ = store(text);
    node.text_shared_ = false;
  }
  node.text_size_ = static_cast<std::uint32_t>(text.size());
}

void XmlDocument::link_last(Link& head, NodeId node) {
  XmlNode& added = nodes_[node];
  added.next_ = XmlNode::kNone;
  if (head == XmlNode::kNone) {
    head = static_cast<Link>(node);
    added.previous_ = head;
    return;
  }
  XmlNode& first = nodes_[head];
  nodes_[first.previous_].next_ = static_cast<Link>(node);
  added.previous_ = first.previous_;
  first.previous_ = static_cast<Link>(node);
}

void XmlDocument::unlink(Link& head, NodeId node) {
  XmlNode& gone = nodes_[node];
  const Link last = nodes_[head].previous_;
  if (head == node) {
    head = gone.next_;
    if (head != XmlNode::kNone) nodes_[head].previous_ = last;
  } else {
    nodes_[gone.previous_].next_ = gone.next_;
    nodes_[gone.next_ == XmlNode::kNone ? head : gone.next_].previous_ = gone.previous_;
  }
  gone.next_ = gone.previous_ = XmlNode::kNone;
}

void XmlDocument::append_child(NodeId parent, NodeId child) {
  detach(child);
  nodes_[child].parent_ = static_cast<Link>(parent);
  link_last(nodes_[parent].first_child_, child);
}

void XmlDocument::insert_child_after(NodeId parent, NodeId after, NodeId child) {
  if (after == kNoNode || nodes_[after].parent_ != parent || nodes_[after].is_attribute_) {
    append_child(parent, child);
    return;
  }
  detach(child);
  XmlNode& added = nodes_[child];
  XmlNode& before = nodes_[after];
  added.parent_ = static_cast<Link>(parent);
  added.previous_ = static_cast<Link>(after);
  added.next_ = before.next_;
  const Link next = before.next_;
  nodes_[next == XmlNode::kNone ? nodes_[parent].first_child_ : next].previous_ =
      static_cast<Link>(child);
  nodes_[after].next_ = static_cast<Link>(child);
}

NodeId XmlDocument::add_attribute(NodeId element, std::string_view name, std::string_view value) {
  const NodeId id = new_element(name, value);
  nodes_[id].is_attribute_ = true;
  nodes_[id].parent_ = static_cast<Link>(element);
  link_last(nodes_[element].first_attribute_, id);
  return id;
}

void XmlDocument::detach(NodeId node) {
  const NodeId parent = nodes_[node].parent();
  if (parent == kNoNode) return;
  // An attribute leaves its element's attribute list, so the element never
  // lists a node that no longer names it as parent.
  XmlNode& owner = nodes_[parent];
  unlink(nodes_[node].is_attribute_ ? owner.first_attribute_ : owner.first_child_, node);
  nodes_[node].parent_ = XmlNode::kNone;
}

NodeId XmlDocument::last_child(NodeId id) const {
  const NodeId first = nodes_[id].first_child();
  return first == kNoNode ? kNoNode : XmlNode::widen(nodes_[first].previous_);
}

NodeId XmlDocument::previous_sibling(NodeId id) const {
  const XmlNode& node = nodes_[id];
  if (node.parent_ == XmlNode::kNone) return kNoNode;
  const XmlNode& parent = nodes_[node.parent_];
  const Link head = node.is_attribute_ ? parent.first_attribute_ : parent.first_child_;
  return head == id ? kNoNode : XmlNode::widen(node.previous_);
}

void XmlDocument::push_children_reversed(NodeId id, std::vector<NodeId>& stack) const {
  for (NodeId child = last_child(id); child != kNoNode; child = previous_sibling(child)) {
    stack.push_back(child);
  }
}

std::size_t XmlDocument::rank_of(NodeId id) const {
  if (rank_.empty()) return id < ranked_by_id_ ? id : kNoRank;
  return id < rank_.size() ? XmlNode::widen(rank_[id]) : kNoRank;
}

void XmlDocument::renumber() {
  rank_.assign(nodes_.size(), XmlNode::kNone);
  if (!has_root()) return;
  Link next = 0;
  // The stack holds, per open level, the node to number next there: a
  // node's next sibling goes on before its first child, so it comes off
  // after the child's subtree.
  std::vector<NodeId> stack{root};
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    // A node linked twice would otherwise be numbered (and walked) twice.
    if (rank_[id] != XmlNode::kNone) continue;
    rank_[id] = next++;
    for (NodeId attribute : attributes(id)) rank_[attribute] = next++;
    const XmlNode& node = nodes_[id];
    if (id != root && node.next_sibling() != kNoNode) stack.push_back(node.next_sibling());
    if (node.has_children()) stack.push_back(node.first_child());
  }
  ranked_ = next;
}

void XmlDocument::renumber_from(NodeId node) {
  if (rank_.empty() || node == root || nodes_[node].parent() == kNoNode) {
    renumber();
    return;
  }
  rank_.resize(nodes_.size(), XmlNode::kNone);
  const NodeId before = previous_sibling(node);
  const NodeId last_before = before != kNoNode ? last_in_subtree(before)
                                               : last_of_element(nodes_[node].parent());
  if (rank_[last_before] == XmlNode::kNone) {
    renumber();
    return;
  }
  rank_onwards(node, rank_[last_before] + 1);
}

NodeId XmlDocument::last_in_subtree(NodeId node) const {
  while (nodes_[node].has_children()) node = last_child(node);
  return last_of_element(node);
}

NodeId XmlDocument::last_of_element(NodeId element) const {
  const NodeId first = nodes_[element].first_attribute();
  return first == kNoNode ? element : XmlNode::widen(nodes_[first].previous_);
}

void XmlDocument::rank_onwards(NodeId node, Link next) {
  for (NodeId id = node; id != kNoNode; id = next_in_preorder(id, root)) {
    rank_[id] = next++;
    for (NodeId attribute : attributes(id)) rank_[attribute] = next++;
  }
  ranked_ = next;
}

NodeId XmlDocument::copy_from(const XmlDocument& source, NodeId node) {
  const SubtreeSize size = subtree_size(source, node);
  reserve(size.nodes, size.bytes);
  // Pairs of (source node, parent of its copy). Source nodes are addressed
  // by id, never held by reference, as source may be this very arena.
  std::vector<std::pair<NodeId, NodeId>> stack{{node, kNoNode}};
  NodeId top = kNoNode;
  while (!stack.empty()) {
    const auto [original, parent] = stack.back();
    stack.pop_back();
    const NodeId copy = new_element(source[original].name(), source[original].text());
    for (NodeId attribute : source.attributes(original)) {
      add_attribute(copy, source[attribute].name(), source[attribute].text());
    }
    if (parent == kNoNode) {
      top = copy;
    } else {
      append_child(parent, copy);
    }
    for (NodeId child = source.last_child(original); child != kNoNode;
         child = source.previous_sibling(child)) {
      stack.emplace_back(child, copy);
    }
  }
  return top;
}

NodeId XmlDocument::share_from(const XmlDocument& source, NodeId node) {
  const std::size_t count = &source == this ? 0 : source.run_length(node);
  if (count == 0) return copy_from(source, node);
  const Link base = static_cast<Link>(nodes_.size());
  const Link first = static_cast<Link>(node);
  const auto moved = [&](Link link) { return link == XmlNode::kNone ? link : link - first + base; };
  reserve(count, 0);
  for (NodeId id = node; id < node + count; ++id) {
    XmlNode& copy = nodes_.emplace_back(source.nodes_[id]);
    copy.parent_ = moved(copy.parent_);
    copy.first_child_ = moved(copy.first_child_);
    copy.first_attribute_ = moved(copy.first_attribute_);
    copy.next_ = moved(copy.next_);
    copy.previous_ = moved(copy.previous_);
    copy.text_shared_ = true;
  }
  XmlNode& top = nodes_[base];
  top.parent_ = top.next_ = top.previous_ = XmlNode::kNone;
  return base;
}

// The run is the ids after node whose parents come before them within it,
// so all of it lies in node's subtree; when no link inside it leads out,
// the subtree lies in it too.
std::size_t XmlDocument::run_length(NodeId node) const {
  NodeId end = node + 1;
  while (end < nodes_.size()) {
    const NodeId parent = nodes_[end].parent();
    if (parent == kNoNode || parent < node || parent >= end) break;
    ++end;
  }
  const auto inside = [&](Link link) { return link == XmlNode::kNone || (link >= node && link < end); };
  for (NodeId id = node; id < end; ++id) {
    const XmlNode& at = nodes_[id];
    if (!inside(at.first_child_) || !inside(at.first_attribute_)) return 0;
    if (id != node && (!inside(at.next_) || !inside(at.previous_))) return 0;
  }
  return end - node;
}

std::vector<NodeId> XmlDocument::descendants(NodeId node) const {
  std::vector<NodeId> found;
  for (NodeId id = next_in_preorder(node, node); id != kNoNode; id = next_in_preorder(id, node)) {
    found.push_back(id);
  }
  return found;
}

NodeId XmlDocument::next_in_preorder(NodeId node, NodeId top) const {
  if (nodes_[node].has_children()) return nodes_[node].first_child();
  for (NodeId at = node; at != top && at != kNoNode; at = nodes_[at].parent()) {
    if (nodes_[at].next_sibling() != kNoNode) return nodes_[at].next_sibling();
  }
  return kNoNode;
}

std::string XmlDocument::string_value(NodeId node) const {
  std::string out;
  append_string_value(node, out);
  return out;
}

void XmlDocument::append_string_value(NodeId node, std::string& out) const {
  out += nodes_[node].text();
  for (NodeId id = next_in_preorder(node, node); id != kNoNode; id = next_in_preorder(id, node)) {
    out += nodes_[id].text();
  }
}

std::string XmlDocument::node_path(NodeId node) const {
  std::vector<PathSegment> segments;
  for (NodeId id = node; id != kNoNode; id = nodes_[id].parent()) {
    segments.push_back(path_segment(*this, id));
  }
  std::string path;
  for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
    path += '/';
    path += segment->name;
    if (segment->position == 0) continue;
    char digits[24];
    const auto converted = std::to_chars(std::begin(digits), std::end(digits), segment->position);
    path += '[';
    path.append(digits, converted.ptr);
    path += ']';
  }
  return path;
}

NodeId XmlDocument::child_named(NodeId node, std::string_view name) const {
  for (NodeId child : children(node)) {
    if (nodes_[child].name() == name) return child;
  }
  return kNoNode;
}

std::optional<std::string_view> XmlDocument::attribute(NodeId node, std::string_view name) const {
  for (NodeId attribute : attributes(node)) {
    if (nodes_[attribute].name() == name) return nodes_[attribute].text();
  }
  return std::nullopt;
}

}  // namespace tolvar
