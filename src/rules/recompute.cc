// One run of a session's logic: calculations written back in calculation
// order, then relevance and the judge over the updated instance.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "eval/context.h"
#include "eval/value.h"
#include "rules/judge.h"
#include "rules/session.h"

namespace tolvar {
namespace {

constexpr std::string_view kModelPrefix = "/model";
constexpr std::string_view kDefaultConstraintMessage = "this answer is not allowed";

void strip_model_prefix(std::string& path) {
  if (path.starts_with(kModelPrefix)) path.erase(0, kModelPrefix.size());
}

std::string instance_path(const XmlDocument& model, NodeId node) {
  std::string path = model.node_path(node);
  strip_model_prefix(path);
  return path;
}

// Every calculation over one evaluation document, each value written there
// at once so that later calculations read it. Relevance plays no part.
std::map<std::string, std::string> calculate_all(const FormSession& session,
                                                 RecomputeResult& result) {
  XmlDocument model = model_document(session.form, session.instance);
  FormHost host(session.form, model, session.today, session.now);
  std::map<std::string, std::string> values;
  for (std::size_t index : session.form.calc_order) {
    const Bind& bind = session.form.binds[index];
    if (!bind.calculate) continue;
    for (NodeId node : bound_nodes(bind, model, host)) {
      Result<Value> value = evaluate(bind.calculate->expr, EvalContext{model, node, 1, 1, host});
      if (!value.ok()) {
        result.failed.emplace_back(bind.nodeset, value.error());
        continue;
      }
      model[node].text = to_string(value.value(), model);
      values.insert_or_assign(instance_path(model, node), model[node].text);
    }
  }
  return values;
}

// Writes the values that differ from the current answers; only those are
// reported. A refused write is ignored, as for any other answer.
void apply_changes(FormSession& session, std::map<std::string, std::string>& values,
                   RecomputeResult& result) {
  BareHost host(session.today, session.now);
  for (auto& [path, value] : values) {
    NodeId node = find_node(session.instance, path, host);
    if (node != kNoNode) {
      if (session.instance.string_value(node) == value) continue;
      session.instance[node].text = value;
    } else {
      if (value.empty()) continue;
      static_cast<void>(set_answer(session.instance, path, value, host));
    }
    result.calculated.emplace_hint(result.calculated.end(), path, std::move(value));
  }
}

void report_relevance(const FormSession& session, RecomputeResult& result) {
  XmlDocument model = model_document(session.form, session.instance);
  FormHost host(session.form, model, session.today, session.now);
  std::vector<SubmissionFinding> findings;
  Relevance relevance = compute_relevance(session.form, model, host, findings);
  for (NodeId node = 0; node < relevance.state.size(); ++node) {
    if (relevance.has(node)) {
      result.relevant.insert_or_assign(instance_path(model, node), !relevance.is_hidden(node));
    }
  }
  for (SubmissionFinding& finding : findings) {
    if (finding.kind != FindingKind::NotEvaluated) continue;
    strip_model_prefix(finding.path);
    result.failed.emplace_back(finding.path, finding_message(finding));
  }
}

bool is_hidden(const RecomputeResult& result, const std::string& path) {
  auto entry = result.relevant.find(path);
  return entry != result.relevant.end() && !entry->second;
}

void report_judgement(const FormSession& session, RecomputeResult& result) {
  for (SubmissionFinding& finding :
       judge_submission(session.form, session.instance, session.today, session.now)) {
    if (is_hidden(result, finding.path)) continue;
    switch (finding.kind) {
      case FindingKind::Constraint:
        result.invalid.emplace_back(
            std::move(finding.path),
            finding.message ? std::move(*finding.message) : std::string(kDefaultConstraintMessage));
        break;
      case FindingKind::Required:
        result.missing.push_back(std::move(finding.path));
        break;
      case FindingKind::Calculation:
        break;  // already applied
      case FindingKind::NotEvaluated:
        result.failed.emplace_back(std::move(finding.path), std::move(finding.error));
        break;
    }
  }
}

void count_rows(const FormSession& session, RecomputeResult& result) {
  BareHost host(session.today, session.now);
  for (const auto& [path, row_template] : session.templates) {
    result.repeats.emplace_hint(result.repeats.end(), path,
                                repeat_rows(session.instance, path, host).size());
  }
}

}  // namespace

RecomputeResult recompute(FormSession& session) {
  RecomputeResult result;
  std::map<std::string, std::string> values = calculate_all(session, result);
  apply_changes(session, values, result);
  report_relevance(session, result);
  report_judgement(session, result);
  count_rows(session, result);
  return result;
}

}  // namespace tolvar
