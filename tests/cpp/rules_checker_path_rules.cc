#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/expr.h"
#include "rules/checker/outline.h"
#include "rules/checker/rules.h"
#include "rules/checker/walker.h"

namespace tolvar {
namespace {

std::vector<RuleHit> walk(const char* expression, const std::vector<std::string>& repeats = {}) {
  Result<Expr> expr = parse_expression(expression);
  EXPECT_TRUE(expr.ok()) << expression << ": " << expr.error();
  std::vector<RuleHit> hits;
  FormOutline outline;
  for (const std::string& repeat : repeats) outline.add_repeat(repeat);
  if (expr.ok()) walk_expression(expr.value(), {outline, "", "relevant", false, {}}, hits);
  return hits;
}

std::vector<std::string> constructs(const std::vector<RuleHit>& hits) {
  std::vector<std::string> out;
  for (const RuleHit& hit : hits) out.push_back(hit.construct);
  return out;
}

struct StepCase {
  const char* expression;
  std::vector<std::string> constructs;
};

class StepRules : public testing::TestWithParam<StepCase> {};

TEST_P(StepRules, ReportDescendantStepsAndBarePositions) {
  EXPECT_EQ(constructs(walk(GetParam().expression)), GetParam().constructs)
      << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StepRules,
    testing::Values(
        StepCase{"//q", {"the // shorthand"}},
        StepCase{"/data//group//q", {"the // shorthand", "the // shorthand"}},
        StepCase{"/data/descendant-or-self::*/q", {"the // shorthand"}},
        StepCase{"/data/descendant::q", {"the descendant:: axis"}},
        // JavaRosa takes child and attribute steps, . and .. only.
        StepCase{"ancestor::g/q + ancestor-or-self::g", {"the ancestor:: axis", "the ancestor-or-self:: axis"}},
        StepCase{"count(../preceding-sibling::rep) + count(following-sibling::*)",
                 {"the preceding-sibling:: axis", "the following-sibling:: axis"}},
        StepCase{"following::q | preceding::q | descendant-or-self::q",
                 {"the following:: axis", "the preceding:: axis", "the descendant-or-self:: axis"}},
        StepCase{"self::q | parent::g", {"the self:: axis with a name", "the parent:: axis with a name"}},
        StepCase{"self::node() | parent::node()/child::q/@a | ./../attribute::b", {}},
        StepCase{"/data/item[2]", {"the positional predicate [2]"}},
        StepCase{"/data/item[1.5]", {"the positional predicate [1.5]"}},
        StepCase{"/data/item[position() = 2]", {}},
        StepCase{"/data/item[1 + 1]", {}},
        StepCase{"/data/item[$n]", {}},
        StepCase{"(/data/item)[2]", {}},
        StepCase{"instance('c')/root/item[3]", {"the positional predicate [3]"}},
        StepCase{"instance('c')//item", {"the // shorthand"}},
        // Predicates are walked, so rules apply inside them, outer step first.
        StepCase{"//a[//b[1]]", {"the // shorthand", "the // shorthand",
                                 "the positional predicate [1]"}}));

TEST(PositionalPredicateRule, CarriesItsSuggestion) {
  std::vector<RuleHit> hits = walk("/data/item[2]");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].effect,
            "JavaRosa matches nothing for a bare [n], so this silently reads as empty");
  EXPECT_EQ(hits[0].breaks, Breaks::Tablet);
  EXPECT_EQ(hits[0].suggestion, "[position() = 2]");
}

struct ComparisonCase {
  const char* expression;
  std::vector<std::string> repeats;
  std::vector<std::string> constructs;
};

class ComparisonRule : public testing::TestWithParam<ComparisonCase> {};

TEST_P(ComparisonRule, FlagsPlainPathsIntoRepeats) {
  const ComparisonCase& c = GetParam();
  EXPECT_EQ(constructs(walk(c.expression, c.repeats)), c.constructs) << c.expression;
}

const std::vector<std::string> kRep = {"/data/rep"};

INSTANTIATE_TEST_SUITE_P(
    Table, ComparisonRule,
    testing::Values(
        ComparisonCase{". > /data/rep/age", kRep, {"comparing /data/rep/age, which repeats"}},
        ComparisonCase{"/data/rep = 'x'", kRep, {"comparing /data/rep, which repeats"}},
        ComparisonCase{"/data/rep/age[1] > 3", kRep, {"the positional predicate [1]"}},
        ComparisonCase{"count(/data/rep/age) > 3", kRep, {}},
        ComparisonCase{"/data/repeat = 1", kRep, {}},
        ComparisonCase{"rep/age = 1", kRep, {}},
        ComparisonCase{"/data/rep/age + 1 = 1", kRep, {"/data/rep/age, which repeats, read as one value"}},
        ComparisonCase{"/data/rep/age = 1", {"/data/rep/"}, {"comparing /data/rep/age, which repeats"}},
        ComparisonCase{"/data/rep/age != /data/rep/b", kRep,
                       {"comparing /data/rep/age, which repeats",
                        "comparing /data/rep/b, which repeats"}},
        // The outer comparison is checked before the one inside its operand.
        ComparisonCase{"(/data/rep/b < 1) = /data/rep/a", kRep,
                       {"comparing /data/rep/a, which repeats", "comparing /data/rep/b, which repeats"}},
        // A chain reads as ((a = b) != c): the same order, outermost first.
        ComparisonCase{"/data/rep/a = /data/rep/b != /data/rep/c = /data/rep/d", kRep,
                       {"comparing /data/rep/d, which repeats", "comparing /data/rep/c, which repeats",
                        "comparing /data/rep/a, which repeats", "comparing /data/rep/b, which repeats"}},
        ComparisonCase{"/data/rep/a = /data/rep/b != /data/rep/c < /data/rep/d", kRep,
                       {"comparing /data/rep/a, which repeats", "comparing /data/rep/b, which repeats",
                        "comparing /data/rep/c, which repeats", "comparing /data/rep/d, which repeats"}},
        ComparisonCase{"1 = /data/rep/a = /data/rep/b", kRep,
                       {"comparing /data/rep/b, which repeats", "comparing /data/rep/a, which repeats"}},
        ComparisonCase{"/data/x = 1", {"/data/other", "/data"}, {"comparing /data/x, which repeats"}}));

TEST(ComparisonRuleHit, SuggestsCountWithEllipsis) {
  std::vector<RuleHit> hits = walk(". > /data/rep/age", kRep);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].suggestion,
            "count(/data/rep/age[. = \u2026]) > 0, or indexed-repeat() to name one instance");
}

FormOutline sample_outline() {
  FormOutline outline;
  outline.instance_root = "data";
  outline.instance_paths = {"/data", "/data/name", "/data/grp", "/data/grp/age"};
  outline.secondary_ids = {"cities"};
  return outline;
}

struct InstancePathCase {
  const char* path;
  bool reported;
  std::optional<std::string> suggestion;
};

class InstancePathRule : public testing::TestWithParam<InstancePathCase> {};

TEST_P(InstancePathRule, ReportsPathsTheInstanceLacks) {
  const InstancePathCase& c = GetParam();
  std::vector<RuleHit> hits;
  check_instance_path(c.path, sample_outline(), hits);
  ASSERT_EQ(hits.size(), c.reported ? 1u : 0u) << c.path;
  if (!c.reported) return;
  EXPECT_EQ(hits[0].construct, std::string(c.path) + ", which this form's instance has no node for");
  EXPECT_EQ(hits[0].breaks, Breaks::BothSilently);
  EXPECT_EQ(hits[0].suggestion, c.suggestion) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, InstancePathRule,
    testing::Values(
        InstancePathCase{"/data/grp/age", false, std::nullopt},
        InstancePathCase{"/data/name/@lang", false, std::nullopt},
        InstancePathCase{"/data/grp/", false, std::nullopt},
        InstancePathCase{"/cities/item", false, std::nullopt},
        InstancePathCase{"/data/age", true, "/data/grp/age"},
        InstancePathCase{"/survey/name", true, "/data/name"},
        InstancePathCase{"/survey/other",
                         true, "a path under /data \u2014 that is this form's instance root, not /survey"},
        InstancePathCase{"/data/other", true, std::nullopt}));

TEST(InstancePathSuggestion, AmbiguousLeafUnderTheRightRootHasNoSuggestion) {
  FormOutline outline = sample_outline();
  outline.instance_paths.insert("/data/other/age");
  std::vector<RuleHit> hits;
  check_instance_path("/data/age", outline, hits);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].suggestion, std::nullopt);
}

}  // namespace
}  // namespace tolvar
