// The portability checker on a fuzzed form text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "check.h"
#include "rules/engine.h"

using namespace tolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Result<std::vector<Finding>> findings = check_form_text(text);
  if (!findings.ok()) return 0;
  for (const Finding& finding : findings.value()) {
    const std::string says = finding_says(finding);
    fuzz::require(says.starts_with(finding.path), "a finding's text starts with its path");
    fuzz::require(!finding.construct.empty(), "a finding names its construct");
  }
  return 0;
}
