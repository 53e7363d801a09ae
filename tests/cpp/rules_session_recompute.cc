// Starting a session and one run of its logic.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "rules/session.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

using testing::xform;
using testing::xform_with;

SessionState start(std::string_view instance, std::string_view binds) {
  Result<SessionState> session = start_session(xform_with(instance, binds), std::nullopt);
  EXPECT_TRUE(session.ok()) << session.error();
  return session.ok() ? std::move(session).value() : SessionState{};
}

// One line per field, entries separated by two spaces.
std::string describe(const RecomputeResult& result) {
  std::string text = "calculated:";
  for (const auto& [path, value] : result.calculated) text += "  " + path + "=" + value;
  text += "\nrelevant:";
  for (const auto& [path, asked] : result.relevant) text += "  " + path + (asked ? "" : "=no");
  text += "\nmissing:";
  for (const std::string& path : result.missing) text += "  " + path;
  text += "\ninvalid:";
  for (const auto& [path, message] : result.invalid) text += "  " + path + " " + message;
  text += "\nfailed:";
  for (const auto& [what, message] : result.failed) text += "  " + what + " " + message;
  text += "\nrepeats:";
  for (const auto& [path, rows] : result.repeats) text += "  " + path + "=" + std::to_string(rows);
  return text;
}

struct RecomputeCase {
  const char* name;
  std::string_view instance;
  std::string_view binds;
  std::string_view expected;
};

class Recompute : public ::testing::TestWithParam<RecomputeCase> {};

TEST_P(Recompute, ReportsTheFormStateAfterOneRun) {
  SessionState session = start(GetParam().instance, GetParam().binds);
  EXPECT_EQ(describe(recompute(session)), GetParam().expected);
}

std::string case_name(const ::testing::TestParamInfo<RecomputeCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Recompute,
    ::testing::Values(
        RecomputeCase{"values_already_stored", "<data><a>6</a><b>3</b></data>",
                      "<bind nodeset=\"/data/a\" calculate=\"/data/b * 2\"/>"
                      "<bind nodeset=\"/data/b\" calculate=\"3\"/>",
                      "calculated:\nrelevant:  /data/a  /data/b\nmissing:\ninvalid:\nfailed:\n"
                      "repeats:"},
        // b comes first in calculation order, and a reads the new b.
        RecomputeCase{"chain_on_empty_instance", "<data><a/><b/></data>",
                      "<bind nodeset=\"/data/a\" calculate=\"/data/b * 2\"/>"
                      "<bind nodeset=\"/data/b\" calculate=\"3\"/>",
                      "calculated:  /data/a=6  /data/b=3\nrelevant:  /data/a  /data/b\nmissing:\n"
                      "invalid:\nfailed:\nrepeats:"},
        // Calculations ignore relevance; hidden requirements are not missing.
        RecomputeCase{"hidden_group", "<data><x>1</x><g><c/><q/></g></data>",
                      "<bind nodeset=\"/data/g\" relevant=\"/data/x = 2\"/>"
                      "<bind nodeset=\"/data/g/c\" calculate=\"1 + 1\"/>"
                      "<bind nodeset=\"/data/g/q\" required=\"true()\"/>",
                      "calculated:  /data/g/c=2\nrelevant:  /data/g=no  /data/g/c=no  /data/g/q=no\n"
                      "missing:\ninvalid:\nfailed:\nrepeats:"},
        RecomputeCase{"missing_in_bind_order", "<data><b/><a/><c>x</c></data>",
                      "<bind nodeset=\"/data/a\" required=\"true()\"/>"
                      "<bind nodeset=\"/data/b\" required=\"true()\"/>"
                      "<bind nodeset=\"/data/c\" required=\"true()\"/>",
                      "calculated:\nrelevant:  /data/a  /data/b  /data/c\nmissing:  /data/a  /data/b\n"
                      "invalid:\nfailed:\nrepeats:"},
        RecomputeCase{"constraint_messages", "<data><a>3</a><b>3</b><c/></data>",
                      "<bind nodeset=\"/data/a\" constraint=\". &gt; 5\"/>"
                      "<bind nodeset=\"/data/b\" constraint=\". &gt; 5\" jr:constraintMsg=\"too low\"/>"
                      "<bind nodeset=\"/data/c\" constraint=\"false()\"/>",
                      "calculated:\nrelevant:  /data/a  /data/b  /data/c\nmissing:\n"
                      "invalid:  /data/a this answer is not allowed  /data/b too low\nfailed:\n"
                      "repeats:"},
        // A failing calculation: once by its bind, once by its node.
        RecomputeCase{"calculation_fails_twice", "<data><a/></data>",
                      "<bind nodeset=\"data/a\" calculate=\"nope()\"/>",
                      "calculated:\nrelevant:  /data/a\nmissing:\ninvalid:\n"
                      "failed:  data/a unknown function nope()  /data/a unknown function nope()\n"
                      "repeats:"},
        // Calculation errors, then relevance errors in full, then the judge's.
        RecomputeCase{"failures_in_phase_order", "<data><a/><q/><r/></data>",
                      "<bind nodeset=\"/data/r\" required=\"worse()\"/>"
                      "<bind nodeset=\"/data/q\" relevant=\"bad()\"/>"
                      "<bind nodeset=\"data/a\" calculate=\"nope()\"/>",
                      "calculated:\nrelevant:  /data/a  /data/q  /data/r\nmissing:\ninvalid:\n"
                      "failed:  data/a unknown function nope()"
                      "  /data/q /data/q: rule could not be evaluated — unknown function bad()"
                      "  /data/q unknown function bad()  /data/a unknown function nope()"
                      "  /data/r unknown function worse()\n"
                      "repeats:"},
        RecomputeCase{"repeat_rows", "<data><rep jr:template=\"\"><v/><t/></rep>"
                      "<rep><v>2</v><t/></rep><rep><v>5</v><t/></rep><empty jr:template=\"\"/></data>",
                      "<bind nodeset=\"/data/rep/t\" calculate=\"../v * 10\"/>",
                      "calculated:  /data/rep[1]/t=20  /data/rep[2]/t=50\n"
                      "relevant:  /data/rep[1]/t  /data/rep[2]/t\nmissing:\ninvalid:\nfailed:\n"
                      "repeats:  /data/empty=0  /data/rep=2"}),
    case_name);

TEST(Recompute, ASecondRunChangesNothing) {
  SessionState session = start("<data><a/><b/><n/></data>",
                              "<bind nodeset=\"/data/a\" calculate=\"/data/b * 2\"/>"
                              "<bind nodeset=\"/data/b\" calculate=\"3\"/>"
                              "<bind nodeset=\"/data/n\" calculate=\"''\"/>");
  EXPECT_EQ(recompute(session).calculated.size(), 2u);
  EXPECT_TRUE(recompute(session).calculated.empty());
  EXPECT_EQ(write_xml(session.instance),
            "<?xml version='1.0' ?><data><a>6</a><b>3</b><n/></data>");
}

TEST(Recompute, LeavesHiddenAnswersInPlace) {
  SessionState session = start("<data><x/><q>kept</q></data>",
                              "<bind nodeset=\"/data/q\" relevant=\"/data/x = 'yes'\"/>");
  RecomputeResult result = recompute(session);
  EXPECT_FALSE(result.relevant.at("/data/q"));
  EXPECT_EQ(write_xml(session.instance), "<?xml version='1.0' ?><data><x/><q>kept</q></data>");
}

TEST(Recompute, ReadsAnswersSetSinceTheLastRun) {
  SessionState session = start("<data><age/><adult/></data>",
                              "<bind nodeset=\"/data/adult\" calculate=\"/data/age &gt;= 18\"/>"
                              "<bind nodeset=\"/data/age\" required=\"true()\"/>");
  EXPECT_EQ(recompute(session).missing, std::vector<std::string>{"/data/age"});
  BareHost host(session.today, session.now);
  ASSERT_TRUE(set_answer(session.instance, "/data/age", "20", host).ok());
  RecomputeResult result = recompute(session);
  EXPECT_TRUE(result.missing.empty());
  EXPECT_EQ(result.calculated.at("/data/adult"), "true");
}

struct StartCase {
  const char* name;
  std::string form;
  std::optional<std::string_view> saved;
  std::string_view expected;  // the instance written out, or the failure
};

class StartSession : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartSession, BuildsTheStartingInstanceOrFails) {
  Result<SessionState> session = start_session(GetParam().form, GetParam().saved);
  EXPECT_EQ(session.ok() ? write_xml(session.value().instance) : session.error(),
            GetParam().expected);
}

const std::string kRepeatForm =
    xform_with("<data><rep jr:template=\"\"><v>d</v></rep><q>default</q></data>",
               "<bind nodeset=\"/data/q\" required=\"true()\"/>");

INSTANTIATE_TEST_SUITE_P(
    Cases, StartSession,
    ::testing::Values(
        StartCase{"primary", kRepeatForm, std::nullopt,
                  "<?xml version='1.0' ?><data><q>default</q></data>"},
        StartCase{"saved", kRepeatForm,
                  "<data><rep template=\"\"><v>old</v></rep><rep><v>1</v></rep><q>x</q></data>",
                  "<?xml version='1.0' ?><data><rep><v>1</v></rep><q>x</q></data>"},
        StartCase{"saved_not_well_formed", kRepeatForm, "<data><q>",
                  "saved instance: unclosed elements"},
        StartCase{"form_fails_first", "<h:html>", "<data><q>",
                  "XForm XML: unclosed elements"},
        StartCase{"empty_primary_instance", xform_with("", "<bind nodeset=\"/data/q\"/>"),
                  std::nullopt, "the XForm's primary instance is empty"},
        StartCase{"no_primary_instance", xform("<bind nodeset=\"/data/q\"/>"), std::nullopt,
                  "the XForm has no primary instance"}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST(StartSession, FormTemplatesWinOverSavedOnes) {
  Result<SessionState> started = start_session(
      kRepeatForm, "<data><rep template=\"\"><v>saved</v></rep><q/></data>");
  ASSERT_TRUE(started.ok()) << started.error();
  SessionState& session = started.value();
  EXPECT_EQ(session.today, std::nullopt);
  EXPECT_EQ(session.now, std::nullopt);
  BareHost host(session.today, session.now);
  ASSERT_EQ(add_row(session.instance, session.templates, "/data/rep", host).value(), 1u);
  EXPECT_EQ(get_answer(session.instance, "/data/rep/v", host), "d");
}

}  // namespace
}  // namespace tolvar
