#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "parser/expr.h"
#include "rules/checker/rules.h"
#include "rules/checker/walker.h"

namespace tolvar {
namespace {

std::vector<RuleHit> walk(const std::string& expression) {
  Result<Expr> expr = parse_expression(expression);
  EXPECT_TRUE(expr.ok()) << expression << ": " << expr.error();
  std::vector<RuleHit> hits;
  if (expr.ok()) walk_expression(expr.value(), {FormOutline{}, "/data/a", "constraint", false, {}}, hits);
  return hits;
}

struct PatternCase {
  const char* pattern;  // as written inside regex(., '…')
  std::vector<std::string> constructs;
  std::optional<Breaks> breaks;           // of the first hit
  std::optional<std::string> suggestion;  // of the first hit
};

class RegexPatterns : public testing::TestWithParam<PatternCase> {};

TEST_P(RegexPatterns, NameWhatOneDialectLacksWithAPortableRewrite) {
  const PatternCase& c = GetParam();
  std::vector<RuleHit> hits = walk(std::string("regex(., '") + c.pattern + "')");
  std::vector<std::string> constructs;
  for (const RuleHit& hit : hits) constructs.push_back(hit.construct);
  EXPECT_EQ(constructs, c.constructs) << c.pattern;
  if (hits.empty()) return;
  EXPECT_EQ(hits[0].breaks, c.breaks) << c.pattern;
  EXPECT_EQ(hits[0].suggestion, c.suggestion) << c.pattern;
}

constexpr Breaks kBrowser = Breaks::Browser;
constexpr Breaks kBoth = Breaks::BothDifferently;

INSTANTIATE_TEST_SUITE_P(
    Table, RegexPatterns,
    testing::Values(
        // A pattern lacking one anchor gains it; one with alternation is wrapped.
        PatternCase{"^[0-9]+", {"regex() with the unanchored pattern \"^[0-9]+\""}, kBoth, "'^[0-9]+$'"},
        PatternCase{"[0-9]+$", {"regex() with the unanchored pattern \"[0-9]+$\""}, kBoth, "'^[0-9]+$'"},
        PatternCase{"^a|b", {"regex() with the unanchored pattern \"^a|b\""}, kBoth, "'^(?:^a|b)$'"},
        PatternCase{"a\\$", {"regex() with the unanchored pattern \"a\\\\$\""}, kBoth, "'^(?:a\\$)$'"},
        // Inline flags: a leading (?i) folds into classes of both cases.
        PatternCase{"(?i)^yes|no$", {"regex() with the inline flag (?i): \"(?i)^yes|no$\""}, kBrowser,
                    "'^(?:^[yY][eE][sS]|[nN][oO]$)$'"},
        PatternCase{"^(?i)[a-c_]x\\d{2}$", {"regex() with the inline flag (?i): \"^(?i)[a-c_]x\\\\d{2}$\""},
                    kBrowser, "'^[a-cA-C_][xX]\\d{2}$'"},
        PatternCase{"(?s)^a.b$", {"regex() with the inline flag (?s): \"(?s)^a.b$\""}, kBrowser, std::nullopt},
        // Property classes have no portable spelling.
        PatternCase{"^(?i)\\p{L}+$", {"regex() with the inline flag (?i): \"^(?i)\\\\p{L}+$\"",
                                      "regex() with the property class \\p{L}: \"^(?i)\\\\p{L}+$\""},
                    kBrowser, std::nullopt},
        // Quoted text is escaped where the dialects read syntax.
        PatternCase{"^\\Qa.b\\E-[0-9]$", {"regex() with the quoting \\Q\u2026\\E: \"^\\\\Qa.b\\\\E-[0-9]$\""},
                    kBrowser, "'^a\\.b-[0-9]$'"},
        PatternCase{"^(?i:a)$", {}, std::nullopt, std::nullopt},
        // Possessive quantifiers and atomic groups; lazy ones are common to both.
        PatternCase{"^a++b{2}+$", {"regex() with the possessive quantifier ++: \"^a++b{2}+$\""}, kBrowser,
                    "'^a+b{2}$'"},
        PatternCase{"^a+?\\++$", {}, std::nullopt, std::nullopt},
        PatternCase{"^(?>ab|a)c$", {"regex() with the atomic group (?>\u2026): \"^(?>ab|a)c$\""}, kBrowser,
                    "'^(?:ab|a)c$'"},
        // Java's anchors and a repetition without a lower bound.
        // One finding per kind of construct, the first met naming it.
        PatternCase{"\\A[0-9]+\\z", {"regex() with the anchor \\A: \"\\\\A[0-9]+\\\\z\""}, kBrowser,
                    "'^[0-9]+$'"},
        PatternCase{"^[\\A]$", {}, std::nullopt, std::nullopt},
        PatternCase{"^.{,50}$", {"regex() with the repetition {,50}: \"^.{,50}$\""}, kBoth, "'^.{0,50}$'"},
        PatternCase{"^.{1,50}$", {}, std::nullopt, std::nullopt},
        // Neither dialect compiles an unbalanced pattern, so nothing is offered.
        PatternCase{"x(\"^.{,50}$\"))", {"regex() with the repetition {,50}: \"x(\\\"^.{,50}$\\\"))\""}, kBoth,
                    std::nullopt}));

}  // namespace
}  // namespace tolvar
