#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "eval/instance_ref.h"
#include "eval_core_harness.h"
#include "tree_support.h"

namespace tolvar {
namespace {

using core_testing::run;

struct PathCase {
  const char* expression;
  const char* expected;
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.expression; }

constexpr const char* kForm =
    "<data><age>5</age><name>x</name><rep><q>1</q></rep><rep><q>2</q></rep></data>";

class EvaluatorTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(EvaluatorTest, FromTheRoot) {
  const TestHost host;
  const XmlDocument document = parse_document(kForm);
  EXPECT_EQ(run(GetParam().expression, document, host), GetParam().expected)
      << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EvaluatorTest,
    ::testing::Values(
        PathCase{"/", "[/data]"}, PathCase{"/data", "[/data]"}, PathCase{".", "[/data]"},
        PathCase{"/data/age", "[/data/age]"}, PathCase{"/age", "[/data/age]"},
        PathCase{"/*", "[/data/age, /data/name, /data/rep[1], /data/rep[2]]"},
        PathCase{"//q", "[/data/rep[1]/q, /data/rep[2]/q]"}, PathCase{"//data", "[]"},
        PathCase{"/data[1]/age", "[/data/age]"}, PathCase{"/data[2]/age", "[]"},
        PathCase{"/data[age = 5]/name", "[/data/name]"},
        PathCase{"age", "[/data/age]"}, PathCase{"..", "[]"},
        PathCase{"rep[2]/q", "[/data/rep[2]/q]"},
        PathCase{"rep/q[1]", "[/data/rep[1]/q, /data/rep[2]/q]"},
        PathCase{"(rep/q)[1]", "[/data/rep[1]/q]"}, PathCase{"(rep/q)[last()]", "[/data/rep[2]/q]"},
        PathCase{"rep[0]", "[]"}, PathCase{"rep[1.5]", "[]"}, PathCase{"rep[3]", "[]"},
        PathCase{"*[2]", "[/data/name]"}, PathCase{"rep[2][q = 2]/q", "[/data/rep[2]/q]"},
        PathCase{"rep[1][2]", "[]"}, PathCase{"rep/q[1]/..", "[/data/rep[1], /data/rep[2]]"},
        PathCase{"rep[last()]/q", "[/data/rep[2]/q]"}, PathCase{"*[last()]", "[/data/rep[2]]"},
        PathCase{"rep[position() = 2]/q", "[/data/rep[2]/q]"},
        PathCase{"rep[1 = position()]/q", "[/data/rep[1]/q]"},
        PathCase{"rep[position() = 3]", "[]"}, PathCase{"rep[last()][q = 1]", "[]"},
        PathCase{"rep[number('x')]", "[]"},
        PathCase{"rep['x']", "[/data/rep[1], /data/rep[2]]"},
        PathCase{"rep[q]", "[/data/rep[1], /data/rep[2]]"}, PathCase{"rep['']", "[]"},
        PathCase{"rep[q = 2]", "[/data/rep[2]]"},
        PathCase{"rep[position() = last()]", "[/data/rep[2]]"},
        // Each predicate counts within what the previous one kept.
        PathCase{"*[position() > 1][2]", "[/data/rep[1]]"},
        PathCase{"name/text()", "[]"}, PathCase{"string(name/text())", "''"},
        PathCase{"string(name)", "'x'"}, PathCase{"age/following-sibling::*[1]", "[/data/name]"},
        PathCase{"rep[2]/preceding-sibling::*[1]", "[/data/age]"},
        PathCase{"rep[2]/q/ancestor::*[1]", "[/data/rep[2]]"},
        PathCase{"rep[2]/q/ancestor::*[last()]", "[/data]"},
        PathCase{"rep[2]/q/ancestor-or-self::*[1]", "[/data/rep[2]/q]"},
        PathCase{"rep[2]/q/ancestor::*", "[/data, /data/rep[2]]"},
        PathCase{"name/following::*", "[/data/rep[1], /data/rep[1]/q, /data/rep[2], /data/rep[2]/q]"},
        PathCase{"rep[1]/following::*", "[/data/rep[2], /data/rep[2]/q]"},
        PathCase{"rep[2]/q/preceding::*", "[/data/age, /data/name, /data/rep[1], /data/rep[1]/q]"},
        PathCase{"rep[2]/q/preceding::*[1]", "[/data/age]"},
        PathCase{"rep[2]/preceding-sibling::*", "[/data/age, /data/name, /data/rep[1]]"},
        PathCase{"descendant::q[2]", "[/data/rep[2]/q]"},
        PathCase{"descendant-or-self::*[1]", "[/data]"}, PathCase{"self::data", "[/data]"},
        PathCase{"self::age", "[]"}, PathCase{"rep/..", "[/data]"},
        PathCase{"rep/q/parent::rep", "[/data/rep[1], /data/rep[2]]"},
        PathCase{"//rep//q", "[/data/rep[1]/q, /data/rep[2]/q]"},
        PathCase{"//q/..", "[/data/rep[1], /data/rep[2]]"},
        PathCase{".//*[2]", "[/data/name]"},
        PathCase{"rep | age | rep", "[/data/age, /data/rep[1], /data/rep[2]]"},
        PathCase{"(rep | age)[1]", "[/data/age]"}));

INSTANTIATE_TEST_SUITE_P(
    Operators, EvaluatorTest,
    ::testing::Values(
        PathCase{"age + 1", "6"}, PathCase{"age > 3", "true"}, PathCase{"rep/q > 1", "false"},
        PathCase{"rep/q = 2", "true"}, PathCase{"/data/missing + 1", "NaN"},
        PathCase{"-(/data/missing)", "NaN"}, PathCase{"-age", "-5"}, PathCase{"--age", "5"},
        PathCase{"false() and nosuch()", "false"}, PathCase{"true() or nosuch()", "true"},
        PathCase{"nosuch() and false()", "error: unknown function nosuch()"},
        PathCase{"false() or nosuch()", "error: unknown function nosuch()"},
        PathCase{"age or 0", "true"}, PathCase{"'' and 1", "false"},
        PathCase{"1 + nosuch()", "error: unknown function nosuch()"},
        PathCase{"nosuch() = other()", "error: unknown function nosuch()"},
        // A chain reads left to right: ((a and b) or c) and d.
        PathCase{"false() and nosuch() or true() and age", "true"},
        PathCase{"true() or nosuch() and nosuch() or nosuch()", "true"},
        PathCase{"false() or false() or nosuch()", "error: unknown function nosuch()"},
        PathCase{"10 - 2 - 3 + age - 1", "9"}, PathCase{"12 div 2 div 3 * 4 mod 5", "3"},
        PathCase{"3 > 2 > 1", "false"}, PathCase{"1 = 1 = 1 != 0", "true"}));

INSTANTIATE_TEST_SUITE_P(
    Failures, EvaluatorTest,
    ::testing::Values(
        PathCase{"$x",
                 "error: variable $x: XForms has no variables, so this expression cannot be what "
                 "the form meant"},
        PathCase{"instance('c')/root",
                 "error: instance('c') is not loaded — the form expects a secondary instance the "
                 "evaluator was not given"},
        PathCase{"instance()/a", "error: instance() needs an id"},
        PathCase{"instance('c')", "error: unknown function instance()"},
        PathCase{"count(instance('c'))", "error: unknown function instance()"},
        PathCase{"1 | age", "error: union needs a node-set, got a number"},
        PathCase{"age | 'x'", "error: union needs a node-set, got a string"},
        PathCase{"age | rep | 2 | nosuch()", "error: union needs a node-set, got a number"},
        PathCase{"'a'/b", "error: a path base needs a node-set, got a string"},
        PathCase{"concat('a')[1]", "error: a path base needs a node-set, got a string"},
        PathCase{"(1 = 1)/a", "error: a path base needs a node-set, got a boolean"},
        PathCase{"rep[nosuch()]", "error: unknown function nosuch()"},
        PathCase{"/data[$v]", "error: variable $v: XForms has no variables, so this expression "
                              "cannot be what the form meant"}));

// Part of an evaluation document holding its own instances.
constexpr const char* kModel =
    "<model><data><q>1</q><pick>b</pick></data>"
    "<instance id='c'><root><item><v>a</v></item><item><v>b</v></item></root></instance>"
    "<instance id='d'><root><item><v>z</v></item></root></instance></model>";

class InstanceTest : public ::testing::TestWithParam<PathCase> {};

// A host that found the document's instance elements ahead, as a form's does.
class FindingHost : public TestHost {
 public:
  explicit FindingHost(const XmlDocument& document) : document_(document), found_(document) {}
  const InstanceElements* instance_elements(const XmlDocument& document) const override {
    return &document == &document_ ? &found_ : nullptr;
  }

 private:
  const XmlDocument& document_;
  InstanceElements found_;
};

TEST_P(InstanceTest, ResolvesTheDocumentsOwnInstancesThenTheHosts) {
  const XmlDocument document = parse_document(kModel);
  TestHost searching;
  FindingHost finding(document);
  for (TestHost* host : {&searching, static_cast<TestHost*>(&finding)}) {
    host->tables.emplace("ext", parse_document("<root><item><v>x</v></item><item><v>y</v></item></root>"));
    host->tables.emplace("c", parse_document("<root><item><v>never read</v></item></root>"));
    host->tables.emplace("empty", XmlDocument{});
    EXPECT_EQ(run(GetParam().expression, document, *host), GetParam().expected)
        << GetParam().expression;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstanceTest,
    ::testing::Values(
        PathCase{"instance('c')/root/item", "[/model/instance[1]/root/item[1], /model/instance[1]/root/item[2]]"},
        PathCase{"instance('d')/root/item/v", "[/model/instance[2]/root/item/v]"},
        PathCase{"instance(concat('d', ''))/root/item/v", "[/model/instance[2]/root/item/v]"},
        PathCase{"instance('c')/root/item[v = /model/data/pick]/v", "[/model/instance[1]/root/item[2]/v]"},
        PathCase{"count(instance('c')/root/item)", "2"},
        PathCase{"instance('ext')/item/v", "[/root/item[1]/v, /root/item[2]/v]"},
        PathCase{"instance('ext')[1]/item[2]", "[/root/item[2]]"},
        PathCase{"string(instance('ext')/item[2]/v)", "'y'"},
        PathCase{"instance('ext')/item/v = 'y'", "true"},
        PathCase{"count(instance('ext')/item)", "2"},
        // Inside the host's instance, absolute paths read that instance.
        PathCase{"instance('ext')/item[v = /root/item[2]/v]/v", "[/root/item[2]/v]"},
        PathCase{"instance('empty')/item", "[]"},
        PathCase{"instance('empty')[nosuch()]", "[]"},
        PathCase{"instance('ext', nosuch())/item[1]/v", "[/root/item[1]/v]"},
        PathCase{"instance('ext')/item | /model/data",
                 "error: union needs nodes of one document, got nodes of two different instances"}));

TEST(EvaluatorPaths, RelativePathsStartAtTheContextNode) {
  const TestHost host;
  const XmlDocument document = parse_document(kForm);
  const NodeId second_rep = children_of(document, document.root)[3];
  EXPECT_EQ(run("q", document, host, second_rep), "[/data/rep[2]/q]");
  EXPECT_EQ(run("../age", document, host, second_rep), "[/data/age]");
  EXPECT_EQ(run("/data/age", document, host, second_rep), "[/data/age]");
  EXPECT_EQ(run("position()", document, host, second_rep), "1");
}

TEST(EvaluatorPaths, NamesAlikeInLengthEndsAndMiddleStayApart) {
  const TestHost host;
  const XmlDocument document = parse_document("<data><abXcd/><abXed/><abXed/></data>");
  const NodeId first = children_of(document, document.root)[0];
  EXPECT_EQ(run("abXed", document, host), "[/data/abXed[1], /data/abXed[2]]");
  EXPECT_EQ(run("../abXcd", document, host, first), "[/data/abXcd]");
  EXPECT_EQ(run("count(//abXcd)", document, host), "1");
}

TEST(EvaluatorPaths, AttributesAreReachedOnlyByTheirAxis) {
  const TestHost host;
  const XmlDocument document =
      parse_document("<data><a id='1' k='x'><b/></a><a id='2'/></data>");
  EXPECT_EQ(run("count(a/@id)", document, host), "2");
  EXPECT_EQ(run("count(a/@*)", document, host), "3");
  EXPECT_EQ(run("count(a/*)", document, host), "1");
  EXPECT_EQ(run("string(a[@id = 2]/@id)", document, host), "'2'");
  EXPECT_EQ(run("count(a[1]/@id/following::*)", document, host), "2");
  EXPECT_EQ(run("count(a[1]/@id/preceding::*)", document, host), "0");
  EXPECT_EQ(run("name(a[1]/@k/..)", document, host), "'a'");
  EXPECT_EQ(run("count(a[1]/@id/following-sibling::*)", document, host), "0");
}

TEST(EvaluatorPaths, AbsolutePathsInAnEmptyDocumentAreEmpty) {
  const TestHost host;
  const XmlDocument document;
  EXPECT_EQ(run("/data/x", document, host), "[]");
  EXPECT_EQ(run("/", document, host), "[]");
  EXPECT_EQ(run("count(x)", document, host), "0");
}

TEST(EvaluatorPaths, DeepDocumentsDoNotExhaustTheStack) {
  std::string xml;
  constexpr int kDepth = 100000;
  for (int i = 0; i < kDepth; ++i) xml += "<a>";
  xml += "<leaf>v</leaf>";
  for (int i = 0; i < kDepth; ++i) xml += "</a>";
  const TestHost host;
  const XmlDocument document = parse_document(xml);
  ASSERT_TRUE(document.has_root());
  EXPECT_EQ(run("count(//a)", document, host), "99999");
  EXPECT_EQ(run("count(//leaf/ancestor::*)", document, host), "100000");
  EXPECT_EQ(run("count(//leaf/preceding::*)", document, host), "0");
  EXPECT_EQ(run("string(/)", document, host), "'v'");
}

}  // namespace
}  // namespace tolvar
