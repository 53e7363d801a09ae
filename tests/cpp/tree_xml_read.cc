#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "tree/document.h"

namespace tolvar {
namespace {

// A compact picture of a parsed tree: name[attr=value,...]{text}(children).
std::string sketch(const XmlDocument& document, NodeId id) {
  const XmlNode& node = document[id];
  std::string out(node.name());
  if (node.first_attribute() != kNoNode) {
    out += '[';
    for (NodeId attribute : document.attributes(id)) {
      if (attribute != node.first_attribute()) out += ',';
      out.append(document[attribute].name()).append("=").append(document[attribute].text());
    }
    out += ']';
  }
  if (!node.text().empty()) out.append("{").append(node.text()).append("}");
  if (node.has_children()) {
    out += '(';
    for (NodeId child : document.children(id)) {
      if (child != node.first_child()) out += ' ';
      out += sketch(document, child);
    }
    out += ')';
  }
  return out;
}

struct ParseCase {
  std::string_view xml;
  std::string_view tree;
};

struct FailureCase {
  std::string_view xml;
  std::string_view message;
};

TEST(ParseXml, BuildsTheTreeLeniently) {
  const ParseCase cases[] = {
      {"<?xml version='1.0'?><data><a>1</a></data>", "data(a{1})"},
      {"<h:html xmlns:h=\"x\"><h:head/></h:html>", "html[h=x](head)"},
      {"<a:x><b/></b:x>", "x(b)"},
      {"<p:a><b></p:b><c/></a >", "a(b c)"},
      {"<a xmlns=\"u\" jr:template=\"\"/>", "a[xmlns=u,template=]"},
      {"<a>x<b/>y</a>", "a{x}(b)"},
      {"<a>  </a>", "a"},
      {"<a>  x  </a>", "a{  x  }"},
      {"<a>\xE3\x80\x80\xC2\xA0</a>", "a"},        // Unicode white space only
      {"<a>\xE2\x80\x8B</a>", "a{\xE2\x80\x8B}"},  // zero width space is not white space
      {"<a><!-- note --></a>", "a"},
      {"<a><!-- note -->late</a>", "a{late}"},
      {"<!DOCTYPE a><a>t</a>trailing", "a{t}"},
      {"<a x=1 y=\"2\"/>", "a"},
      {"<a x=\"1\"y='2'/>", "a[x=1,y=2]"},
      {"<a x=\"1\" y=2 z=\"3\"/>", "a[x=1]"},
      {"<a x=\"1\" k'='v/>", "a[x=1]"},  // the value's quote never closes
      {"<a disabled x=\"1\"/>", "a[disabled x=1]"},
      {"<a =\"1\" b = 'c'/>", "a[b=c]"},
      {"<a x=\"1\" x=\"2\"/>", "a[x=1,x=2]"},
      {"<a title=\"x > y\" t='\"'>z</a>", "a[title=x > y,t=\"]{z}"},
      {"<a x='/'/>", "a[x=/]"},
      {"<a//>", "a"},
      {"< a x='1'>t</ a >", "a[a x=1]{t}"},  // attribute text starts at the first white space
      {"<a\xC2\xA0x='1'/>", "a[x=1]"},  // a no-break space ends the name
      {"<></>", ""},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.xml);
    Result<XmlDocument> parsed = parse_xml(c.xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(sketch(parsed.value(), parsed.value().root), c.tree);
  }
}

TEST(ParseXml, StopsAtTheFirstFault) {
  const FailureCase cases[] = {
      {"<a></b>", "closing </b> does not match open <a>"},
      {"<a><b></a>", "closing </a> does not match open <b>"},
      {"<ab></a>", "closing </a> does not match open <ab>"},
      {"<a></ab>", "closing </ab> does not match open <a>"},
      {"<p:ab></p:a>", "closing </a> does not match open <ab>"},
      {"<x:a></ y:b >", "closing </b> does not match open <a>"},
      {"</a>", "closing tag without opening"},
      {"<a/></a>", "closing tag without opening"},
      {"<a/><b/>", "more than one root element"},
      {"<a></a><b>", "more than one root element"},
      {"<a>", "unclosed elements"},
      {"<a><b></b>", "unclosed elements"},
      {"", "no root element"},
      {"text only", "no root element"},
      {"<?xml version='1.0'?><!-- x -->", "no root element"},
      {"<a", "unterminated tag"},
      {"<a t='>", "unterminated tag"},
      {"<a/>  <", "unterminated tag"},
      {"<a></a", "unterminated tag"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.xml);
    Result<XmlDocument> parsed = parse_xml(c.xml);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.error(), c.message);
  }
}

// Comments and processing instructions are skipped whole, CDATA is text; the
// pieces of text between them join into the element's one run, while text
// after a child element is still dropped.
TEST(ParseXml, ReadsCommentsInstructionsAndCdataWhole) {
  const ParseCase cases[] = {
      {"<a><!-- note -->5</a>", "a{5}"},
      {"<a><![CDATA[5]]></a>", "a{5}"},
      {"<r><!-- <x/> --><x/><![CDATA[<x/>]]></r>", "r(x)"},
      {"<model><!-- <bind nodeset=\"/data/b\" required=\"true()\"/> -->"
       "<bind nodeset=\"/data/a\"/></model>",
       "model(bind[nodeset=/data/a])"},
      {"<label>See <!-- <output value=\"/d/x\"/> -->above</label>", "label{See above}"},
      {"<a>1<!-- x -->2<?pi y?>3<![CDATA[<4>]]>5</a>", "a{123<4>5}"},
      {"<a>&lt;<![CDATA[&amp;]]>&gt;</a>", "a{<&amp;>}"},
      {"<a>&am<!-- -->p;</a>", "a{&amp;}"},  // a reference is never joined across
      {"<a><![CDATA[]]]]><![CDATA[>]]></a>", "a{]]>}"},
      {"<a> <!-- x --> <![CDATA[ ]]> </a>", "a"},
      {"<a><!----><!-- a -- b > c -->t</a>", "a{t}"},
      {"<a><?pi <b> ?>t</a>", "a{t}"},
      {"<a>x<!-- c --><b/>y</a>", "a{x}(b)"},
      {"<a>x<b/><!-- c -->y<![CDATA[z]]></a>", "a{x}(b)"},
      {"<?xml version='1.0'?><!-- <x> --><a/><!-- <y> -->", "a"},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.xml);
    Result<XmlDocument> parsed = parse_xml(c.xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(sketch(parsed.value(), parsed.value().root), c.tree);
  }
}

// Markup that never closes swallows the rest of the text, so what is open
// is reported rather than read out of the comment.
TEST(ParseXml, UnclosedMarkupRunsToTheEnd) {
  const FailureCase cases[] = {
      {"<a><!-- </a>", "unclosed elements"},
      {"<a><![CDATA[</a>", "unclosed elements"},
      {"<a><?pi </a>", "unclosed elements"},
      {"<!-- <a/>", "no root element"},
      {"<a/><!-- <b/> --><b/>", "more than one root element"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.xml);
    Result<XmlDocument> parsed = parse_xml(c.xml);
    ASSERT_FALSE(parsed.ok());
    EXPECT_EQ(parsed.error(), c.message);
  }
}

struct EntityCase {
  std::string_view written;
  std::string_view decoded;
};

TEST(ParseXml, DecodesEachReferenceOnce) {
  const EntityCase cases[] = {
      {"&lt;&gt;&quot;&apos;&amp;", "<>\"'&"},
      {"&amp;lt;", "&lt;"},
      {"&amp;#60;", "&#60;"},
      {"&amp;amp;", "&amp;"},
      {"&#60;&#x3C;&#X3c;", "<<<"},
      {"&#233;&#x1F600;", "\xC3\xA9\xF0\x9F\x98\x80"},
      {"&#0;&#xD800;&#x110000;&#99999999999;", "&#0;&#xD800;&#x110000;&#99999999999;"},
      {"&#;&#x;&#-1;&#+1;&#x 41;&#65", "&#;&#x;&#-1;&#+1;&#x 41;&#65"},
      {"&nbsp;&LT;&lt &", "&nbsp;&LT;&lt &"},
      {"a&&lt;b", "a&<b"},
  };
  for (const EntityCase& c : cases) {
    SCOPED_TRACE(c.written);
    const std::string xml = "<a t=\"" + std::string(c.written) + "\">" + std::string(c.written) + "</a>";
    Result<XmlDocument> parsed = parse_xml(xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    const XmlDocument& document = parsed.value();
    EXPECT_EQ(document[document.root].text(), c.decoded);
    EXPECT_EQ(*document.attribute(document.root, "t"), c.decoded);
  }
}

// Borrowed names and texts stay in the input, decoded ones are the
// document's own; either way the tree is the one parse_xml reads.
TEST(ParseXml, BorrowingReadsTheSameTree) {
  const std::string_view cases[] = {
      "<h:a x='1&amp;2' y=\"3\"><b>t</b><c>&lt;c&gt;</c><d>1<!-- x -->2</d></h:a>",
      "<a><![CDATA[<5>]]></a>",
      "<a>  </a>",
      "<a> x <b/>y</a>",
      "<a\xC2\xA0x='1'>t</a>",
  };
  for (std::string_view xml : cases) {
    SCOPED_TRACE(xml);
    Result<XmlDocument> owned = parse_xml(xml);
    Result<XmlDocument> borrowed = parse_xml_borrowing(xml);
    ASSERT_TRUE(owned.ok() && borrowed.ok());
    EXPECT_EQ(sketch(borrowed.value(), borrowed.value().root),
              sketch(owned.value(), owned.value().root));
  }
}

TEST(ParseXml, EditsNeverWriteIntoTheBorrowedText) {
  const std::string xml = "<a><b>long text</b></a>";
  Result<XmlDocument> parsed = parse_xml_borrowing(xml);
  ASSERT_TRUE(parsed.ok());
  XmlDocument& document = parsed.value();
  const NodeId b = document[document.root].first_child();
  document.set_text(b, "short");
  const XmlDocument copy = document;
  document.set_text(b, "x");
  EXPECT_EQ(xml, "<a><b>long text</b></a>");
  EXPECT_EQ(document[b].text(), "x");
  EXPECT_EQ(copy[b].text(), "short");
}

TEST(ParseXml, NumbersNodesInStartTagOrder) {
  Result<XmlDocument> parsed = parse_xml("<r a='1' b='2'><x c='3'><y/></x><z/></r>");
  ASSERT_TRUE(parsed.ok());
  const XmlDocument& document = parsed.value();
  const char* names[] = {"r", "a", "b", "x", "c", "y", "z"};
  ASSERT_EQ(document.size(), std::size(names));
  for (NodeId id = 0; id < document.size(); ++id) {
    EXPECT_EQ(document[id].name(), names[id]);
    EXPECT_EQ(document.rank_of(id), id);
  }
  EXPECT_TRUE(document[1].is_attribute());
  EXPECT_EQ(document[4].parent(), 3u);
  EXPECT_EQ(document[5].parent(), 3u);
}

}  // namespace
}  // namespace tolvar
