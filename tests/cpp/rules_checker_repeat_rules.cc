#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/checker/checker.h"
#include "tree/document.h"

namespace tolvar {
namespace {

// Repeats /data/rep, /data/rep/inner (nested) and /data/other; `version`
// adds odk:xforms-version to the model.
std::vector<Finding> check_bind(bool version, const std::string& target, const std::string& rule,
                                const std::string& expression) {
  std::string xml =
      "<h:html xmlns:h=\"h\" xmlns:odk=\"o\"><h:head><model" +
      std::string(version ? " odk:xforms-version=\"1.0.0\"" : "") +
      "><instance><data><a/><rep><b/><c/><inner><d/></inner></rep><other><e/></other></data>"
      "</instance><bind nodeset=\"" + target + "\" " + rule + "=\"" + expression +
      "\"/></model></h:head><h:body><repeat nodeset=\"/data/rep\"><repeat "
      "nodeset=\"/data/rep/inner\"/></repeat><repeat nodeset=\"/data/other\"/></h:body></h:html>";
  Result<XmlDocument> document = parse_xml(xml);
  EXPECT_TRUE(document.ok()) << document.error();
  return document.ok() ? check_form_document(document.value()) : std::vector<Finding>{};
}

struct RepeatCase {
  bool version;
  const char* target;
  const char* expression;
  std::vector<std::string> constructs;
};

class RepeatedFields : public testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatedFields, AreFlaggedWhereTheEnginesReadOtherRows) {
  const RepeatCase& c = GetParam();
  std::vector<std::string> constructs;
  for (const Finding& f : check_bind(c.version, c.target, "relevant", c.expression)) {
    constructs.push_back(f.construct);
  }
  EXPECT_EQ(constructs, c.constructs) << c.target << ": " << c.expression;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RepeatedFields,
    testing::Values(
        // Outside the field's repeat: a set of rows on every engine.
        RepeatCase{false, "/data/a", "/data/rep/b = 'x'", {"comparing /data/rep/b, which repeats"}},
        RepeatCase{true, "/data/a", "/data/rep/b = 'x'", {"comparing /data/rep/b, which repeats"}},
        RepeatCase{false, "/data/other/e", "/data/rep/b = 'x'", {"comparing /data/rep/b, which repeats"}},
        RepeatCase{false, "/data/a", "concat(/data/rep/b, '!') != ''",
                   {"/data/rep/b, which repeats, read as one value"}},
        RepeatCase{false, "/data/a", "/data/rep/b + 1 > 0 - /data/rep/c",
                   {"/data/rep/b, which repeats, read as one value",
                    "/data/rep/c, which repeats, read as one value"}},
        RepeatCase{false, "/data/a", "count-selected(/data/rep/b) > 0",
                   {"/data/rep/b, which repeats, read as one value"}},
        RepeatCase{false, "/data/a", "if(/data/a, /data/rep/b, /data/rep/c) > 0",
                   {"/data/rep/b, which repeats, read as one value",
                    "/data/rep/c, which repeats, read as one value"}},
        RepeatCase{false, "/data/a", "jr:choice-name(/data/rep/b, '/data/a') != ''",
                   {"/data/rep/b, which repeats, read as one value"}},
        // No engine knows choice-name() without its prefix: nothing differs.
        RepeatCase{false, "/data/a", "choice-name(/data/rep/b, '/data/a') != ''", {}},
        // Aggregates take the set as it is.
        RepeatCase{false, "/data/a",
                   "count(/data/rep/b) + sum(/data/rep/c) + max(/data/rep/c) > string-length(join(' ', "
                   "/data/rep/b)) + indexed-repeat(/data/rep/b, /data/rep, 1)",
                   {}},
        // Inside the same repeat JavaRosa and Enketo read the bound node's row,
        // unless the form declares odk:xforms-version.
        RepeatCase{false, "/data/rep/c", "/data/rep/b = 'x' and /data/rep/b + 1", {}},
        RepeatCase{true, "/data/rep/c", "/data/rep/b = 'x'",
                   {"comparing /data/rep/b, which repeats, by its absolute path inside its own repeat"}},
        RepeatCase{true, "/data/rep/c", "/data/rep/b + 1",
                   {"/data/rep/b, which repeats, read by its absolute path inside its own repeat"}},
        RepeatCase{true, "/data/rep/c", "../b = 'x' and ../b + 1", {}},
        // Nested: the outer row is the bound node's, the inner rows are not.
        RepeatCase{true, "/data/rep/inner/d", "/data/rep/b = 'x'",
                   {"comparing /data/rep/b, which repeats, by its absolute path inside its own repeat"}},
        RepeatCase{false, "/data/rep/c", "/data/rep/inner/d = 'x'",
                   {"comparing /data/rep/inner/d, which repeats"}},
        RepeatCase{false, "/data/rep/c", "/data/rep/inner/d * 2",
                   {"/data/rep/inner/d, which repeats, read as one value"}}));

struct SuggestionCase {
  bool version;
  const char* target;
  const char* expression;
  Breaks breaks;
  const char* suggestion;
};

class RepeatSuggestion : public testing::TestWithParam<SuggestionCase> {};

TEST_P(RepeatSuggestion, NamesTheRowEveryEngineReads) {
  const SuggestionCase& c = GetParam();
  std::vector<Finding> findings = check_bind(c.version, c.target, "calculate", c.expression);
  ASSERT_EQ(findings.size(), 1u) << c.expression;
  EXPECT_EQ(findings[0].breaks, c.breaks);
  EXPECT_EQ(findings[0].suggestion, c.suggestion);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RepeatSuggestion,
    testing::Values(
        SuggestionCase{true, "/data/rep/c", "/data/rep/b + 1", Breaks::BothDifferently, "../b"},
        SuggestionCase{true, "/data/rep/inner/d", "/data/rep/b + 1", Breaks::BothDifferently, "../../b"},
        SuggestionCase{true, "/data/rep", "/data/rep/b + 1", Breaks::BothDifferently, "b"},
        SuggestionCase{true, "/data/rep/b", "/data/rep/b + 1", Breaks::BothDifferently, "."},
        // A calculation's whole result is one value too.
        SuggestionCase{false, "/data/a", "/data/rep/b", Breaks::Tablet,
                       "indexed-repeat(/data/rep/b, /data/rep, 1) for the first row, or an "
                       "aggregate such as sum() or join() over every row"},
        SuggestionCase{false, "/data/a", "/data/rep/inner/d + 1", Breaks::Tablet,
                       "indexed-repeat(/data/rep/inner/d, /data/rep, 1, /data/rep/inner, 1) for the "
                       "first row, or an aggregate such as sum() or join() over every row"}));

}  // namespace
}  // namespace tolvar
