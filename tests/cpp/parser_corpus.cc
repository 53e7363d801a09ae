// Every rule of the real forms in the shared corpus parses, except the one
// form written to hold a syntax error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "parser/expr.h"
#include "tree/document.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr const char* kRuleAttributes[] = {"relevant", "calculate", "constraint",
                                           "required", "readonly",  "nodeset"};

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// "file: rule: message" for each rule of a bind or itemset that fails to parse.
std::vector<std::string> failures_in(const std::filesystem::path& path, int& rules) {
  std::vector<std::string> failures;
  Result<XmlDocument> parsed = parse_xml(read_file(path));
  if (!parsed.ok() || !parsed.value().has_root()) return failures;
  const XmlDocument& document = parsed.value();
  for (NodeId node : document.descendants(document.root)) {
    if (document[node].name() != "bind" && document[node].name() != "itemset") continue;
    for (const char* attribute : kRuleAttributes) {
      const std::optional<std::string_view> rule = document.attribute(node, attribute);
      if (!rule || is_blank(*rule)) continue;
      ++rules;
      Result<Expr> expr = parse_expression(*rule);
      if (!expr.ok()) failures.push_back(path.filename().string() + ": " + std::string(*rule) + ": " + expr.error());
    }
  }
  return failures;
}

TEST(ParserCorpus, EveryRuleOfTheRealFormsParses) {
  const std::filesystem::path forms =
      std::filesystem::path(__FILE__).parent_path() / "../../../shared/corpus/forms";
  if (!std::filesystem::exists(forms)) GTEST_SKIP() << "no corpus at " << forms;
  int rules = 0;
  std::vector<std::string> failures;
  for (const auto& entry : std::filesystem::directory_iterator(forms)) {
    for (std::string& failure : failures_in(entry.path(), rules)) failures.push_back(failure);
  }
  EXPECT_GT(rules, 10000);
  const std::vector<std::string> expected = {
      "web-forms__xpath-syntax-error.xml: /root/first-question ? 2: unexpected character '?'"};
  EXPECT_EQ(failures, expected);
}

}  // namespace
}  // namespace tolvar
