// Loading a form: what is refused (and which fault wins), what is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/form.h"
#include "rules_judge_forms.h"
#include "tree_support.h"

namespace tolvar {
namespace {

using testing::xform;
using testing::xform_with;

constexpr const char* kData = "<data><a/><b/><c/><age/></data>";

struct Refusal {
  const char* name;
  std::string form;
  std::string message;
};

std::vector<Refusal> refusals() {
  return {
      {"broken_xml", "<h:html><model>", "XForm XML: unclosed elements"},
      {"html_page", "<html><body><p>Hello</p></body></html>",
       "the XForm declares no binds, so it carries no rules"},
      {"empty_model", xform(""), "the XForm declares no binds, so it carries no rules"},
      {"submission_given_as_form", "<data id=\"f\"><q>1</q></data>",
       "the XForm declares no binds, so it carries no rules"},
      {"body_without_binds", xform("<instance><data><q/></data></instance>", "<input ref=\"/data/q\"/>"),
       "the XForm declares no binds, so it carries no rules"},
      {"no_nodeset", xform_with(kData, "<bind type=\"string\"/>"), "a <bind> has no nodeset"},
      {"blank_nodeset_and_ref", xform_with(kData, "<bind nodeset=\" \" ref=\"\t\"/>"),
       "a <bind> has no nodeset"},
      {"missing_nodeset_before_later_parse_failure",
       xform_with(kData, "<bind relevant=\"1\"/><bind nodeset=\"/data/a\" relevant=\"(\"/>"),
       "a <bind> has no nodeset"},
      {"two_way_cycle",
       xform_with(kData, "<bind nodeset=\"/data/a\" calculate=\"/data/b + 1\"/>"
                         "<bind nodeset=\"/data/b\" calculate=\"/data/a\"/>"),
       "these calculations depend on each other, so none of them has a defined value: "
       "/data/a → /data/b → /data/a"},
      // The chain starts at the bind met again, not at the bind the search began from.
      {"cycle_reached_through_another_bind",
       xform_with(kData, "<bind nodeset=\"/data/c\" calculate=\"/data/a\"/>"
                         "<bind nodeset=\"/data/a\" calculate=\"../b\"/>"
                         "<bind nodeset=\"/data/b\" calculate=\"/data/a * 2\"/>"),
       "these calculations depend on each other, so none of them has a defined value: "
       "/data/a → /data/b → /data/a"},
  };
}

TEST(FormLoading, RefusesWithOneMessage) {
  for (const Refusal& row : refusals()) {
    Result<Form> form = load_form(row.form);
    ASSERT_FALSE(form.ok()) << row.name;
    EXPECT_EQ(form.error(), row.message) << row.name;
  }
}

struct ParseRefusal {
  const char* name;
  const char* binds;
  const char* prefix;
  const char* suffix;
};

// The parser's own message sits between the two parts.
constexpr ParseRefusal kParseRefusals[] = {
    {"constraint", "<bind nodeset=\"/data/age\" constraint=\". &gt; #\"/>",
     "constraint of /data/age: ", " — in expression . > #"},
    {"unclosed_parenthesis", "<bind nodeset=\"/data/a\" relevant=\"(/data/b = 1\"/>",
     "relevant of /data/a: ", " — in expression (/data/b = 1"},
    {"source_kept_untrimmed", "<bind ref=\"/data/a\" calculate=\" 1 + \"/>",
     "calculate of /data/a: ", " — in expression  1 + "},
    {"earlier_bind_wins_over_later_missing_nodeset",
     "<bind nodeset=\"/data/a\" required=\"true(\"/><bind relevant=\"1\"/>", "required of /data/a: ",
     " — in expression true("},
    {"constraint_read_before_required",
     "<bind nodeset=\"/data/a\" required=\"+\" constraint=\")\"/>", "constraint of /data/a: ",
     " — in expression )"},
    {"readonly_is_parsed", "<bind nodeset=\"/data/a\" readonly=\"1 +\"/>", "readonly of /data/a: ",
     " — in expression 1 +"},
    {"parse_failure_before_cycle",
     "<bind nodeset=\"/data/a\" calculate=\"/data/b\"/><bind nodeset=\"/data/b\" "
     "calculate=\"/data/a\"/><bind nodeset=\"/data/c\" relevant=\"=\"/>",
     "relevant of /data/c: ", " — in expression ="},
};

TEST(FormLoading, RuleThatDoesNotParseNamesBindAndSource) {
  for (const ParseRefusal& row : kParseRefusals) {
    Result<Form> form = load_form(xform_with(kData, row.binds));
    ASSERT_FALSE(form.ok()) << row.name;
    const std::string& message = form.error();
    EXPECT_TRUE(message.starts_with(row.prefix)) << row.name << ": " << message;
    EXPECT_TRUE(message.ends_with(row.suffix)) << row.name << ": " << message;
    EXPECT_GT(message.size(), std::string(row.prefix).size() + std::string(row.suffix).size())
        << row.name;
  }
}

std::string parenthesised(const std::string& inner, int times) {
  return std::string(times, '(') + inner + std::string(times, ')');
}

// A rule nested too deep to read is kept unread: the form loads, and every
// evaluation of that rule gives the parser's refusal, and it orders no
// calculation. A syntax error within the limit still refuses the form.
TEST(FormLoading, RuleNestedTooDeepLoadsUnread) {
  Result<Form> form = load_form(xform_with(
      kData, "<bind nodeset=\"/data/a\" calculate=\"" + parenthesised("/data/b", 300) +
                 "\" relevant=\"1\"/><bind nodeset=\"/data/b\" calculate=\"/data/a\"/>"));
  ASSERT_TRUE(form.ok()) << form.error();
  const BindRule& unread = *form.value().binds[0].calculate;
  EXPECT_TRUE(unread.expr.over_limit());
  EXPECT_EQ(unread.source, parenthesised("/data/b", 300));
  EXPECT_TRUE(form.value().binds[0].relevant->expr.ok());
  Result<Form> invalid = load_form(
      xform_with(kData, "<bind nodeset=\"/data/a\" relevant=\"" + parenthesised("1 +", 200) + "\"/>"));
  ASSERT_FALSE(invalid.ok());
  EXPECT_TRUE(invalid.error().starts_with("relevant of /data/a: expected")) << invalid.error();
}

Form load(const std::string& binds, const std::string& extra = "") {
  Result<Form> form = load_form(xform(std::string("<instance>") + kData + "</instance>" + extra + binds));
  EXPECT_TRUE(form.ok()) << form.error();
  return form.ok() ? std::move(form).value() : Form{};
}

TEST(FormLoading, ReadsBindAttributesByLocalName) {
  Form form = load(
      "<bind nodeset=\"  \" ref=\"/data/x\" relevant=\"\" calculate=\" \" required=\"true()\"/>"
      "<xf:bind nodeset=\"/data/a\" jr:constraintMsg=\"too old\" constraint=\". &lt; 5\" "
      "requiredMsg=\" \"/>");
  ASSERT_EQ(form.binds.size(), 2u);
  const Bind& by_ref = form.binds[0];
  EXPECT_EQ(by_ref.nodeset, "/data/x");
  EXPECT_FALSE(by_ref.relevant);
  EXPECT_FALSE(by_ref.calculate);
  ASSERT_TRUE(by_ref.required);
  EXPECT_EQ(by_ref.required->source, "true()");
  const Bind& prefixed = form.binds[1];
  EXPECT_EQ(prefixed.constraint_msg, "too old");
  EXPECT_FALSE(prefixed.required_msg);
  ASSERT_TRUE(prefixed.constraint);
  EXPECT_EQ(prefixed.constraint->source, ". < 5");
}

TEST(FormLoading, LaterBindOfTheSameNodesetIsTheOneMapped) {
  Form form = load("<bind nodeset=\"/data/a\" required=\"true()\"/><bind nodeset=\"/data/b\"/>"
                   "<bind nodeset=\"/data/a\" relevant=\"false()\"/>");
  EXPECT_EQ(form.binds.size(), 3u);
  EXPECT_EQ(form.by_nodeset.at("/data/a"), 2u);
  EXPECT_EQ(form.by_nodeset.at("/data/b"), 1u);
}

struct OrderCase {
  const char* name;
  const char* binds;
  std::vector<std::size_t> order;
};

const OrderCase kOrders[] = {
    {"reader_after_what_it_reads",
     "<bind nodeset=\"/data/a\" calculate=\"/data/b * 2\"/><bind nodeset=\"/data/b\" calculate=\"3\"/>",
     {1, 0}},
    {"own_node_is_no_cycle", "<bind nodeset=\"/data/a\" calculate=\"/data/a + 1\"/>", {0}},
    {"plain_bind_imposes_no_order",
     "<bind nodeset=\"/data/a\" calculate=\"/data/c + 1\"/><bind nodeset=\"/data/c\" required=\"true()\"/>"
     "<bind nodeset=\"/data/b\" calculate=\"2\"/>",
     {0, 2}},
    {"relative_path_resolved_from_nodeset",
     "<bind nodeset=\"/data/a\" calculate=\"../b + data/b\"/><bind nodeset=\"/data/b\" calculate=\"1\"/>",
     {1, 0}},
    {"unprefixed_relative_path_is_not_the_sibling",
     "<bind nodeset=\"/data/a\" calculate=\"data/b\"/><bind nodeset=\"/data/b\" calculate=\"1\"/>",
     {0, 1}},
    {"relevance_creates_no_dependency",
     "<bind nodeset=\"/data/a\" calculate=\"1\" relevant=\"/data/b\"/>"
     "<bind nodeset=\"/data/b\" calculate=\"/data/a\"/>",
     {0, 1}},
    {"independent_calculations_keep_document_order",
     "<bind nodeset=\"/data/c\" calculate=\"1\"/><bind nodeset=\"/data/a\" calculate=\"/data/b\"/>"
     "<bind nodeset=\"/data/age\" calculate=\"2\"/><bind nodeset=\"/data/b\" calculate=\"3\"/>",
     {0, 3, 1, 2}},
};

TEST(FormLoading, CalculationsComeAfterWhatTheyRead) {
  for (const OrderCase& row : kOrders) {
    EXPECT_EQ(load(row.binds).calc_order, row.order) << row.name;
  }
}

// A chain of calculations each reading the next must neither recurse nor
// take quadratic time.
TEST(FormLoading, LongCalculationChainLoadsInReverseOrder) {
  constexpr std::size_t kLength = 20000;
  std::string binds;
  for (std::size_t i = 0; i < kLength; ++i) {
    binds += "<bind nodeset=\"/data/v" + std::to_string(i) + "\" calculate=\"/data/v" +
             std::to_string(i + 1) + " + 1\"/>";
  }
  Form form = load(binds);
  ASSERT_EQ(form.calc_order.size(), kLength);
  EXPECT_EQ(form.calc_order.front(), kLength - 1);
  EXPECT_EQ(form.calc_order.back(), 0u);
}

TEST(FormLoading, SecondaryInstancesKeepTheirInstanceElement) {
  Form form = load("<bind nodeset=\"/data/a\"/>",
                   "<instance id=\"cities\"><root><item><name>x</name></item></root></instance>"
                   "<instance id=\"other\"><list/></instance>"
                   "<instance id=\"other\"><second/></instance>");
  ASSERT_EQ(form.instances.size(), 2u);
  const XmlDocument& cities = form.instances.at("cities");
  EXPECT_EQ(cities[cities.root].name(), "instance");
  ASSERT_EQ(children_of(cities, cities.root).size(), 1u);
  EXPECT_EQ(cities.node_path(cities.descendants(cities.root).back()), "/instance/root/item/name");
  const XmlDocument& other = form.instances.at("other");
  EXPECT_EQ(other[children_of(other, other.root).front()].name(), "second");
}

TEST(FormLoading, LastTranslationOfATextWins) {
  Form form = load("<bind nodeset=\"/data/a\"/>",
                   "<itext><translation lang=\"en\"><text id=\"q:label\"><value>Age</value></text>"
                   "<text id=\"only:en\"><value form=\"image\">a.png</value><value>x</value></text>"
                   "<text id=\"no-value\"><hint>h</hint></text></translation>"
                   "<translation lang=\"fr\"><text id=\"q:label\"><value>Âge</value></text>"
                   "</translation></itext>");
  EXPECT_EQ(form.itext.at("q:label"), "Âge");
  EXPECT_EQ(form.itext.at("only:en"), "a.png");
  EXPECT_EQ(form.itext.count("no-value"), 0u);
}

struct PrimaryCase {
  const char* name;
  const char* form;
  const char* outcome;  // root name, or the failure message
};

constexpr PrimaryCase kPrimaries[] = {
    {"first_instance_even_with_id",
     "<h:html><model><instance id=\"f\"><data><q/></data></instance>"
     "<instance id=\"s\"><list/></instance></model></h:html>",
     "data"},
    {"none", "<h:html><model><bind nodeset=\"/d\"/></model></h:html>",
     "the XForm has no primary instance"},
    {"empty", "<h:html><model><instance>text</instance></model></h:html>",
     "the XForm's primary instance is empty"},
};

TEST(FormLoading, PrimaryInstanceIsTheFirstInstanceContent) {
  for (const PrimaryCase& row : kPrimaries) {
    Result<XmlDocument> form = parse_xml(row.form);
    ASSERT_TRUE(form.ok()) << row.name;
    Result<XmlDocument> primary = primary_instance(form.value());
    std::string outcome =
        primary.ok() ? std::string(primary.value()[primary.value().root].name()) : primary.error();
    EXPECT_EQ(outcome, row.outcome) << row.name;
  }
}

}  // namespace
}  // namespace tolvar
