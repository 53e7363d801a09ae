#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tree/document.h"
#include "tree_support.h"

namespace tolvar {
namespace {

XmlDocument parsed(std::string_view xml) {
  Result<XmlDocument> result = parse_xml(xml);
  EXPECT_TRUE(result.ok()) << result.error();
  return result.ok() ? std::move(result).value() : XmlDocument{};
}

// Every element's path, in pre-order.
std::vector<std::string> all_paths(const XmlDocument& document) {
  std::vector<std::string> paths{document.node_path(document.root)};
  for (NodeId id : document.descendants(document.root)) paths.push_back(document.node_path(id));
  return paths;
}

struct PathCase {
  std::string_view xml;
  std::vector<std::string> paths;
};

TEST(NodePath, IndexesOnlySameNamedSiblings) {
  const PathCase cases[] = {
      {"<data/>", {"/data"}},
      {"<root><item/><item/><note/></root>", {"/root", "/root/item[1]", "/root/item[2]", "/root/note"}},
      {"<data><rep><q/></rep><x/><rep><q/><q/></rep></data>",
       {"/data", "/data/rep[1]", "/data/rep[1]/q", "/data/x", "/data/rep[2]", "/data/rep[2]/q[1]",
        "/data/rep[2]/q[2]"}},
      {"<a:data><b:g/><c:g/></a:data>", {"/data", "/data/g[1]", "/data/g[2]"}},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.xml);
    EXPECT_EQ(all_paths(parsed(c.xml)), c.paths);
  }
  const XmlDocument document = parsed("<data><q/><q k='v'/></data>");
  const NodeId second = children_of(document, document.root)[1];
  EXPECT_EQ(document.node_path(attributes_of(document, second)[0]), "/data/q[2]/k");
}

TEST(StringValue, JoinsOwnTextAndDescendantTextsInPreOrder) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"<a>x</a>", "x"},
      {"<a>1<b>2<c>3</c></b><d>4</d></a>", "1234"},
      {"<a x='attr'><b/></a>", ""},
  };
  for (const auto& [xml, value] : cases) {
    const XmlDocument document = parsed(xml);
    EXPECT_EQ(document.string_value(document.root), value);
  }
  const XmlDocument document = parsed("<a x='attr'/>");
  EXPECT_EQ(document.string_value(attributes_of(document, document.root)[0]), "attr");
}

TEST(Renumber, RanksElementThenAttributesThenChildrenAndSkipsDetachedNodes) {
  XmlDocument document = parsed("<r><a/><b k='v'><c/></b></r>");
  const NodeId a = document.child_named(document.root, "a");
  const NodeId b = document.child_named(document.root, "b");
  document.detach(a);
  document.append_child(document.root, document.new_element("z", ""));
  document.renumber();
  std::vector<std::string> ranked(document.size());
  for (NodeId id = 0; id < document.size(); ++id) {
    if (document.rank_of(id) != kNoRank) ranked[document.rank_of(id)] = document[id].name();
  }
  EXPECT_EQ(ranked, (std::vector<std::string>{"r", "b", "k", "c", "z", ""}));
  EXPECT_EQ(document.rank_of(a), kNoRank);
  EXPECT_EQ(document[a].parent(), kNoNode);
  EXPECT_EQ(document.node_path(b), "/r/b");
}

TEST(Detach, RemovesAChildOrTheAttributeAndAppendingMovesANode) {
  XmlDocument document = parsed("<r k='v'><a/><b/></r>");
  const NodeId a = children_of(document, document.root)[0];
  const NodeId b = children_of(document, document.root)[1];
  const NodeId k = attributes_of(document, document.root)[0];
  document.append_child(document.root, a);
  EXPECT_EQ(children_of(document, document.root), (std::vector<NodeId>{b, a}));
  document.insert_child_after(document.root, a, b);
  EXPECT_EQ(children_of(document, document.root), (std::vector<NodeId>{a, b}));
  document.detach(b);
  document.detach(a);
  document.detach(k);
  EXPECT_TRUE(children_of(document, document.root).empty());
  EXPECT_TRUE(attributes_of(document, document.root).empty());
  EXPECT_EQ(document[k].parent(), kNoNode);
  EXPECT_EQ(document.size(), 4u);
}

TEST(InsertChildAfter, PlacesTheChildRightAfterItsSibling) {
  XmlDocument document = parsed("<r><a/><c/></r>");
  const NodeId b = document.new_element("b", "");
  document.insert_child_after(document.root, document.child_named(document.root, "a"), b);
  document.renumber();
  EXPECT_EQ(all_paths(document), (std::vector<std::string>{"/r", "/r/a", "/r/b", "/r/c"}));
  EXPECT_EQ(document[b].parent(), document.root);
}

TEST(CopyFrom, CopiesASubtreeIntoTheSameOrAnotherDocument) {
  const XmlDocument source = parsed("<r><row n='1'><q>x</q><q>y</q></row></r>");
  const NodeId row = children_of(source, source.root)[0];
  XmlDocument target = parsed("<model/>");
  target.append_child(target.root, target.copy_from(source, row));
  target.renumber();
  EXPECT_EQ(write_xml(target), "<?xml version='1.0' ?><model><row n=\"1\"><q>x</q><q>y</q></row></model>");

  XmlDocument same = parsed("<r><row><q>x</q></row></r>");
  const NodeId copy = same.copy_from(same, children_of(same, same.root)[0]);
  EXPECT_EQ(same[copy].parent(), kNoNode);
  same.append_child(same.root, copy);
  same.renumber();
  EXPECT_EQ(write_xml(same), "<?xml version='1.0' ?><r><row><q>x</q></row><row><q>x</q></row></r>");
}

TEST(ShareFrom, CopiesLikeCopyFromAndNeverWritesIntoTheSource) {
  XmlDocument source = parsed("<r><row n='1'><q>xyz</q><q>y</q></row><z/></r>");
  const NodeId row = children_of(source, source.root)[0];
  const NodeId edited = children_of(source, source.root)[1];
  source.append_child(edited, source.new_element("late", "t"));  // out of its run of ids
  source.renumber();
  for (NodeId top : {row, edited, source.root}) {
    XmlDocument shared = parsed("<model/>");
    XmlDocument copied = parsed("<model/>");
    shared.append_child(shared.root, shared.share_from(source, top));
    copied.append_child(copied.root, copied.copy_from(source, top));
    shared.renumber();
    copied.renumber();
    EXPECT_EQ(write_xml(shared), write_xml(copied)) << source[top].name();
  }
  XmlDocument shared = parsed("<model/>");
  const NodeId copy = shared.share_from(source, row);
  shared.set_text(children_of(shared, copy)[0], "ab");
  EXPECT_EQ(shared.string_value(copy), "aby");
  EXPECT_EQ(source.string_value(row), "xyzy");
}

TEST(RenumberFrom, RanksAnInsertedSubtreeAndWhatFollowsAsRenumberDoes) {
  const XmlDocument row = parsed("<row k='1'><a x='y'/><b><c/></b></row>");
  const char* kDocument = "<data v='1'><row><a/></row><row/><empty/><meta><id/></meta></data>";
  // Each case: a child of the root to insert after (none: at the end), or
  // inside the element named "empty".
  for (const char* after : {"", "row", "empty", "inside"}) {
    XmlDocument document = parsed(kDocument);
    document.renumber();
    const NodeId copy = document.copy_from(row, row.root);
    const std::string_view where = after;
    if (where == "inside") {
      document.append_child(document.child_named(document.root, "empty"), copy);
    } else if (where.empty()) {
      document.insert_child_after(document.root, kNoNode, copy);
    } else {
      document.insert_child_after(document.root, document.child_named(document.root, where), copy);
    }
    XmlDocument whole = document;
    document.renumber_from(copy);
    whole.renumber();
    for (NodeId id = 0; id < document.size(); ++id) {
      EXPECT_EQ(document.rank_of(id), whole.rank_of(id)) << after << " " << id;
    }
    EXPECT_EQ(document.ranked_nodes(), whole.ranked_nodes()) << after;
  }
}

TEST(DeepNesting, ParsesWalksWritesAndCopiesWithoutRecursion) {
  constexpr std::size_t kDepth = 100000;
  std::string xml;
  for (std::size_t i = 0; i < kDepth; ++i) xml += "<e>";
  xml += "x";
  for (std::size_t i = 0; i < kDepth; ++i) xml += "</e>";
  Result<XmlDocument> result = parse_xml(xml);
  ASSERT_TRUE(result.ok()) << result.error();
  XmlDocument& document = result.value();
  const std::vector<NodeId> below = document.descendants(document.root);
  ASSERT_EQ(below.size(), kDepth - 1);
  EXPECT_EQ(document.string_value(document.root), "x");
  EXPECT_EQ(document.node_path(below.back()).size(), 2 * kDepth);
  EXPECT_EQ(document.rank_of(below.back()), kDepth - 1);

  XmlDocument copy;
  copy.root = copy.copy_from(document, document.root);
  copy.renumber();
  EXPECT_EQ(write_xml(copy), "<?xml version='1.0' ?>" + xml);
}

}  // namespace
}  // namespace tolvar

namespace tolvar {
namespace {

TEST(Links, SiblingsWalkBothWaysAndPreorderStaysInsideItsSubtree) {
  const XmlDocument document = parsed("<r><a><b/><c/></a><d/></r>");
  const std::vector<NodeId> top = children_of(document, document.root);
  const NodeId a = top[0], d = top[1];
  const std::vector<NodeId> under_a = children_of(document, a);
  EXPECT_EQ(document.last_child(document.root), d);
  EXPECT_EQ(document.previous_sibling(d), a);
  EXPECT_EQ(document.previous_sibling(a), kNoNode);
  EXPECT_EQ(under_a.size(), 2u);
  EXPECT_EQ(document.next_in_preorder(under_a[1], a), kNoNode);
  EXPECT_EQ(document.next_in_preorder(under_a[1], document.root), d);
  std::vector<NodeId> stack;
  document.push_children_reversed(document.root, stack);
  EXPECT_EQ(stack, (std::vector<NodeId>{d, a}));
}

TEST(Texts, ShorterTextsAreWrittenInPlaceAndLongerOnesCountAsReplaced) {
  XmlDocument document = parsed("<r><a>12345</a></r>");
  const NodeId a = children_of(document, document.root)[0];
  const std::size_t stored = document.string_bytes();
  document.set_text(a, "123");
  EXPECT_EQ(document[a].text(), "123");
  EXPECT_EQ(document.string_bytes(), stored);
  EXPECT_EQ(document.replaced_text_bytes(), 2u);
  document.set_text(a, "a longer text");
  EXPECT_EQ(document[a].text(), "a longer text");
  EXPECT_EQ(document.replaced_text_bytes(), 5u);
  document.set_text(a, "");
  EXPECT_EQ(document.string_value(document.root), "");
}

TEST(Copies, ACopyOwnsItsStringsAndOutlivesTheOriginal) {
  std::optional<XmlDocument> original = parsed("<r k='v'><a>text</a></r>");
  const XmlDocument copy = *original;
  original.reset();
  EXPECT_EQ(write_xml(copy), "<?xml version='1.0' ?><r k=\"v\"><a>text</a></r>");
  EXPECT_EQ(copy.rank_of(copy.root), 0u);
}

}  // namespace
}  // namespace tolvar
