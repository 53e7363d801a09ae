// Reading node-sets without copying: the document a node-set belongs to and
// the string value of a node, borrowed where the node allows it.
#pragma once

#include <string>
#include <string_view>

#include "eval/value.h"
#include "tree/document.h"
#include "base/unicode.h"

namespace tolvar {

// The document whose ids `nodes` holds: its own, or the reader's when null.
inline const XmlDocument& document_of(const NodeSet& nodes, const XmlDocument& reader) {
  return nodes.document != nullptr ? *nodes.document : reader;
}

// The string value of `id`. A node without child elements (a leaf or an
// attribute) lends its own text; otherwise the value is built in `scratch`.
// The view lives as long as the document and `scratch` stay unchanged.
inline std::string_view node_text(const XmlDocument& document, NodeId id, std::string& scratch) {
  if (id == kNoNode) return {};
  const XmlNode& node = document[id];
  if (!node.has_children()) return node.text();
  scratch.clear();
  document.append_string_value(id, scratch);
  return scratch;
}

// A node's string value read as a number: trimmed, then text_to_number.
inline double node_number(const XmlDocument& document, NodeId id, std::string& scratch) {
  return text_to_number(trim_white(node_text(document, id, scratch)));
}

}  // namespace tolvar
