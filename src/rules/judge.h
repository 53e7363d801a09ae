// The judge: what a form's own rules say about an instance.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eval/context.h"
#include "rules/form.h"
#include "tree/document.h"

namespace tolvar {

enum class FindingKind { Constraint, Required, Calculation, NotEvaluated };

// "constraint", "required", "calculation", "not-evaluated".
const char* kind_text(FindingKind kind);

struct SubmissionFinding {
  std::string nodeset;
  std::string path;
  FindingKind kind = FindingKind::NotEvaluated;
  std::optional<std::string> message;  // Constraint, Required
  std::string stored;                  // Calculation
  std::string calculated;              // Calculation
  std::string error;                   // NotEvaluated
};

// Effective relevance per node id (indexed by NodeId; absent = not bound).
struct Relevance {
  // 0: no entry (counts as relevant), 1: relevant, 2: not relevant.
  std::vector<unsigned char> state;
  bool is_hidden(NodeId n) const { return n < state.size() && state[n] == 2; }
  bool has(NodeId n) const { return n < state.size() && state[n] != 0; }
};

// Relevance, then calculations, then requirements and constraints, each in
// bind order; paths as the form author writes them.
std::vector<SubmissionFinding> judge_submission(const Form& form, const XmlDocument& submission,
                                                ClockText today, ClockText now,
                                                StopCheck* stop = nullptr);
// The same, judging the submission in place of a copy of it.
std::vector<SubmissionFinding> judge_submission(const Form& form, XmlDocument&& submission,
                                                ClockText today, ClockText now,
                                                StopCheck* stop = nullptr);

// What judge_submission finds, with the evaluation document and the
// relevance it judged by: the outcome of one judge run, for recompute to
// report from. The findings of relevance rules come first.
struct Judgement {
  XmlDocument model;
  Relevance relevance;
  std::vector<SubmissionFinding> findings;
  std::size_t relevance_findings = 0;  // how many of the findings those are
};
Judgement judge_in_full(const Form& form, const XmlDocument& submission, ClockText today,
                        ClockText now, StopCheck* stop = nullptr);
// The same over an evaluation document model_document has already built.
Judgement judge_model_document(const Form& form, XmlDocument model, ClockText today,
                               ClockText now, StopCheck* stop = nullptr);

// The "says" text of a finding.
std::string finding_message(const SubmissionFinding& finding);

}  // namespace tolvar
