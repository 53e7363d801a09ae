#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "tree/document.h"

namespace tolvar {
namespace {

constexpr std::string_view kDeclaration = "<?xml version='1.0' ?>";

struct WriteCase {
  std::string_view xml;
  std::string_view written;  // without the declaration
};

TEST(WriteXml, WritesCompactlyWithEscapedTextAndDoubleQuotedAttributes) {
  const WriteCase cases[] = {
      {"<data><a/><b>x &amp; y</b></data>", "<data><a/><b>x &amp; y</b></data>"},
      {"<a t='it&apos;s \"q\"'/>", "<a t=\"it's &quot;q&quot;\"/>"},
      {"<a>t<b/></a>", "<a><b/></a>"},  // an element with children drops its text
      {"<a x='1'>  x  </a>", "<a x=\"1\">  x  </a>"},
      {"<a>&lt;&gt;\"'&#233;\t\n</a>", "<a>&lt;&gt;&quot;'\xC3\xA9\t\n</a>"},
      {"<h:html xmlns:h='u'><h:body/></h:html>", "<html h=\"u\"><body/></html>"},
      {"<a x='&lt;&amp;'></a>", "<a x=\"&lt;&amp;\"/>"},
      {"<a><![CDATA[<x/> & \"q\"]]></a>", "<a>&lt;x/&gt; &amp; &quot;q&quot;</a>"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.xml);
    Result<XmlDocument> parsed = parse_xml(c.xml);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(write_xml(parsed.value()), std::string(kDeclaration) + std::string(c.written));
  }
}

TEST(WriteXml, WritesTheDeclarationAloneWithoutARoot) {
  EXPECT_EQ(write_xml(XmlDocument{}), kDeclaration);
}

TEST(EscapeXml, AppendsAndEscapesFourCharacters) {
  std::string out = "=";
  escape_xml("a&b<c>d\"e'f", out);
  EXPECT_EQ(out, "=a&amp;b&lt;c&gt;d&quot;e'f");
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Real forms and submissions, comments and CDATA sections among them: each
// parses, and writing is a fixed point of parse-then-write (the first write
// already drops the text of elements that also have children).
TEST(WriteXml, CorpusDocumentsSurviveAWriteAndParseRoundTrip) {
  const std::filesystem::path corpus =
      std::filesystem::path(__FILE__).parent_path() / "../../../shared/corpus";
  if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::size_t checked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    SCOPED_TRACE(entry.path().string());
    Result<XmlDocument> first = parse_xml(read_file(entry.path()));
    ASSERT_TRUE(first.ok()) << first.error();
    const std::string written = write_xml(first.value());
    Result<XmlDocument> second = parse_xml(written);
    ASSERT_TRUE(second.ok()) << second.error();
    EXPECT_EQ(write_xml(second.value()), written);
    EXPECT_EQ(second.value().size(), first.value().size());
    ++checked;
  }
  EXPECT_GT(checked, 300u);
}

}  // namespace
}  // namespace tolvar
