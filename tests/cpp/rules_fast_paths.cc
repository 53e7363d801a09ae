// The shortcuts the engine takes on large instances give what the plain road
// gives: values written back through the calculation copy, rules run row by
// row, paths numbered per parent, the clock found without listing every node.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/clock.h"
#include "rules/session.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

using testing::judge_messages;
using testing::xform;
using testing::xform_with;

std::string describe(const RecomputeResult& result, const XmlDocument& instance) {
  std::string text = "calculated:";
  for (const auto& [path, value] : result.calculated) text += " " + path + "=" + value;
  text += "\ninvalid:";
  for (const auto& [path, message] : result.invalid) text += " " + path;
  text += "\n" + write_xml(instance).substr(std::string_view("<?xml version='1.0' ?>").size());
  return text;
}

struct WriteBackCase {
  const char* name;
  std::string form;
  std::string_view expected;
};

class WriteBack : public ::testing::TestWithParam<WriteBackCase> {};

TEST_P(WriteBack, GivesWhatLookingThePathUpGives) {
  Result<SessionState> session = start_session(GetParam().form, std::nullopt);
  ASSERT_TRUE(session.ok()) << session.error();
  RecomputeResult result = recompute(session.value());
  EXPECT_EQ(describe(result, session.value().instance), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteBack,
    ::testing::Values(
        // An attribute's path names no element: the write is refused, but the
        // value is still reported.
        WriteBackCase{"attribute",
                      xform_with("<data><row id=\"\"><q>2</q></row><row id=\"\"><q>3</q></row></data>",
                                 "<bind nodeset=\"/data/row/@id\" calculate=\"../q * 10\"/>"),
                      "calculated: /data/row[1]/id=20 /data/row[2]/id=30\ninvalid:\n"
                      "<data><row id=\"\"><q>2</q></row><row id=\"\"><q>3</q></row></data>"},
        // The string value already matches, so nothing is written; judged on
        // the calculation copy, g would read "55" and break its constraint.
        WriteBackCase{"element_with_children",
                      xform_with("<data><g><a>5</a></g></data>",
                                 "<bind nodeset=\"/data/g\" calculate=\"/data/g/a\" "
                                 "constraint=\". = 5\"/>"),
                      "calculated:\ninvalid:\n<data><g><a>5</a></g></data>"},
        // A secondary instance node has no instance node: its path creates one.
        WriteBackCase{"secondary_instance",
                      xform("<instance><data><x/></data></instance>"
                            "<instance id=\"other\"><root><c/></root></instance>"
                            "<bind nodeset=\"instance('other')/root/c\" calculate=\"'made'\"/>"
                            "<bind nodeset=\"/data/x\" calculate=\"count(instance('other')/root/c)\"/>"),
                      "calculated: /data/x=1 /instance/root/c=made\ninvalid:\n"
                      "<data><x>1</x><instance><root><c>made</c></root></instance></data>"},
        WriteBackCase{"repeat_rows",
                      xform_with("<data><row><v>4</v><t/></row><row><v>6</v><t/></row></data>",
                                 "<bind nodeset=\"/data/row/t\" calculate=\"../v * 2\" "
                                 "constraint=\". &lt; 10\"/>"),
                      "calculated: /data/row[1]/t=8 /data/row[2]/t=12\ninvalid: /data/row[2]/t\n"
                      "<data><row><v>4</v><t>8</t></row><row><v>6</v><t>12</t></row></data>"}),
    [](const ::testing::TestParamInfo<WriteBackCase>& info) { return std::string(info.param.name); });

struct JudgeCase {
  const char* name;
  std::string_view instance;
  std::string_view binds;
  std::vector<std::string> expected;
};

class JudgeOrder : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeOrder, ListsFindingsBindByBind) {
  EXPECT_EQ(judge_messages(xform_with("<data/>", GetParam().binds), GetParam().instance),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JudgeOrder,
    ::testing::Values(
        // Rows are visited one at a time, yet a row's own finding (its bind
        // comes second) follows every finding of the first bind.
        JudgeCase{"rows_and_their_children",
                  "<data><row><v>1</v></row><row><v>7</v></row><row><v>9</v></row></data>",
                  "<bind nodeset=\"/data/row/v\" constraint=\". &lt; 5\"/>"
                  "<bind nodeset=\"/data/row\" constraint=\"v &lt; 8\"/>",
                  {"constraint /data/row[2]/v: the answer does not satisfy the form's constraint",
                   "constraint /data/row[3]/v: the answer does not satisfy the form's constraint",
                   "constraint /data/row[3]: the answer does not satisfy the form's constraint"}},
        // Of two relevance rules on one node, the later bind's decides.
        JudgeCase{"later_relevance_decides", "<data><q/></data>",
                  "<bind nodeset=\"/data/q\" relevant=\"true()\"/>"
                  "<bind nodeset=\"/data/q\" relevant=\"false()\"/>"
                  "<bind nodeset=\"/data/q\" required=\"true()\"/>",
                  {}},
        // Same-named siblings apart from each other are numbered in order.
        JudgeCase{"interleaved_names", "<data><a>1</a><b>1</b><a>2</a><c>1</c><b>2</b></data>",
                  "<bind nodeset=\"/data/*\" constraint=\"false()\" jr:constraintMsg=\"no\"/>",
                  {"constraint /data/a[1]: no", "constraint /data/b[1]: no",
                   "constraint /data/a[2]: no", "constraint /data/c: no",
                   "constraint /data/b[2]: no"}}),
    [](const ::testing::TestParamInfo<JudgeCase>& info) { return std::string(info.param.name); });

struct ClockCase {
  const char* name;
  std::string_view submission;
  std::optional<std::string_view> today;
  std::optional<std::string_view> now;
};

class ClockSearch : public ::testing::TestWithParam<ClockCase> {};

TEST_P(ClockSearch, TakesTheFirstElementInDocumentOrder) {
  Result<XmlDocument> submission = parse_xml(GetParam().submission);
  ASSERT_TRUE(submission.ok()) << submission.error();
  Clock clock = clock_from_submission(submission.value(), std::nullopt, std::nullopt);
  EXPECT_EQ(clock.today, GetParam().today);
  EXPECT_EQ(clock.now, GetParam().now);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClockSearch,
    ::testing::Values(
        // Depth first: the nested end comes before its parent's later sibling.
        ClockCase{"nested_before_later_sibling",
                  "<data><g><end>2024-01-02T08:00Z</end></g><end>2025-03-04T09:00Z</end></data>",
                  "2024-01-02", "2024-01-02T08:00Z"},
        ClockCase{"root_itself_is_not_searched", "<end>2024-01-02T08:00Z</end>", std::nullopt,
                  std::nullopt},
        ClockCase{"blank_first_match_counts_as_none",
                  "<data><today> </today><today>2024-05-05</today><start>S</start></data>",
                  std::nullopt, "S"}),
    [](const ::testing::TestParamInfo<ClockCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tolvar
