// The XML document: an arena of element and attribute nodes with local names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/page_allocator.h"
#include "base/result.h"
#include "tree/string_store.h"

namespace tolvar {

class XmlReader;

using NodeId = std::size_t;
inline constexpr NodeId kNoNode = std::numeric_limits<NodeId>::max();
inline constexpr std::size_t kNoRank = std::numeric_limits<std::size_t>::max();

// A name with a 16-bit digest of its length and first, middle and last
// bytes, so that a scan of siblings settles nearly every mismatch inside the
// nodes themselves, without reading their names.
class NameKey {
 public:
  constexpr explicit NameKey(std::string_view name) : name_(name), digest_(digest_of(name)) {}
  constexpr std::string_view name() const { return name_; }
  constexpr std::uint16_t digest() const { return digest_; }

  static constexpr std::uint16_t digest_of(std::string_view name) {
    if (name.empty()) return 0;
    const auto byte = [&](std::size_t at) { return static_cast<std::uint32_t>(
                                                static_cast<unsigned char>(name[at])); };
    const std::uint32_t ends = byte(0) << 16 | byte(name.size() / 2) << 8 | byte(name.size() - 1);
    const std::uint32_t mixed = (ends ^ static_cast<std::uint32_t>(name.size()) << 24) * 0x9E3779B1u;
    return static_cast<std::uint16_t>(mixed >> 16);
  }

 private:
  std::string_view name_;
  std::uint16_t digest_;
};

// One element or attribute. Names are local names (prefix dropped). Links
// are 32-bit: a document holds fewer than 2^32 - 1 nodes. Siblings form a
// list whose first entry's `previous` link points at the last one, so that
// appending and detaching take constant time.
class XmlNode {
 public:
  std::string_view name() const { return {name_, name_size_}; }
  std::uint16_t name_digest() const { return name_digest_; }
  bool has_name(const NameKey& key) const {
    return name_digest_ == key.digest() && name() == key.name();
  }
  bool same_name_as(const XmlNode& other) const {
    return name_digest_ == other.name_digest_ && name() == other.name();
  }
  // An element's one text run; an attribute's value.
  std::string_view text() const { return {text_, text_size_}; }
  bool is_attribute() const { return is_attribute_; }
  // For an attribute, the element carrying it.
  NodeId parent() const { return widen(parent_); }
  NodeId first_child() const { return widen(first_child_); }
  NodeId first_attribute() const { return widen(first_attribute_); }
  // The next element child, or for an attribute the next attribute.
  NodeId next_sibling() const { return widen(next_); }
  bool has_children() const { return first_child_ != kNone; }

 private:
  friend class XmlDocument;
  friend class XmlReader;
  using Link = std::uint32_t;
  static constexpr Link kNone = std::numeric_limits<Link>::max();
  static NodeId widen(Link link) { return link == kNone ? kNoNode : link; }

  const char* name_ = "";
  const char* text_ = "";
  std::uint32_t name_size_ = 0;
  std::uint32_t text_size_ = 0;
  Link parent_ = kNone;
  Link first_child_ = kNone;
  Link first_attribute_ = kNone;
  Link next_ = kNone;
  Link previous_ = kNone;
  bool is_attribute_ = false;
  // The text points into another document's strings: it is never written
  // over in place.
  bool text_shared_ = false;
  std::uint16_t name_digest_ = 0;  // NameKey::digest_of(name())
};

// The element children (or attributes) of one node, in order.
class SiblingRange {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = NodeId;
    using difference_type = std::ptrdiff_t;
    using pointer = const NodeId*;
    using reference = NodeId;

    iterator() = default;
    iterator(const XmlNode* nodes, NodeId id) : nodes_(nodes), id_(id) {}
    NodeId operator*() const { return id_; }
    iterator& operator++() {
      id_ = nodes_[id_].next_sibling();
      return *this;
    }
    iterator operator++(int) {
      iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const iterator& other) const { return id_ == other.id_; }

   private:
    const XmlNode* nodes_ = nullptr;
    NodeId id_ = kNoNode;
  };

  SiblingRange(const XmlNode* nodes, NodeId first) : nodes_(nodes), first_(first) {}
  iterator begin() const { return {nodes_, first_}; }
  iterator end() const { return {nodes_, kNoNode}; }
  bool empty() const { return first_ == kNoNode; }

 private:
  const XmlNode* nodes_;
  NodeId first_;
};

class XmlDocument {
 public:
  NodeId root = kNoNode;

  XmlDocument() = default;
  XmlDocument(const XmlDocument& other);
  XmlDocument& operator=(const XmlDocument& other);
  XmlDocument(XmlDocument&&) noexcept = default;
  XmlDocument& operator=(XmlDocument&&) noexcept = default;

  const XmlNode& operator[](NodeId id) const { return nodes_[id]; }
  bool has_root() const { return root != kNoNode; }
  // Number of nodes in the arena, detached ones included.
  std::size_t size() const { return nodes_.size(); }
  // Makes room for `nodes` more nodes and `bytes` more of names and texts.
  void reserve(std::size_t nodes, std::size_t bytes);

  SiblingRange children(NodeId id) const { return {nodes_.data(), nodes_[id].first_child()}; }
  SiblingRange attributes(NodeId id) const {
    return {nodes_.data(), nodes_[id].first_attribute()};
  }
  NodeId last_child(NodeId id) const;
  // The sibling before node, or kNoNode for the first.
  NodeId previous_sibling(NodeId id) const;
  // Pushes the children of id last-first, so that they pop in order.
  void push_children_reversed(NodeId id, std::vector<NodeId>& stack) const;

  // Appends a detached element.
  NodeId new_element(std::string_view name, std::string_view text = {});
  void set_text(NodeId id, std::string_view text);
  // Sets child's parent and appends it to parent's children. A child that
  // has a parent already is moved, never linked twice.
  void append_child(NodeId parent, NodeId child);
  // Inserts child into parent's children right after `after` (at the end
  // when `after` is not one of them), moving it like append_child.
  void insert_child_after(NodeId parent, NodeId after, NodeId child);
  NodeId add_attribute(NodeId element, std::string_view name, std::string_view value);
  // Removes the node from its parent's children (an attribute from its
  // element's attributes) and clears its parent; it stays in the arena.
  void detach(NodeId node);
  // Rebuilds ranks from the root: pre-order, an element, its attributes,
  // then each child's subtree. Call after any change of structure.
  void renumber();
  // The same after one change alone, inserting `node` into a document
  // ranked before: only node's subtree and what follows it in document
  // order are ranked again, so adding a row at the end of a long repeat
  // costs the row, not the document.
  void renumber_from(NodeId node);
  // How many nodes have a rank: those reachable from the root.
  std::size_t ranked_nodes() const { return rank_.empty() ? ranked_by_id_ : ranked_; }
  // Copies node (from any document, this one included) with its attributes
  // and subtree into this arena; returns the new, detached element.
  NodeId copy_from(const XmlDocument& source, NodeId node);
  // The same, with the copy's names and texts pointing into `source`, which
  // must outlive this document and keep them as they are: for a form's
  // secondary instances, copied into every evaluation document. A subtree
  // that lies in one run of ids, as every subtree of a document just read
  // does, is copied in one pass over the run.
  NodeId share_from(const XmlDocument& source, NodeId node);
  // Bytes of names and texts stored, and of replaced texts among them: what
  // copying the tree would free.
  std::size_t string_bytes() const { return strings_.stored_bytes(); }
  std::size_t replaced_text_bytes() const { return replaced_text_bytes_; }

  // Document-order rank, kNoRank for nodes not reachable from the root.
  // Valid after parsing and after renumber().
  std::size_t rank_of(NodeId id) const;
  // Takes the ids of all nodes so far as their ranks: for a reader that
  // adds every node in document order.
  void rank_by_id() {
    rank_.clear();
    ranked_by_id_ = nodes_.size();
  }
  // Descendant elements of node in pre-order, node excluded. No recursion.
  std::vector<NodeId> descendants(NodeId node) const;
  // The element after node in pre-order, staying inside the subtree of top;
  // kNoNode after the last. Walks the links, so it needs no list or stack.
  NodeId next_in_preorder(NodeId node, NodeId top) const;
  // Own text followed by the text of every descendant element in pre-order.
  std::string string_value(NodeId node) const;
  void append_string_value(NodeId node, std::string& out) const;
  // Canonical path such as /data/rep[2]/q; an attribute adds its bare name.
  std::string node_path(NodeId node) const;
  // First child element named `name`, or kNoNode.
  NodeId child_named(NodeId node, std::string_view name) const;
  // Value of the first attribute named `name`.
  std::optional<std::string_view> attribute(NodeId node, std::string_view name) const;

 private:
  // Builds nodes in place, in document order.
  friend class XmlReader;
  using Link = XmlNode::Link;
  const char* store(std::string_view text);
  // The node ranked last in node's subtree: its last descendant, or its
  // last attribute, or itself.
  NodeId last_in_subtree(NodeId node) const;
  // The element's last attribute, or the element itself: what it ranks last
  // before its children.
  NodeId last_of_element(NodeId element) const;
  // Ranks the nodes from `node` to the end of the document, from `next` on.
  void rank_onwards(NodeId node, Link next);
  // How many nodes from node on make up its whole subtree, when it lies in
  // one run of ids; 0 when it does not.
  std::size_t run_length(NodeId node) const;
  // Appends node to the list headed by `head`.
  void link_last(Link& head, NodeId node);
  void unlink(Link& head, NodeId node);
  void restore_strings();

  // Whether text lies in the borrowed input, which is never written.
  bool is_borrowed(const char* text) const;

  std::vector<XmlNode, PageAllocator<XmlNode>> nodes_;
  StringStore strings_;
  // The text this document was read from, when names and texts point into
  // it rather than into the store; a copy of the document owns all of its.
  std::string_view borrowed_;
  std::size_t replaced_text_bytes_ = 0;
  // Empty while the first ranked_by_id_ nodes are ranked by their ids.
  std::vector<Link> rank_;
  std::size_t ranked_by_id_ = 0;
  std::size_t ranked_ = 0;  // nodes given a rank by the last numbering
};

// Names and texts keep 32-bit lengths, so no document is longer than this.
inline constexpr std::size_t kMaxDocumentBytes = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::string_view kDocumentTooLarge =
    "the document is larger than 4 GiB — tolvar refuses it";

// Parses UTF-8 XML text leniently. Fails with one of: "unterminated tag",
// "closing tag without opening", "closing </x> does not match open <y>",
// "more than one root element", "unclosed elements", "no root element", or
// kDocumentTooLarge.
Result<XmlDocument> parse_xml(std::string_view text);
// As parse_xml, but names and texts that need no decoding are not copied:
// they point into `text`, which must outlive the document.
Result<XmlDocument> parse_xml_borrowing(std::string_view text);

// The document as "<?xml version='1.0' ?>" followed by the tree on one line.
std::string write_xml(const XmlDocument& document);
// Appends text with & < > and the double quote escaped.
void escape_xml(std::string_view text, std::string& out);

}  // namespace tolvar
