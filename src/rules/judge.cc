// The judge: relevance, calculations, requirements and constraints of a form
// evaluated against one instance.
#include "rules/judge.h"

#include <algorithm>
#include <iterator>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>

#include "rules/bind_targets.h"
#include "rules/choices.h"
#include "rules/date_calculations.h"
#include "rules/form_host.h"
#include "rules/model_document.h"
#include "rules/node_paths.h"
#include "base/unicode.h"

namespace tolvar {
namespace {


struct KindText {
  FindingKind kind;
  const char* text;
};
constexpr KindText kKindTexts[] = {
    {FindingKind::Constraint, "constraint"},
    {FindingKind::Required, "required"},
    {FindingKind::Calculation, "calculation"},
    {FindingKind::NotEvaluated, "not-evaluated"},
};

// Own relevance per node id: no rule, relevant, or not; and, in a bit of its
// own, whether some ancestor is not relevant.
enum Own : unsigned char { kNoRule = 0, kOwnTrue = 1, kOwnFalse = 2, kOwnMask = 3, kHiddenAbove = 4 };
enum State : unsigned char { kNoEntry = 0, kRelevant = 1, kHidden = 2 };

// Everything one judge run reads, and the list it writes (a Judgement is
// what the run leaves behind).
struct JudgeRun {
  const Form& form;
  const XmlDocument& model;
  const Host& host;
  // The judge never changes the evaluation document, so each nodeset is
  // resolved once per call.
  const BindTargets& targets;
  NodePaths& paths;
  std::vector<SubmissionFinding>& findings;

  Result<Value> evaluate_at(const BindRule& rule, NodeId node) const {
    return evaluate_rule(rule, EvalContext{model, node, 1, 1, host});
  }
  void add(const Bind& bind, NodeId node, FindingKind kind) const {
    SubmissionFinding finding;
    finding.nodeset = bind.nodeset;
    finding.path = paths.path(node);
    finding.kind = kind;
    findings.push_back(std::move(finding));
  }
  void add_not_evaluated(const Bind& bind, NodeId node, const std::string& error) const {
    add(bind, node, FindingKind::NotEvaluated);
    findings.back().error = error;
  }
};

// The indices of the binds that `has_rule` picks, in the order `order` gives.
template <class Pick>
std::vector<std::size_t> binds_with(const Form& form, const std::vector<std::size_t>& order,
                                    Pick has_rule) {
  std::vector<std::size_t> picked;
  for (std::size_t i : order) {
    if (has_rule(form.binds[i])) picked.push_back(i);
  }
  return picked;
}

std::vector<std::size_t> every_bind(const Form& form) {
  std::vector<std::size_t> all(form.binds.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  return all;
}

// Calls visit(run into that bind's findings, bind index, node) for every
// node of the given binds, node by node in document order (one node's binds
// in the given order). Each bind's findings are gathered apart and appended
// in bind order at the end, as a pass bind by bind lists them; but going
// node by node runs all the rules of a row while it is in cache, where a
// pass per bind fetches a large instance from memory again for every bind.
template <class Visit>
void for_each_target(const JudgeRun& run, const std::vector<std::size_t>& binds, Visit visit) {
  // A min-heap of each bind's next target, keyed by its rank and then by
  // which of `binds` it is, packed in one integer; the memory stays one
  // entry per bind however many targets there are.
  std::vector<std::size_t> at(binds.size(), 0);  // which of its targets comes next
  std::vector<std::uint64_t> heap;
  const auto later = std::greater<std::uint64_t>();
  const auto queue = [&](std::size_t k) {
    const std::span<const NodeId> nodes = run.targets[binds[k]];
    if (at[k] == nodes.size()) return;
    heap.push_back(std::uint64_t{run.model.rank_of(nodes[at[k]])} << 32 | k);
    std::push_heap(heap.begin(), heap.end(), later);
  };
  for (std::size_t k = 0; k < binds.size(); ++k) queue(k);
  std::vector<std::vector<SubmissionFinding>> found(binds.size());
  while (!heap.empty()) {
    const std::size_t k = heap.front() & 0xFFFFFFFFu;
    std::pop_heap(heap.begin(), heap.end(), later);
    heap.pop_back();
    const std::size_t bind = binds[k];
    const JudgeRun into{run.form, run.model, run.host, run.targets, run.paths, found[k]};
    visit(into, bind, run.targets[bind][at[k]++]);
    queue(k);
  }
  for (std::vector<SubmissionFinding>& list : found) {
    std::move(list.begin(), list.end(), std::back_inserter(run.findings));
  }
}

// A rule that fails to evaluate leaves its node relevant, with a finding.
// Where several binds rule on one node, the last bind's rule decides.
std::vector<unsigned char> own_relevance(const JudgeRun& run) {
  const Form& form = run.form;
  std::vector<unsigned char> own(run.model.size(), kNoRule);
  const std::vector<std::size_t> binds =
      binds_with(form, every_bind(form), [](const Bind& bind) { return bind.relevant.has_value(); });
  for_each_target(run, binds, [&](const JudgeRun& into, std::size_t i, NodeId node) {
    const Bind& bind = form.binds[i];
    Result<Value> value = into.evaluate_at(*bind.relevant, node);
    if (!value.ok()) into.add_not_evaluated(bind, node, value.error());
    own[node] = !value.ok() || to_boolean(value.value()) ? kOwnTrue : kOwnFalse;
  });
  return own;
}

bool hides_below(unsigned char own) {
  return (own & kHiddenAbove) != 0 || (own & kOwnMask) == kOwnFalse;
}

// Marks each element some ancestor of which is itself not relevant. One
// pre-order pass (parents before children) instead of a walk up from every node.
void mark_hidden_ancestry(const XmlDocument& model, std::vector<unsigned char>& own) {
  for (NodeId node = model.next_in_preorder(model.root, model.root); node != kNoNode;
       node = model.next_in_preorder(node, model.root)) {
    if (hides_below(own[model[node].parent()])) own[node] |= kHiddenAbove;
  }
}

Relevance relevance_of(const JudgeRun& run) {
  const XmlDocument& model = run.model;
  std::vector<unsigned char> own = own_relevance(run);
  mark_hidden_ancestry(model, own);
  auto under_hidden = [&](NodeId node) {
    NodeId parent = model[node].parent();
    if (!model[node].is_attribute() || parent == kNoNode) return (own[node] & kHiddenAbove) != 0;
    return hides_below(own[parent]);
  };
  Relevance relevance;
  relevance.state.assign(model.size(), kNoEntry);
  for (std::size_t bind = 0; bind < run.targets.size(); ++bind) {
    for (NodeId node : run.targets[bind]) {
      bool relevant = (own[node] & kOwnMask) != kOwnFalse && !under_hidden(node);
      relevance.state[node] = relevant ? kRelevant : kHidden;
    }
  }
  return relevance;
}

// Whether `stored` holds the calculated value. Texts are compared byte for
// byte: "5" and "5.0" differ, and an empty node is judged like any other. A
// boolean is stored "1" or "0" by JavaRosa and "true" or "false" by the
// browsers, so either pair names it.
bool holds_calculated(std::string_view stored, const Value& value, std::string_view calculated) {
  if (stored == calculated) return true;
  const bool* truth = std::get_if<bool>(&value);
  return truth != nullptr && stored == (*truth ? "1" : "0");
}

void judge_calculations(const JudgeRun& run, const Relevance& relevance) {
  const Form& form = run.form;
  const std::vector<std::size_t> binds =
      binds_with(form, form.calc_order, [](const Bind& bind) { return bind.calculate.has_value(); });
  for_each_target(run, binds, [&](const JudgeRun& into, std::size_t i, NodeId node) {
    if (relevance.is_hidden(node)) return;
    const Bind& bind = form.binds[i];
    Result<Value> value = into.evaluate_at(*bind.calculate, node);
    if (!value.ok()) {
      into.add_not_evaluated(bind, node, value.error());
      return;
    }
    std::string stored = into.model.string_value(node);
    if (auto refusal = day_number_disagreement(bind, value.value())) {
      if (!names_same_day(stored, std::get<double>(value.value()))) {
        into.add_not_evaluated(bind, node, *refusal);
      }
      return;
    }
    std::string calculated = to_string(value.value(), into.model);
    if (holds_calculated(stored, value.value(), calculated)) return;
    into.add(bind, node, FindingKind::Calculation);
    into.findings.back().stored = std::move(stored);
    into.findings.back().calculated = std::move(calculated);
  });
}

// The required rule runs even on answered nodes, so that its evaluation
// errors are reported; a constraint only ever runs on an answer.
void judge_answer(const JudgeRun& run, const Bind& bind, NodeId node) {
  bool answered = !is_blank(run.model.string_value(node));
  if (bind.required) {
    Result<Value> required = run.evaluate_at(*bind.required, node);
    if (!required.ok()) {
      run.add_not_evaluated(bind, node, required.error());
    } else if (to_boolean(required.value()) && !answered) {
      run.add(bind, node, FindingKind::Required);
      run.findings.back().message = bind.required_msg;
      return;
    }
  }
  if (!answered || !bind.constraint) return;
  Result<Value> holds = run.evaluate_at(*bind.constraint, node);
  if (!holds.ok()) {
    run.add_not_evaluated(bind, node, holds.error());
  } else if (!to_boolean(holds.value())) {
    run.add(bind, node, FindingKind::Constraint);
    run.findings.back().message = bind.constraint_msg;
  }
}

void judge_answers(const JudgeRun& run, const Relevance& relevance) {
  const Form& form = run.form;
  const std::vector<std::size_t> binds = binds_with(
      form, every_bind(form), [](const Bind& bind) { return bind.required || bind.constraint; });
  for_each_target(run, binds, [&](const JudgeRun& into, std::size_t i, NodeId node) {
    if (!relevance.is_hidden(node)) judge_answer(into, form.binds[i], node);
  });
}

// Paths as the form author knows them, and messages that name a
// translation replaced by its text.
void finish_findings(const Form& form, const XmlDocument& model,
                     std::vector<SubmissionFinding>& findings, StopCheck* stop) {
  for (SubmissionFinding& finding : findings) {
    strip_model_path(finding.path);
    if (finding.message && is_itext_reference(*finding.message)) {
      finding.message = resolve_label(form, *finding.message, model, model.root, stop);
    }
  }
}

// quote_text writes NUL as \0; a calculated value writes every control
// character other than tab, CR and LF as \u{hex}.
std::string quote_value(std::string_view text) {
  if (text.find('\0') == std::string_view::npos) return quote_text(text);
  std::string quoted = "\"";
  std::size_t start = 0;
  for (std::size_t nul = text.find('\0'); nul != std::string_view::npos;
       start = nul + 1, nul = text.find('\0', start)) {
    std::string piece = quote_text(text.substr(start, nul - start));
    quoted.append(piece, 1, piece.size() - 2);
    quoted += "\\u{0}";
  }
  std::string piece = quote_text(text.substr(start));
  quoted.append(piece, 1, piece.size() - 2);
  quoted += '"';
  return quoted;
}

Judgement judge_model(const Form& form, XmlDocument model, ClockText today, ClockText now,
                      StopCheck* stop) {
  Judgement judgement{std::move(model), {}, {}, 0};
  const XmlDocument& judged = judgement.model;
  FormHost host(form, judged, today, now, stop);
  const BindTargets targets(form, judged, host);
  NodePaths paths(judged);
  std::vector<SubmissionFinding>& findings = judgement.findings;
  JudgeRun run{form, judged, host, targets, paths, findings};
  judgement.relevance = relevance_of(run);
  judgement.relevance_findings = findings.size();
  judge_calculations(run, judgement.relevance);
  judge_answers(run, judgement.relevance);
  finish_findings(form, judged, findings, stop);
  return judgement;
}

}  // namespace

const char* kind_text(FindingKind kind) {
  for (const KindText& entry : kKindTexts) {
    if (entry.kind == kind) return entry.text;
  }
  return "";
}

std::vector<SubmissionFinding> judge_submission(const Form& form, const XmlDocument& submission,
                                                ClockText today, ClockText now, StopCheck* stop) {
  return judge_model(form, model_document(form, submission), today, now, stop).findings;
}

std::vector<SubmissionFinding> judge_submission(const Form& form, XmlDocument&& submission,
                                                ClockText today, ClockText now, StopCheck* stop) {
  return judge_model(form, model_document(form, std::move(submission)), today, now, stop).findings;
}

Judgement judge_in_full(const Form& form, const XmlDocument& submission, ClockText today,
                        ClockText now, StopCheck* stop) {
  return judge_model(form, model_document(form, submission), today, now, stop);
}

Judgement judge_model_document(const Form& form, XmlDocument model, ClockText today,
                               ClockText now, StopCheck* stop) {
  return judge_model(form, std::move(model), today, now, stop);
}

std::string finding_message(const SubmissionFinding& finding) {
  const std::string& path = finding.path;
  switch (finding.kind) {
    case FindingKind::Constraint:
      return path + ": " +
             finding.message.value_or("the answer does not satisfy the form's constraint");
    case FindingKind::Required:
      return path + ": " + finding.message.value_or("required, and unanswered");
    case FindingKind::Calculation:
      return path + ": holds " + quote_value(finding.stored) + ", but the form calculates " +
             quote_value(finding.calculated);
    case FindingKind::NotEvaluated:
      return path + ": rule could not be evaluated — " + finding.error;
  }
  return path;
}

}  // namespace tolvar
