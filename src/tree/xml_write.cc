// The compact writer: one declaration, then the tree on one line. An element
// with children never writes its own text.
#include <string>
#include <string_view>
#include <vector>

#include "tree/document.h"

namespace tolvar {
namespace {

constexpr std::string_view kDeclaration = "<?xml version='1.0' ?>";

std::string_view escaped_form(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return {};
  }
}

void write_close_tag(const XmlNode& element, std::string& out) {
  out += "</";
  out += element.name();
  out += '>';
}

// Writes the start tag and, for an element without children, the whole
// element. Returns whether the element still has children to write.
bool write_open_tag(const XmlDocument& document, NodeId id, std::string& out) {
  const XmlNode& element = document[id];
  out += '<';
  out += element.name();
  for (NodeId attribute : document.attributes(id)) {
    out += ' ';
    out += document[attribute].name();
    out += "=\"";
    escape_xml(document[attribute].text(), out);
    out += '"';
  }
  if (element.has_children()) {
    out += '>';
    return true;
  }
  if (element.text().empty()) {
    out += "/>";
    return false;
  }
  out += '>';
  escape_xml(element.text(), out);
  write_close_tag(element, out);
  return false;
}

// An open element and its next child to write.
struct OpenElement {
  NodeId id;
  NodeId next_child;
};

}  // namespace

void escape_xml(std::string_view text, std::string& out) {
  std::size_t done = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view replacement = escaped_form(text[i]);
    if (replacement.empty()) continue;
    out.append(text, done, i - done);
    out += replacement;
    done = i + 1;
  }
  out.append(text, done);
}

std::string write_xml(const XmlDocument& document) {
  std::string out(kDeclaration);
  if (!document.has_root()) return out;
  std::vector<OpenElement> open;
  const auto open_element = [&](NodeId id) {
    if (write_open_tag(document, id, out)) open.push_back({id, document[id].first_child()});
  };
  open_element(document.root);
  while (!open.empty()) {
    OpenElement& top = open.back();
    if (top.next_child == kNoNode) {
      write_close_tag(document[top.id], out);
      open.pop_back();
      continue;
    }
    const NodeId child = top.next_child;
    top.next_child = document[child].next_sibling();
    open_element(child);
  }
  return out;
}

}  // namespace tolvar
