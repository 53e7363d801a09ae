// The host a form's rules run with.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "eval/child_index.h"
#include "eval/context.h"
#include "eval/instance_ref.h"
#include "rules/form.h"
#include "rules/nodeset_trie.h"
#include "tree/document.h"

namespace tolvar {

// The form's secondary instances, choice labels and date types, and the
// clock texts. The model's structure and the clock texts must stay as they
// are while the host lives.
class FormHost : public Host {
 public:
  FormHost(const Form& form, const XmlDocument& model, ClockText today, ClockText now,
           StopCheck* stop = nullptr);
  const XmlDocument* lookup_table(std::string_view id) const override;
  std::optional<std::string> choice_label(std::string_view value,
                                          std::string_view question) const override;
  ClockText today() const override { return today_; }
  ClockText now() const override { return now_; }
  bool typed_as_date(const XmlDocument& document, NodeId node) const override;
  const CompiledPatterns* compiled_patterns() const override { return &form_.patterns; }
  std::optional<std::span<const NodeId>> found_path(const XmlDocument& document,
                                                    const Expr& path) const override;
  const InstanceElements* instance_elements(const XmlDocument& document) const override;
  bool append_children_named(const XmlDocument& document, NodeId parent, const NameKey& key,
                             NodeIds& out) const override;

 private:
  const Form& form_;
  const XmlDocument& model_;
  ClockText today_;
  ClockText now_;
  std::vector<bool> date_nodes_;  // by model node id
  // The nodes of the rules' absolute plain paths in the model, by their
  // numbers in the form.
  TrieMatches rule_paths_;
  // Built as the rules read the model: a host serves one call on one thread.
  mutable ChildIndex children_;
  // Found only for a form whose rules call instance().
  std::optional<InstanceElements> instance_elements_;
};

}  // namespace tolvar
