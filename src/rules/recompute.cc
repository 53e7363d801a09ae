// One run of a session's logic: calculations written back in calculation
// order, then relevance and the judge over the updated instance.
#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "eval/context.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "parser/plain_path.h"
#include "rules/bind_targets.h"
#include "rules/date_calculations.h"
#include "rules/form_host.h"
#include "rules/judge.h"
#include "rules/model_document.h"
#include "rules/node_paths.h"
#include "rules/session.h"

namespace tolvar {
namespace {

constexpr std::string_view kDefaultConstraintMessage = "this answer is not allowed";

// A calculated value and the model node it was written to.
struct Calculated {
  NodeId node;
  std::string value;
};
// In ascending byte order of path, one entry per path.
using CalculatedByPath = std::vector<std::pair<std::string, Calculated>>;

// Sorts the records by path, keeping only the last record of each path.
// One sort of the whole list costs far less than keeping a tree ordered
// through every insertion when a repeat has thousands of rows.
void keep_last_per_path(CalculatedByPath& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  auto kept = records.begin();
  for (auto at = records.begin(); at != records.end(); ++at) {
    auto next = std::next(at);
    if (next != records.end() && next->first == at->first) continue;
    if (kept != at) *kept = std::move(*at);
    ++kept;
  }
  records.erase(kept, records.end());
}

// Per model node id: the instance node it copies, or kNoNode. model_document
// copies the instance root first, node for node, so the two trees are walked
// side by side instead of looking every path up again.
std::vector<NodeId> instance_nodes(const XmlDocument& model, const XmlDocument& instance) {
  std::vector<NodeId> original(model.size(), kNoNode);
  if (!instance.has_root() || !model[model.root].has_children()) return original;
  std::vector<std::pair<NodeId, NodeId>> pending{{model[model.root].first_child(), instance.root}};
  while (!pending.empty()) {
    const auto [copy, source] = pending.back();
    pending.pop_back();
    original[copy] = source;
    for (NodeId a = model[copy].first_attribute(), b = instance[source].first_attribute();
         a != kNoNode; a = model[a].next_sibling(), b = instance[b].next_sibling()) {
      original[a] = b;
    }
    for (NodeId a = model[copy].first_child(), b = instance[source].first_child(); a != kNoNode;
         a = model[a].next_sibling(), b = instance[b].next_sibling()) {
      pending.emplace_back(a, b);
    }
  }
  return original;
}

// Whether `path` (an instance path of `node`) reads back as that very node:
// a plain chain of child steps naming the node's ancestry, each with at most
// a positional index. Names that parse as something else are left to
// find_node, as are attributes.
bool reads_back_as(const XmlDocument& instance, NodeId node, std::string_view path) {
  if (node == kNoNode || instance[node].is_attribute()) return false;
  Result<Expr> parsed = parse_expression(path);
  if (!parsed.ok() || parsed.value().kind != ExprKind::Path || !parsed.value().absolute) {
    return false;
  }
  const std::vector<Step>& steps = parsed.value().steps;
  std::size_t depth = steps.size();
  for (NodeId at = node; at != kNoNode; at = instance[at].parent()) {
    if (depth == 0) return false;
    const Step& step = steps[--depth];
    bool plain_index = step.predicates.empty() ||
                       (step.predicates.size() == 1 && step.predicates[0].kind == ExprKind::Number);
    if (!is_named_child(step) || step.test.name != instance[at].name() || !plain_index) {
      return false;
    }
  }
  return depth == 0 && steps.front().predicates.empty();
}

// Every calculation over one evaluation document, each value written there
// at once so that later calculations read it. Relevance plays no part.
// Plain nodesets depend on structure alone, which calculations leave as it
// is, so they are resolved once up front.
CalculatedByPath calculate_all(const SessionState& session, XmlDocument& model,
                               RecomputeResult& result, StopCheck* stop) {
  FormHost host(*session.form, model, session.today, session.now, stop);
  const TrieMatches plain = plain_bind_targets(*session.form, model);
  NodePaths paths(model);
  CalculatedByPath values;
  for (std::size_t index : session.form->calc_order) {
    const Bind& bind = session.form->binds[index];
    if (!bind.calculate) continue;
    const std::vector<NodeId> nodes = plain.has(index)
                                          ? std::vector<NodeId>(plain[index].begin(), plain[index].end())
                                          : bound_nodes(bind, model, host);
    for (NodeId node : nodes) {
      Result<Value> value = evaluate_rule(*bind.calculate, EvalContext{model, node, 1, 1, host});
      if (!value.ok()) {
        result.failed.emplace_back(bind.nodeset, value.error());
        continue;
      }
      // The engines would store different things: nothing is written, and
      // the judge that follows reports why.
      if (day_number_disagreement(bind, value.value())) continue;
      std::string text = to_string(value.value(), model);
      model.set_text(node, text);
      std::string path = paths.path(node);
      strip_model_path(path);
      values.emplace_back(std::move(path), Calculated{node, std::move(text)});
    }
  }
  keep_last_per_path(values);
  return values;
}

// Writes the values that differ from the current answers; only those are
// reported. A refused write is ignored, as for any other answer. A node is
// found through the copy it was calculated in while the path names it
// plainly and nothing has been created since; otherwise by its path.
// Returns whether the model still mirrors the instance: every value went to
// the very node it was calculated on, a leaf, so both now hold the same text.
bool apply_changes(SessionState& session, const XmlDocument& model, CalculatedByPath& values,
                   RecomputeResult& result, StopCheck* stop) {
  BareHost host(session.today, session.now, stop);
  const std::vector<NodeId> original = instance_nodes(model, session.instance);
  bool created = false;
  bool mirrored = true;
  for (auto& [path, calculated] : values) {
    std::string& value = calculated.value;
    NodeId node = original[calculated.node];
    if (created || !reads_back_as(session.instance, node, path)) {
      node = find_node(session.instance, path, host);
      mirrored = false;
    } else if (model[calculated.node].has_children()) {
      mirrored = false;  // its string value is more than the text written
    }
    if (node != kNoNode) {
      if (session.instance.string_value(node) == value) continue;
      session.instance.set_text(node, value);
    } else {
      if (value.empty()) continue;
      static_cast<void>(set_answer(session.instance, path, value, host));
      created = true;
    }
    result.calculated.emplace_hint(result.calculated.end(), path, std::move(value));
  }
  return mirrored;
}

using HiddenPaths = std::unordered_set<std::string>;

// Relevance, then the failures of relevance rules in their own words, both
// taken from the one judge run that also gives the findings. Returns the
// paths of the nodes not asked now. Each node has its own path, so sorting
// once gives the map's order without keeping a tree ordered throughout.
HiddenPaths report_relevance(const Judgement& judgement, RecomputeResult& result) {
  NodePaths paths(judgement.model);
  const Relevance& relevance = judgement.relevance;
  std::vector<std::pair<std::string, bool>> relevant;
  HiddenPaths hidden;
  for (NodeId node = 0; node < relevance.state.size(); ++node) {
    if (!relevance.has(node)) continue;
    std::string path = paths.path(node);
    strip_model_path(path);
    if (relevance.is_hidden(node)) hidden.insert(path);
    relevant.emplace_back(std::move(path), !relevance.is_hidden(node));
  }
  std::sort(relevant.begin(), relevant.end());
  for (auto& [path, asked] : relevant) {
    result.relevant.emplace_hint(result.relevant.end(), std::move(path), asked);
  }
  for (std::size_t i = 0; i < judgement.relevance_findings; ++i) {
    const SubmissionFinding& finding = judgement.findings[i];
    if (finding.kind != FindingKind::NotEvaluated) continue;
    result.failed.emplace_back(finding.path, finding_message(finding));
  }
  return hidden;
}

void report_judgement(Judgement& judgement, const HiddenPaths& hidden, RecomputeResult& result) {
  for (SubmissionFinding& finding : judgement.findings) {
    if (hidden.contains(finding.path)) continue;
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

void count_rows(const SessionState& session, RecomputeResult& result, StopCheck* stop) {
  BareHost host(session.today, session.now, stop);
  for (const auto& [path, row_template] : session.templates) {
    result.repeats.emplace_hint(result.repeats.end(), path,
                                repeat_rows(session.instance, path, host).size());
  }
}

}  // namespace

RecomputeResult recompute(SessionState& session, StopCheck* stop) {
  RecomputeResult result;
  XmlDocument model = model_document(*session.form, session.instance);
  CalculatedByPath values = calculate_all(session, model, result, stop);
  // The calculated model is judged as it stands when a fresh copy of the
  // updated instance would be the same document; copying a large instance
  // again costs as much as judging it.
  const bool mirrored = apply_changes(session, model, values, result, stop);
  Judgement judgement =
      mirrored ? judge_model_document(*session.form, std::move(model), session.today, session.now,
                                      stop)
               : judge_in_full(*session.form, session.instance, session.today, session.now, stop);
  const HiddenPaths hidden = report_relevance(judgement, result);
  report_judgement(judgement, hidden, result);
  count_rows(session, result, stop);
  return result;
}

}  // namespace tolvar
