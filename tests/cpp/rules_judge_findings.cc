// What the judge reports for a submission: relevance, calculations,
// requirements, constraints, repeats and the order of it all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/judge.h"
#include "rules/model_document.h"
#include "rules_judge_forms.h"
#include "tree_support.h"

namespace tolvar {
namespace {

using Messages = std::vector<std::string>;
using testing::judge_messages;
using testing::xform;
using testing::xform_with;

constexpr const char* kBlank = "<data><g><q/></g><age/><total/><name/></data>";

struct JudgeCase {
  const char* name;
  const char* binds;
  const char* submission;
  Messages expected;
};

void run(const std::vector<JudgeCase>& cases, const char* instance = kBlank) {
  for (const JudgeCase& row : cases) {
    EXPECT_EQ(judge_messages(xform_with(instance, row.binds), row.submission), row.expected)
        << row.name;
  }
}

TEST(JudgeRelevance, NonRelevantGroupHidesEverythingBelowIt) {
  run({
      {"required_in_hidden_group",
       "<bind nodeset=\"/data/g\" relevant=\"/data/age &gt; 10\"/>"
       "<bind nodeset=\"/data/g/q\" required=\"true()\" relevant=\"true()\"/>",
       "<data><g><q/></g><age>3</age></data>",
       {}},
      {"required_in_shown_group",
       "<bind nodeset=\"/data/g\" relevant=\"/data/age &gt; 10\"/>"
       "<bind nodeset=\"/data/g/q\" required=\"true()\"/>",
       "<data><g><q/></g><age>30</age></data>",
       {"required /data/g/q: required, and unanswered"}},
      {"hidden_grandparent_without_bound_parent",
       "<bind nodeset=\"/data/g\" relevant=\"0\"/><bind nodeset=\"/data/g/sub/q\" required=\"1\"/>",
       "<data><g><sub><q/></sub></g></data>",
       {}},
      {"calculation_in_hidden_group_not_judged",
       "<bind nodeset=\"/data/g\" relevant=\"false()\"/>"
       "<bind nodeset=\"/data/g/q\" calculate=\"5\"/>",
       "<data><g><q>1</q></g></data>",
       {}},
      {"own_false_hides_node",
       "<bind nodeset=\"/data/age\" relevant=\"false()\" required=\"true()\"/>",
       "<data><age/></data>",
       {}},
      {"failed_relevance_leaves_node_asked",
       "<bind nodeset=\"/data/age\" relevant=\"$v\" required=\"true()\"/>",
       "<data><age/></data>",
       {"not-evaluated /data/age: rule could not be evaluated — variable $v: XForms has no "
        "variables, so this expression cannot be what the form meant",
        "required /data/age: required, and unanswered"}},
      {"last_bind_of_a_node_decides",
       "<bind nodeset=\"/data/age\" relevant=\"false()\"/>"
       "<bind nodeset=\"/data/age\" relevant=\"true()\" required=\"true()\"/>",
       "<data><age/></data>",
       {"required /data/age: required, and unanswered"}},
  });
}

// The unknown-function message is the library's; only its presence matters.
TEST(JudgeRelevance, FailedRuleCarriesTheLibraryMessage) {
  Messages found = judge_messages(
      xform_with(kBlank, "<bind nodeset=\"/data/age\" constraint=\"nosuch(.)\"/>"),
      "<data><age>4</age></data>");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0].starts_with("not-evaluated /data/age: rule could not be evaluated — "));
  EXPECT_GT(found[0].size(), std::string("not-evaluated /data/age: rule could not be evaluated — ").size());
}

TEST(JudgeAnswers, RequiredAndConstraintFollowTheAnswer) {
  run({
      {"single_space_is_unanswered", "<bind nodeset=\"/data/name\" required=\"true()\"/>",
       "<data><name> </name></data>", {"required /data/name: required, and unanswered"}},
      {"required_message", "<bind nodeset=\"/data/name\" required=\"1\" requiredMsg=\"Say it\"/>",
       "<data><name/></data>", {"required /data/name: Say it"}},
      {"required_false_is_quiet", "<bind nodeset=\"/data/name\" required=\"false()\"/>",
       "<data><name/></data>", {}},
      {"unanswered_constraint_never_runs", "<bind nodeset=\"/data/age\" constraint=\"nosuch()\"/>",
       "<data><age/></data>", {}},
      {"constraint_zero_fails", "<bind nodeset=\"/data/age\" constraint=\"0\"/>",
       "<data><age>4</age></data>",
       {"constraint /data/age: the answer does not satisfy the form's constraint"}},
      {"constraint_nan_fails", "<bind nodeset=\"/data/age\" constraint=\"number('x')\"/>",
       "<data><age>4</age></data>",
       {"constraint /data/age: the answer does not satisfy the form's constraint"}},
      {"constraint_empty_string_fails", "<bind nodeset=\"/data/age\" constraint=\"''\"/>",
       "<data><age>4</age></data>",
       {"constraint /data/age: the answer does not satisfy the form's constraint"}},
      {"constraint_string_false_passes", "<bind nodeset=\"/data/age\" constraint=\"'false'\"/>",
       "<data><age>4</age></data>", {}},
      {"constraint_reads_the_node", "<bind nodeset=\"/data/age\" constraint=\". &lt; 3\" constraintMsg=\"too old\"/>",
       "<data><age>4</age></data>", {"constraint /data/age: too old"}},
      // A node that is missing a required answer is not also held to its constraint.
      {"required_finding_skips_constraint",
       "<bind nodeset=\"/data/age\" required=\"true()\" constraint=\"false()\"/>",
       "<data><age/></data>", {"required /data/age: required, and unanswered"}},
      {"answered_required_error_then_constraint",
       "<bind nodeset=\"/data/age\" required=\"$x\" constraint=\"false()\"/>",
       "<data><age>1</age></data>",
       {"not-evaluated /data/age: rule could not be evaluated — variable $x: XForms has no "
        "variables, so this expression cannot be what the form meant",
        "constraint /data/age: the answer does not satisfy the form's constraint"}},
  });
}

TEST(JudgeCalculations, StoredTextMustMatchExactly) {
  run({
      {"five_against_five_point_zero", "<bind nodeset=\"/data/total\" calculate=\"2 + 3\"/>",
       "<data><total>5.0</total></data>",
       {"calculation /data/total: holds \"5.0\", but the form calculates \"5\""}},
      {"empty_node_is_judged", "<bind nodeset=\"/data/total\" calculate=\"2 + 3\"/>",
       "<data><total/></data>", {"calculation /data/total: holds \"\", but the form calculates \"5\""}},
      {"matching_value_is_quiet", "<bind nodeset=\"/data/total\" calculate=\"/data/age * 2\"/>",
       "<data><age>4</age><total>8</total></data>", {}},
      {"values_are_quoted", "<bind nodeset=\"/data/total\" calculate=\"concat('a', '&quot;')\"/>",
       "<data><total>x\\y</total></data>",
       {"calculation /data/total: holds \"x\\\\y\", but the form calculates \"a\\\"\""}},
      {"boolean_stored_by_collect", "<bind nodeset=\"/data/total\" calculate=\"/data/age &gt; 3\"/>",
       "<data><age>4</age><total>1</total></data>", {}},
      {"boolean_stored_by_the_browsers", "<bind nodeset=\"/data/total\" calculate=\"/data/age &gt; 3\"/>",
       "<data><age>2</age><total>false</total></data>", {}},
      {"boolean_one_for_false", "<bind nodeset=\"/data/total\" calculate=\"/data/age &gt; 3\"/>",
       "<data><age>2</age><total>1</total></data>",
       {"calculation /data/total: holds \"1\", but the form calculates \"false\""}},
      {"boolean_in_other_words", "<bind nodeset=\"/data/total\" calculate=\"/data/age &gt; 3\"/>",
       "<data><age>4</age><total>True</total></data>",
       {"calculation /data/total: holds \"True\", but the form calculates \"true\""}},
      {"number_one_is_no_boolean", "<bind nodeset=\"/data/total\" calculate=\"/data/age - 3\"/>",
       "<data><age>4</age><total>true</total></data>",
       {"calculation /data/total: holds \"true\", but the form calculates \"1\""}},
      {"failure_is_not_evaluated_and_not_a_pass", "<bind nodeset=\"/data/total\" calculate=\"$total\"/>",
       "<data><total>5</total></data>",
       {"not-evaluated /data/total: rule could not be evaluated — variable $total: XForms has no "
        "variables, so this expression cannot be what the form meant"}},
  });
}

TEST(JudgeOrder, RelevanceThenCalculationsThenAnswers) {
  run({{"phases",
        "<bind nodeset=\"/data/name\" required=\"true()\"/>"
        "<bind nodeset=\"/data/total\" calculate=\"/data/age + 1\"/>"
        "<bind nodeset=\"/data/age\" calculate=\"1\" relevant=\"$r\" constraint=\". &gt; 5\"/>",
        "<data><age>3</age><total>9</total><name/></data>",
        {"not-evaluated /data/age: rule could not be evaluated — variable $r: XForms has no "
         "variables, so this expression cannot be what the form meant",
         "calculation /data/age: holds \"3\", but the form calculates \"1\"",
         "calculation /data/total: holds \"9\", but the form calculates \"4\"",
         "required /data/name: required, and unanswered",
         "constraint /data/age: the answer does not satisfy the form's constraint"}}});
}

TEST(JudgeNodesets, WhatANodesetSelects) {
  run({
      {"relative_from_model_root", "<bind nodeset=\"data/name\" required=\"true()\"/>",
       "<data><name/></data>", {"required /data/name: required, and unanswered"}},
      {"relative_without_instance_root", "<bind nodeset=\"name\" required=\"true()\"/>",
       "<data><name/></data>", {}},
      {"unparsable_nodeset", "<bind nodeset=\"/data/[\" required=\"true()\"/>",
       "<data><name/></data>", {}},
      {"nodeset_not_a_node_set", "<bind nodeset=\"1 + 1\" required=\"true()\"/>",
       "<data><name/></data>", {}},
      {"submission_root_differs", "<bind nodeset=\"/data/name\" required=\"true()\"/>",
       "<other><name/></other>", {}},
      {"everything_holds",
       "<bind nodeset=\"/data/name\" required=\"true()\" constraint=\"string-length(.) &gt; 1\"/>"
       "<bind nodeset=\"/data/total\" calculate=\"string-length(/data/name)\"/>",
       "<data><name>Ann</name><total>3</total></data>", {}},
  });
}

TEST(JudgeRepeats, EveryRowIsJudgedUnderItsOwnPath) {
  const char* instance = "<data><rep><q/></rep></data>";
  run({{"three_rows", "<bind nodeset=\"/data/rep/q\" required=\"true()\"/>",
        "<data><rep><q/></rep><rep><q>1</q></rep><rep><q/></rep><rep><q/></rep></data>",
        {"required /data/rep[1]/q: required, and unanswered",
         "required /data/rep[3]/q: required, and unanswered",
         "required /data/rep[4]/q: required, and unanswered"}},
       {"single_row", "<bind nodeset=\"/data/rep/q\" required=\"true()\"/>",
        "<data><rep><q/></rep></data>", {"required /data/rep/q: required, and unanswered"}},
       {"relative_rule_reads_its_own_row",
        "<bind nodeset=\"/data/rep\" relevant=\"q != 'skip'\"/>"
        "<bind nodeset=\"/data/rep/q\" constraint=\". = 'ok'\"/>",
        "<data><rep><q>ok</q></rep><rep><q>skip</q></rep><rep><q>bad</q></rep></data>",
        {"constraint /data/rep[3]/q: the answer does not satisfy the form's constraint"}}},
      instance);
}

// Many rows and many binds: the judge must stay roughly linear.
TEST(JudgeRepeats, TenThousandRows) {
  std::string rows;
  for (int i = 0; i < 10000; ++i) rows += i == 7777 ? "<rep><q/></rep>" : "<rep><q>1</q></rep>";
  Messages found = judge_messages(
      xform_with("<data><rep><q/></rep></data>",
                 "<bind nodeset=\"/data/rep\" relevant=\"q != 'x'\"/>"
                 "<bind nodeset=\"/data/rep/q\" required=\"true()\" constraint=\". = 1\"/>"),
      "<data>" + rows + "</data>");
  EXPECT_EQ(found, Messages{"required /data/rep[7778]/q: required, and unanswered"});
}

TEST(JudgeModel, InstanceRootThenSecondaryInstancesById) {
  Result<Form> form = load_form(xform(
      "<instance><data><q/></data></instance><instance id=\"zeta\"><z/></instance>"
      "<instance id=\"alpha\"><a/></instance><bind nodeset=\"/data/q\"/>"));
  ASSERT_TRUE(form.ok()) << form.error();
  Result<XmlDocument> submission = parse_xml("<data><q>1</q></data>");
  ASSERT_TRUE(submission.ok());
  XmlDocument model = model_document(form.value(), submission.value());
  std::vector<std::string> paths;
  for (NodeId child : children_of(model, model.root)) paths.push_back(model.node_path(child));
  EXPECT_EQ(paths, (std::vector<std::string>{"/model/data", "/model/instance[1]", "/model/instance[2]"}));
  EXPECT_EQ(*model.attribute(children_of(model, model.root)[1], "id"), "alpha");
}

}  // namespace
}  // namespace tolvar
