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

// The host rules run with: the form's secondary instances and choice lists.
class FormHost : public Host {
 public:
  FormHost(const Form& form, const XmlDocument& model, std::string today, std::string now);
  const XmlDocument* lookup_table(std::string_view id) const override;
  std::optional<std::string> choice_label(std::string_view value,
                                          std::string_view question) const override;
  std::string_view today() const override { return today_; }
  std::string_view now() const override { return now_; }

 private:
  const Form& form_;
  const XmlDocument& model_;
  std::string today_;
  std::string now_;
};

// A root "model" holding a copy of the instance root, then a copy of every
// secondary instance root in ascending id order.
XmlDocument model_document(const Form& form, const XmlDocument& instance);
// The same, taking the instance's arena over instead of copying it: its
// nodes keep their ids and the "model" root is added after them.
XmlDocument model_document(const Form& form, XmlDocument&& instance);

// The nodes the bind's nodeset selects from the model root; none on failure.
std::vector<NodeId> bound_nodes(const Bind& bind, const XmlDocument& model, const Host& host);

// Effective relevance per node id (indexed by NodeId; absent = not bound).
struct Relevance {
  // 0: no entry (counts as relevant), 1: relevant, 2: not relevant.
  std::vector<unsigned char> state;
  bool is_hidden(NodeId n) const { return n < state.size() && state[n] == 2; }
  bool has(NodeId n) const { return n < state.size() && state[n] != 0; }
};
Relevance compute_relevance(const Form& form, const XmlDocument& model, const Host& host,
                            std::vector<SubmissionFinding>& findings);

std::vector<SubmissionFinding> judge_submission(const Form& form, const XmlDocument& submission,
                                                std::string_view today, std::string_view now);
// The same, judging the submission in place of a copy of it.
std::vector<SubmissionFinding> judge_submission(const Form& form, XmlDocument&& submission,
                                                std::string_view today, std::string_view now);

// What judge_submission finds, with the evaluation document and the
// relevance it judged by. The findings of relevance rules come first.
struct Judgement {
  XmlDocument model;
  Relevance relevance;
  std::vector<SubmissionFinding> findings;
  std::size_t relevance_findings = 0;  // how many of the findings those are
};
Judgement judge_in_full(const Form& form, const XmlDocument& submission, std::string_view today,
                        std::string_view now);
// The same over an evaluation document model_document has already built.
Judgement judge_model_document(const Form& form, XmlDocument model, std::string_view today,
                               std::string_view now);

// The "says" text of a finding.
std::string finding_message(const SubmissionFinding& finding);

// A label or message reference: jr:itext('id') through the translations,
// anything else evaluated as an expression from `context`.
std::string resolve_label(const Form& form, std::string_view reference, const XmlDocument& model,
                          NodeId context);

// The body control whose trimmed "ref" equals the trimmed path, or kNoNode.
NodeId find_control(const Form& form, std::string_view path);

}  // namespace tolvar
