// Form loading, the judge and recompute on a fuzzed form. The input is the
// form text, optionally followed by a NUL byte and a submission; without
// one the form's own primary instance is judged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "check.h"
#include "nesting.h"
#include "rules/engine.h"
#include "rules/form_reading.h"

using namespace tolvar;

namespace {

void judge_text(const LoadedForm& form, std::string_view submission) {
  Result<std::vector<SubmissionFinding>> findings = judge(form, Source(submission), {});
  if (!findings.ok()) return;
  for (const SubmissionFinding& finding : findings.value()) {
    fuzz::require(!finding_message(finding).empty(), "a finding says something");
  }
}

// A session over the form's primary instance, recomputed twice: the second
// run starts from what the first one wrote.
void fill_in(std::string_view form_text) {
  Result<Session> session = Session::start(form_text, std::nullopt, {});
  if (!session.ok()) return;
  for (int run = 0; run < 2; ++run) {
    session.value().recompute();
    fuzz::check_document(session.value().state().instance);
  }
}

// Forms whose rules nest predicates more than once are skipped: over a
// fuzzed instance their cost is the language's, not a fault.
bool cheap_enough(const Form& form) {
  for (const Bind& bind : form.binds) {
    for (const RuleAttribute& attribute : kRuleAttributes) {
      const std::optional<BindRule>& rule = bind.*attribute.field;
      if (rule && rule->expr.ok() && fuzz::predicate_nesting(rule->expr.value()) > 1) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view form_text = input.substr(0, split);
  Result<LoadedForm> form = load_form_text(form_text);
  if (!form.ok() || !cheap_enough(form.value().form)) return 0;
  fuzz::check_document(form.value().form.document);

  Result<XmlDocument> primary = primary_instance(form.value().form.document);
  if (split != std::string_view::npos) {
    judge_text(form.value(), input.substr(split + 1));
  } else if (primary.ok()) {
    judge_text(form.value(), write_xml(primary.value()));
  }
  if (primary.ok()) fill_in(form_text);
  return 0;
}
