// Labels and messages: translations, expressions, choice lists, and the
// text of each finding.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "rules/choices.h"
#include "rules/form_host.h"
#include "rules/judge.h"
#include "rules/model_document.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

using testing::judge_messages;
using testing::xform;

const std::string kModel =
    "<instance><data><age/><key>a</key><color/><shade/><size/></data></instance>"
    "<instance id=\"shades\"><root><item><name>b</name><label>Blue</label></item>"
    "<item><name> n </name><label>Navy</label></item></root></instance>"
    "<itext><translation lang=\"en\"><text id=\"a\"><value>Text A</value></text>"
    "<text id=\"g\"><value>Green</value></text>"
    "<text id=\"/data/age:constraintMsg\"><value>Too old</value></text></translation></itext>"
    "<bind nodeset=\"/data/age\"/>";

const std::string kBody =
    "<select1 ref=\" /data/color \"><label>Colour</label>"
    "<item><label>Red</label><value>r</value></item>"
    "<item><label ref=\"jr:itext('g')\"/><value> g </value></item>"
    "<item><value>nolabel</value></item></select1>"
    "<select1 ref=\"/data/shade\"><itemset nodeset=\"instance('shades')/root/item\">"
    "<value ref=\"name\"/><label ref=\"label\"/></itemset></select1>"
    "<select ref=\"/data/size\"><itemset nodeset=\"instance('shades')/root/item\"/></select>"
    "<trigger ref=\"/data/key\"><item><value>a</value><label>no</label></item></trigger>"
    "<select1 ref=\"/data/loop\"><item><value>r</value>"
    "<label ref=\"jr:choice-name('r', '/data/loop')\"/></item></select1>"
    "<input ref=\"/data/color\"><label>A second control of it, never asked</label></input>";

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    Result<Form> loaded = load_form(xform(kModel, kBody));
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    form_ = std::move(loaded).value();
    Result<XmlDocument> submission = parse_xml("<data><age>90</age><key>a</key></data>");
    ASSERT_TRUE(submission.ok());
    model_ = model_document(form_, submission.value());
  }
  Form form_;
  XmlDocument model_;
};

struct LabelCase {
  const char* reference;
  const char* label;
};

constexpr LabelCase kReferences[] = {
    {"jr:itext('a')", "Text A"},
    {"  jr:itext( 'a' ))  ", "Text A"},
    {"jr:itext(/data/key)", "Text A"},
    {"jr:itext('missing')", "missing"},
    {"jr:itext(nosuch())", ""},
    {"concat('x', /data/age)", "x90"},
    {"/data/[", ""},
    {"jr:itext", ""},
};

TEST_F(Labels, ReferenceResolvesThroughTranslationsOrAsExpression) {
  for (const LabelCase& row : kReferences) {
    EXPECT_EQ(resolve_label(form_, row.reference, model_, model_.root), row.label) << row.reference;
  }
}

struct ChoiceCase {
  const char* value;
  const char* question;
  std::optional<std::string> label;
};

const ChoiceCase kChoices[] = {
    {" r", "/data/color", "Red"},
    {"g", "/data/color ", "Green"},
    {"nolabel", "/data/color", ""},
    {"x", "/data/color", std::nullopt},
    {"b", "/data/shade", "Blue"},
    {"n", "/data/shade", "Navy"},
    {"x", "/data/shade", std::nullopt},
    {" b ", "/data/size", "b"},
    {"a", "/data/key", std::nullopt},
    {"r", "/data/none", std::nullopt},
    // A label that asks for itself ends instead of recursing.
    {"r", "/data/loop", ""},
};

TEST_F(Labels, ChoiceLabelFromItemsThenItemset) {
  FormHost host(form_, model_, "", "");
  for (const ChoiceCase& row : kChoices) {
    EXPECT_EQ(host.choice_label(row.value, row.question), row.label)
        << row.value << " of " << row.question;
  }
}

TEST_F(Labels, FindControlMatchesTrimmedRefOfAControl) {
  NodeId control = find_control(form_, "/data/color");
  ASSERT_NE(control, kNoNode);
  EXPECT_EQ(form_.document[control].name(), "select1");
  EXPECT_EQ(find_control(form_, "/data/key"), kNoNode);
}

TEST(JudgeMessages, ItextMessagesAreResolved) {
  std::string model =
      "<instance><data><age/></data></instance><itext><translation lang=\"en\">"
      "<text id=\"/data/age:constraintMsg\"><value>Too old</value></text></translation></itext>";
  struct Row {
    const char* message;
    const char* says;
  } rows[] = {
      {"jr:itext('/data/age:constraintMsg')", "constraint /data/age: Too old"},
      {" jr:itext('/data/age:missing')", "constraint /data/age: /data/age:missing"},
      {"concat('not', 'evaluated')", "constraint /data/age: concat('not', 'evaluated')"},
  };
  for (const Row& row : rows) {
    std::string form = xform(model + "<bind nodeset=\"/data/age\" constraint=\". &lt; 50\" "
                                     "jr:constraintMsg=\"" + row.message + "\"/>");
    EXPECT_EQ(judge_messages(form, "<data><age>90</age></data>"), std::vector<std::string>{row.says})
        << row.message;
  }
}

TEST(JudgeMessages, ChoiceNameReadsTheFormsLists) {
  std::string form = xform(kModel + "<bind nodeset=\"/data/key\" "
                                    "calculate=\"jr:choice-name(/data/color, '/data/color')\"/>",
                           kBody);
  EXPECT_EQ(judge_messages(form, "<data><color>g</color><key>Green</key></data>"),
            std::vector<std::string>{});
  EXPECT_EQ(judge_messages(form, "<data><color>r</color><key>Green</key></data>"),
            std::vector<std::string>{
                "calculation /data/key: holds \"Green\", but the form calculates \"Red\""});
}

struct MessageCase {
  SubmissionFinding finding;
  const char* says;
};

SubmissionFinding finding(FindingKind kind, std::optional<std::string> message = std::nullopt) {
  SubmissionFinding f;
  f.path = "/data/q";
  f.kind = kind;
  f.message = std::move(message);
  return f;
}

SubmissionFinding calculation(std::string stored, std::string calculated) {
  SubmissionFinding f = finding(FindingKind::Calculation);
  f.stored = std::move(stored);
  f.calculated = std::move(calculated);
  return f;
}

TEST(JudgeMessages, EachKindHasItsSentence) {
  SubmissionFinding failed = finding(FindingKind::NotEvaluated);
  failed.error = "boom";
  const MessageCase rows[] = {
      {finding(FindingKind::Constraint), "/data/q: the answer does not satisfy the form's constraint"},
      {finding(FindingKind::Constraint, "Too big"), "/data/q: Too big"},
      {finding(FindingKind::Required), "/data/q: required, and unanswered"},
      {failed, "/data/q: rule could not be evaluated — boom"},
      {calculation("12", "15"), "/data/q: holds \"12\", but the form calculates \"15\""},
      {calculation("a\tb\r\n", "é \"q\" \\"),
       "/data/q: holds \"a\\tb\\r\\n\", but the form calculates \"é \\\"q\\\" \\\\\""},
      {calculation(std::string("\0x\0", 3), "\x01"),
       "/data/q: holds \"\\u{0}x\\u{0}\", but the form calculates \"\\u{1}\""},
  };
  for (const MessageCase& row : rows) EXPECT_EQ(finding_message(row.finding), row.says);
  EXPECT_STREQ(kind_text(FindingKind::NotEvaluated), "not-evaluated");
  EXPECT_STREQ(kind_text(FindingKind::Calculation), "calculation");
}

}  // namespace
}  // namespace tolvar
