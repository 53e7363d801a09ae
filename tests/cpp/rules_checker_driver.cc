#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/checker/checker.h"
#include "tree/document.h"

namespace tolvar {
namespace {

// A form with one primary instance <data><a/><grp><b/></grp><rep><c/></rep></data>.
std::string form_with(const std::string& model_extra, const std::string& binds,
                      const std::string& body = "") {
  return "<h:html xmlns:h=\"http://www.w3.org/1999/xhtml\"><h:head><model>" + model_extra +
         "<instance><data><a/><grp><b/></grp><rep><c/></rep></data></instance>" + binds +
         "</model></h:head><h:body>" + body + "</h:body></h:html>";
}

std::vector<Finding> check(const std::string& xml) {
  Result<XmlDocument> document = parse_xml(xml);
  EXPECT_TRUE(document.ok()) << document.error();
  if (!document.ok()) return {};
  return check_form_document(document.value());
}

// "rule: construct" per finding, enough to see order and content at once.
std::vector<std::string> summary(const std::vector<Finding>& findings) {
  std::vector<std::string> out;
  for (const Finding& f : findings) out.push_back(f.path + " " + f.rule + ": " + f.construct);
  return out;
}

TEST(CheckFormDocument, FormWithoutBindsHasNoFindings) {
  EXPECT_TRUE(check(form_with("", "", "<input ref=\"/data/a\"/>")).empty());
}

TEST(CheckFormDocument, BlankNodesetFallsBackToRefAndTextsAreTrimmed) {
  std::vector<Finding> findings =
      check(form_with("", "<bind nodeset=\"  \" ref=\" /data/a \" relevant=\"  last() \"/>"));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].path, "/data/a");
  EXPECT_EQ(findings[0].rule, "relevant");
  EXPECT_EQ(findings[0].expression, "last()");
}

TEST(CheckFormDocument, BindsWithoutTargetAndUnparsableRulesAreSkipped) {
  std::vector<Finding> findings = check(form_with(
      "", "<bind calculate=\"last()\"/><bind nodeset=\"/data/a\" relevant=\"//a[\" "
          "calculate=\"//a\"/>"));
  EXPECT_EQ(summary(findings), std::vector<std::string>{"/data/a calculate: the // shorthand"});
}

std::string nested(const std::string& open, const std::string& inner, const std::string& close,
                   int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += open;
  text += inner;
  for (int i = 0; i < times; ++i) text += close;
  return text;
}

struct DepthCase {
  const char* name;
  std::string relevant;
  std::vector<std::string> found;  // for the relevant; the calculate's // always follows
};

const std::string kUnread =
    "/data/a relevant: an expression nested deeper than 256 levels";

// A rule beyond the nesting limit is reported, whatever nests; one within
// it is checked as usual, and a long operator chain is no nesting at all.
TEST(CheckFormDocument, RulesNestedBeyondTheLimitAreReportedUnread) {
  const DepthCase cases[] = {
      {"257 parentheses", nested("(", "last()", ")", 257), {kUnread}},
      {"300 calls", nested("string(", "1", ")", 300), {kUnread}},
      {"300 predicates", "/data" + nested("[a", "1", "]", 300), {kUnread}},
      {"300 minus signs", nested("-", "1", "", 300), {kUnread}},
      {"256 parentheses", nested("(", "last()", ")", 256), {"/data/a relevant: last()"}},
      {"a chain of 10000", nested("last() or ", "1", "", 10000),
       std::vector<std::string>(10000, "/data/a relevant: last()")},
      {"deep and invalid", nested("(", "1 +", ")", 100), {}},
  };
  for (const DepthCase& c : cases) {
    std::vector<std::string> expected = c.found;
    expected.push_back("/data/a calculate: the // shorthand");
    EXPECT_EQ(summary(check(form_with("", "<bind nodeset=\"/data/a\" relevant=\"" + c.relevant +
                                              "\" calculate=\"//a\"/>"))),
              expected)
        << c.name;
  }
}

TEST(CheckFormDocument, RulesComeInFixedAttributeOrderThenBindOrder) {
  std::vector<Finding> findings = check(form_with(
      "", "<bind nodeset=\"/data/a\" readonly=\"last()\" required=\"floor(1)\" "
          "constraint=\"ceiling(1)\" calculate=\"substring('a', 1)\" relevant=\"area(.)\"/>"
          "<x:bind xmlns:x=\"urn:x\" nodeset=\"/data/grp/b\" relevant=\"last()\"/>"));
  EXPECT_EQ(summary(findings), (std::vector<std::string>{
                                   "/data/a relevant: area()",
                                   "/data/a calculate: substring()",
                                   "/data/a constraint: ceiling()",
                                   "/data/a required: floor()",
                                   "/data/a readonly: last()",
                                   "/data/grp/b relevant: last()",
                               }));
}

TEST(CheckFormDocument, EachShorthandOfAComparisonIsItsOwnFindingLeftFirst) {
  std::vector<Finding> findings = check(form_with("", "<bind nodeset=\"/data/a\" relevant=\"//a = //a[2]\"/>"));
  EXPECT_EQ(summary(findings), (std::vector<std::string>{
                                   "/data/a relevant: the // shorthand",
                                   "/data/a relevant: the // shorthand",
                                   "/data/a relevant: the positional predicate [2]",
                               }));
}

TEST(CheckFormDocument, InstancePathFindingsFollowTheWalkersOncePerPath) {
  std::vector<Finding> findings = check(form_with(
      "", "<bind nodeset=\"/data/grp/b\" calculate=\"/data/nope + last() + ../nope + "
          "/data/nope + ../a + . + count(/data/rep[zz = 1]/c)\"/>"));
  EXPECT_EQ(summary(findings), (std::vector<std::string>{
                                   "/data/grp/b calculate: last()",
                                   "/data/grp/b calculate: /data/nope, which this form's "
                                   "instance has no node for",
                                   "/data/grp/b calculate: /data/grp/nope, which this form's "
                                   "instance has no node for",
                                   "/data/grp/b calculate: /data/grp/a, which this form's "
                                   "instance has no node for",
                               }));
  ASSERT_EQ(findings.size(), 4u);
  EXPECT_EQ(findings[3].suggestion, "/data/a");
}

TEST(CheckFormDocument, PathsIntoSecondaryInstancesAndFiltersAreNotChecked) {
  std::vector<Finding> findings = check(form_with(
      "<instance id=\"list\"><root><item/></root></instance>",
      "<bind nodeset=\"/data/a\" calculate=\"/list/item + instance('list')/root/nope\"/>"));
  EXPECT_TRUE(findings.empty());
}

TEST(CheckFormDocument, OnlyTheFirstInstanceWithoutIdIsPrimary) {
  std::string xml =
      "<html><model><instance id=\"list\"><root/></instance>"
      "<instance><data><a/></data></instance><instance><other><b/></other></instance>"
      "<bind nodeset=\"/data/a\" calculate=\"/data/a + /other/b\"/></model></html>";
  std::vector<Finding> findings = check(xml);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].construct, "/other/b, which this form's instance has no node for");
  EXPECT_EQ(findings[0].suggestion,
            "a path under /data \u2014 that is this form's instance root, not /other");
}

TEST(CheckFormDocument, EmptyPrimaryInstanceGivesNoInstancePathFindings) {
  std::string xml =
      "<html><model><instance/><bind nodeset=\"/data/a\" calculate=\"/nowhere/at/all\"/>"
      "</model></html>";
  EXPECT_TRUE(check(xml).empty());
}

TEST(CheckFormDocument, RepeatsComeFromTheFormBody) {
  std::vector<Finding> findings = check(form_with(
      "", "<bind nodeset=\"/data/a\" constraint=\". &gt; /data/rep/c\"/>",
      "<group><repeat nodeset=\" /data/rep \"><input ref=\"/data/rep/c\"/></repeat></group>"));
  EXPECT_EQ(summary(findings),
            std::vector<std::string>{"/data/a constraint: comparing /data/rep/c, which repeats"});
}

TEST(FindingSays, AnUnreadRuleSaysWhyAndHowToSplitIt) {
  std::vector<Finding> findings = check(form_with(
      "", "<bind nodeset=\"/data/a\" calculate=\"" + nested("(", "1", ")", 300) + "\"/>"));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(finding_says(findings[0]),
            "/data/a (calculate): an expression nested deeper than 256 levels \u2014 tolvar does "
            "not read expressions nested this deep, so this rule went unchecked, identically on "
            "both engines. Write calculations of their own for the inner parts instead.");
}

TEST(BreaksText, NamesEachEngine) {
  EXPECT_STREQ(breaks_text(Breaks::Tablet), "Collect / KoboCollect");
  EXPECT_STREQ(breaks_text(Breaks::Browser), "Enketo web forms");
  EXPECT_STREQ(breaks_text(Breaks::BothDifferently), "both, differently");
  EXPECT_STREQ(breaks_text(Breaks::BothSilently), "both, identically and silently");
}

struct SaysCase {
  const char* rule;
  const char* expression;
  const char* says;
};

class FindingSays : public testing::TestWithParam<SaysCase> {};

TEST_P(FindingSays, WordsTheWholeMessage) {
  const SaysCase& c = GetParam();
  std::string binds = std::string("<bind nodeset=\"/data/a\" ") + c.rule + "=\"" + c.expression + "\"/>";
  std::vector<Finding> findings = check(form_with("", binds));
  ASSERT_EQ(findings.size(), 1u) << c.expression;
  EXPECT_EQ(finding_says(findings[0]), c.says);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindingSays,
    testing::Values(
        SaysCase{"relevant", "//a",
                 "/data/a (relevant): the // shorthand \u2014 JavaRosa accepts only child and "
                 "attribute steps, . and .., and refuses the whole expression otherwise, so the "
                 "form does not open, on Collect / KoboCollect. Write the full path from the "
                 "instance root instead."},
        SaysCase{"constraint", "geofence(., /data/a)",
                 "/data/a (constraint): geofence() \u2014 Enketo does not implement it, so a web "
                 "form cannot open this, on Enketo web forms."},
        SaysCase{"constraint", "regex(., '[0-9]+')",
                 "/data/a (constraint): regex() with the unanchored pattern \"[0-9]+\" \u2014 "
                 "JavaRosa requires the whole value to match while Enketo accepts a match anywhere "
                 "in it, so the same answer passes in one and fails in the other, and the two "
                 "engines differ. Write '^(?:[0-9]+)$' instead."},
        SaysCase{"relevant", "/data/b = 'yes'",
                 "/data/a (relevant): /data/b, which this form's instance has no node for \u2014 "
                 "the path matches nothing, so the rule reads an empty node-set: a calculation "
                 "comes out 0, a comparison comes out false, and a relevant hides its question for "
                 "the whole of fieldwork, identically on both engines. Write /data/grp/b instead."}));

}  // namespace
}  // namespace tolvar
