#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "parser/expr.h"
#include "rules/checker/rules.h"
#include "rules/checker/walker.h"

namespace tolvar {
namespace {

std::vector<RuleHit> walk(const char* expression) {
  Result<Expr> expr = parse_expression(expression);
  EXPECT_TRUE(expr.ok()) << expression << ": " << expr.error();
  std::vector<RuleHit> hits;
  if (expr.ok()) walk_expression(expr.value(), {FormOutline{}, "", "relevant", false, {}}, hits);
  return hits;
}

struct CallCase {
  const char* expression;
  std::vector<std::string> constructs;
};

class FunctionRules : public testing::TestWithParam<CallCase> {};

TEST_P(FunctionRules, FireOnNamesAndLiteralArguments) {
  std::vector<std::string> constructs;
  for (const RuleHit& hit : walk(GetParam().expression)) constructs.push_back(hit.construct);
  EXPECT_EQ(constructs, GetParam().constructs) << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FunctionRules,
    testing::Values(
        CallCase{"last()", {"last()"}},
        CallCase{"/data/a[last()] + last()", {"last()", "last()"}},
        CallCase{"floor(ceiling(/data/x))", {"floor()", "ceiling()"}},
        CallCase{"Last() + SUBSTRING(/data/x, 1)", {}},
        CallCase{"substring(., 1, 2)", {"substring()"}},
        // Enketo rewrites pulldata() into an instance lookup and Web Forms implements it.
        CallCase{"pulldata('t', 'c', 'k', 'v')", {}},
        CallCase{"distance(/data/p) + area(/data/p)", {"distance()", "area()"}},
        CallCase{"round(distance(/data/p)) + round(area(/data/p), 0)", {"area()"}},
        CallCase{"geofence(/data/p, /data/s)", {"geofence()"}},
        CallCase{"is-selected(., 'a') and enclosed-area(.) and base64-decode(extract-signed(.))",
                 {"is-selected()", "enclosed-area()", "base64-decode()", "extract-signed()"}},
        CallCase{"regex(., '[0-9]+')", {"regex() with the unanchored pattern \"[0-9]+\""}},
        CallCase{"regex(., '^[0-9]+$')", {}},
        CallCase{"regex(., '^abc')", {"regex() with the unanchored pattern \"^abc\""}},
        CallCase{"regex(., '')", {"regex() with the unanchored pattern \"\""}},
        CallCase{"regex(., '^')", {"regex() with the unanchored pattern \"^\""}},
        CallCase{"regex(., '^a|b$')", {"regex() with alternation outside the anchors: \"^a|b$\""}},
        CallCase{"regex(., '^(a|b)$')", {}},
        CallCase{"regex(., '^[a|b]$')", {}},
        CallCase{"regex(., '^[(]a|b$')", {"regex() with alternation outside the anchors: \"^[(]a|b$\""}},
        CallCase{"regex(., '^(a))|b$')", {"regex() with alternation outside the anchors: \"^(a))|b$\""}},
        CallCase{"regex(., '^a\\|b$')", {}},
        CallCase{"regex(., '^\\d+\\$')", {}},
        CallCase{"regex(., 'a\"b\\c')", {"regex() with the unanchored pattern \"a\\\"b\\\\c\""}},
        CallCase{"regex(., concat('^', /data/p))", {"regex() with a pattern that is not written out"}},
        CallCase{"regex(.)", {"regex() with a pattern that is not written out"}},
        CallCase{"boolean-from-string('TRUE')", {"boolean-from-string(\"TRUE\")"}},
        CallCase{"boolean-from-string('True')", {"boolean-from-string(\"True\")"}},
        CallCase{"boolean-from-string('true')", {}},
        CallCase{"boolean-from-string('yes')", {}},
        CallCase{"boolean-from-string(' TRUE')", {}},
        CallCase{"boolean-from-string(/data/x)", {}}));

class NegationRule : public testing::TestWithParam<CallCase> {};

TEST_P(NegationRule, FlagsAMinusEnketoTakesForANumbersSign) {
  std::vector<std::string> constructs;
  for (const RuleHit& hit : walk(GetParam().expression)) constructs.push_back(hit.construct);
  EXPECT_EQ(constructs, GetParam().constructs) << GetParam().expression;
}

const std::string kMinus = "a minus sign in front of a path, call or bracket";

INSTANTIATE_TEST_SUITE_P(
    Table, NegationRule,
    testing::Values(CallCase{"-/data/n + -int(.) * -(1 + 2)", {kMinus, kMinus, kMinus}},
                    CallCase{"--/data/n", {kMinus}},
                    CallCase{"-1 + 2 - -3.5 - /data/n", {}}));

struct HitCase {
  const char* expression;
  Breaks breaks;
  std::optional<std::string> suggestion;
};

class FunctionRuleHit : public testing::TestWithParam<HitCase> {};

TEST_P(FunctionRuleHit, SaysWhereItBreaksAndWhatToWrite) {
  std::vector<RuleHit> hits = walk(GetParam().expression);
  ASSERT_EQ(hits.size(), 1u) << GetParam().expression;
  EXPECT_EQ(hits[0].breaks, GetParam().breaks) << GetParam().expression;
  EXPECT_EQ(hits[0].suggestion, GetParam().suggestion) << GetParam().expression;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FunctionRuleHit,
    testing::Values(
        HitCase{"regex(., '^[0-9]+')", Breaks::BothDifferently, "'^[0-9]+$'"},
        HitCase{"geofence(., .)", Breaks::Browser, std::nullopt},
        HitCase{"regex(., '[0-9]+')", Breaks::BothDifferently, "'^(?:[0-9]+)$'"},
        HitCase{"regex(., '')", Breaks::BothDifferently, "'^(?:)$'"},
        HitCase{"regex(., $p)", Breaks::BothDifferently, std::nullopt},
        HitCase{"boolean-from-string('TRUE')", Breaks::BothDifferently, "'true' in lowercase"}));

}  // namespace
}  // namespace tolvar
