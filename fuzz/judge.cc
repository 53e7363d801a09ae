// Form loading, the judge and recompute on a fuzzed form. The input is the
// form text, optionally followed by a NUL byte and a submission; without
// one the form's own primary instance is judged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "check.h"
#include "nesting.h"
#include "rules/clock.h"
#include "rules/form.h"
#include "rules/judge.h"
#include "rules/session.h"

using namespace tolvar;

namespace {

void judge(const Form& form, const XmlDocument& submission) {
  Clock clock = clock_from_submission(submission, std::nullopt, std::nullopt);
  for (const SubmissionFinding& finding : judge_submission(form, submission, clock.today, clock.now)) {
    fuzz::require(!finding_message(finding).empty(), "a finding says something");
  }
}

// A session over the form's primary instance, recomputed twice: the second
// run starts from what the first one wrote.
void fill_in(Form form, XmlDocument instance) {
  FormSession session;
  session.form = std::move(form);
  session.instance = std::move(instance);
  session.templates = extract_templates(session.instance);
  for (int run = 0; run < 2; ++run) {
    recompute(session);
    fuzz::check_document(session.instance);
  }
}

// Forms whose rules nest predicates more than once are skipped: over a
// fuzzed instance their cost is the language's, not a fault.
bool cheap_enough(const Form& form) {
  for (const Bind& bind : form.binds) {
    for (const std::optional<BindRule>* rule :
         {&bind.relevant, &bind.calculate, &bind.constraint, &bind.required, &bind.readonly}) {
      if (*rule && fuzz::predicate_nesting((*rule)->expr) > 1) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  Result<Form> form = load_form(input.substr(0, split));
  if (!form.ok() || !cheap_enough(form.value())) return 0;
  fuzz::check_document(form.value().document);

  Result<XmlDocument> primary = primary_instance(form.value().document);
  if (split != std::string_view::npos) {
    Result<XmlDocument> submission = parse_xml(input.substr(split + 1));
    if (submission.ok()) judge(form.value(), submission.value());
  } else if (primary.ok()) {
    judge(form.value(), primary.value());
  }
  if (primary.ok()) fill_in(std::move(form).value(), std::move(primary).value());
  return 0;
}
