// Test documents: parsed from text, child and attribute lists as vectors.
#pragma once

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

#include "tree/document.h"

namespace tolvar {

// The document, or an empty one (and a test failure) when the text does not parse.
inline XmlDocument parse_document(std::string_view xml) {
  Result<XmlDocument> parsed = parse_xml(xml);
  EXPECT_TRUE(parsed.ok()) << xml;
  return parsed.ok() ? std::move(parsed).value() : XmlDocument{};
}

inline std::vector<NodeId> children_of(const XmlDocument& document, NodeId id) {
  const SiblingRange children = document.children(id);
  return {children.begin(), children.end()};
}

inline std::vector<NodeId> attributes_of(const XmlDocument& document, NodeId id) {
  const SiblingRange attributes = document.attributes(id);
  return {attributes.begin(), attributes.end()};
}

}  // namespace tolvar
