#include "eval/child_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvar {
namespace {

NodeIds scanned(const XmlDocument& document, NodeId parent, const NameKey& key) {
  NodeIds found;
  for (NodeId child : document.children(parent)) {
    if (document[child].has_name(key)) found.push_back(child);
  }
  return found;
}

TEST(ChildIndex, FindsWhatAScanFinds) {
  // Names repeated far apart, and two alike in length, first, middle and
  // last bytes, among enough children to be indexed; one small element.
  const std::vector<std::string> names = {"q", "abXed", "r", "abXcd", "q", "s", "abXed"};
  std::string xml = "<data><small><q/><q/></small>";
  for (int i = 0; i < 40; ++i) xml += "<" + names[i % names.size()] + "/>";
  xml += "</data>";
  Result<XmlDocument> document = parse_xml(xml);
  ASSERT_TRUE(document.ok());
  const XmlDocument& doc = document.value();
  ChildIndex index(doc);
  for (const std::string name : {"q", "abXed", "abXcd", "r", "s", "small", "missing"}) {
    const NameKey key(name);
    NodeIds found = {kNoNode};  // appended to, not replaced
    ASSERT_TRUE(index.append_named(doc.root, key, found)) << name;
    found.erase(found.begin(), found.begin() + 1);
    EXPECT_EQ(found, scanned(doc, doc.root, key)) << name;
  }
  NodeIds found;
  EXPECT_FALSE(index.append_named(doc.child_named(doc.root, "small"), NameKey("q"), found));
  EXPECT_TRUE(found.empty());
}

TEST(ChildIndex, KeepsAnsweringAsTablesAreReplaced) {
  // More wide elements than the index keeps tables for, read in turn.
  std::string xml = "<data>";
  for (int group = 0; group < 6; ++group) {
    xml += "<g>";
    for (int i = 0; i < 20; ++i) xml += "<f" + std::to_string((i + group) % 7) + "/>";
    xml += "</g>";
  }
  xml += "</data>";
  Result<XmlDocument> document = parse_xml(xml);
  ASSERT_TRUE(document.ok());
  const XmlDocument& doc = document.value();
  ChildIndex index(doc);
  for (int round = 0; round < 3; ++round) {
    for (NodeId group : doc.children(doc.root)) {
      const std::string name = "f" + std::to_string(round);
      const NameKey key(name);
      NodeIds found;
      ASSERT_TRUE(index.append_named(group, key, found));
      EXPECT_EQ(found, scanned(doc, group, key)) << group;
    }
  }
}

}  // namespace
}  // namespace tolvar
