// The nodes every bind of a form applies to, for one evaluation document.
#pragma once

#include <span>
#include <vector>

#include "eval/context.h"
#include "rules/form.h"
#include "rules/nodeset_trie.h"
#include "tree/document.h"

namespace tolvar {

// The nodes the bind's nodeset selects from the model root; none on failure.
std::vector<NodeId> bound_nodes(const Bind& bind, const XmlDocument& model, const Host& host);

// By bind index: what bound_nodes gives for each bind (document order; none
// when the nodeset does not parse or evaluate to a node-set). Nodesets that
// are plain chains of named child steps, the usual case, are resolved
// together in one walk down the document instead of one scan of a parent's
// children per bind, so that thousands of binds over one group stay linear.
class BindTargets {
 public:
  BindTargets(const Form& form, const XmlDocument& model, const Host& host);
  std::size_t size() const { return evaluated_.size(); }
  std::span<const NodeId> operator[](std::size_t bind) const {
    return plain_.has(bind) ? plain_[bind] : std::span<const NodeId>(evaluated_[bind]);
  }

 private:
  TrieMatches plain_;
  std::vector<std::vector<NodeId>> evaluated_;  // by bind index; empty for plain nodesets
};

// By bind index: the nodes of every bind whose nodeset is a plain chain of
// named child steps, all found in one walk; nothing for the other binds.
// Only the document's structure decides these, never its texts.
TrieMatches plain_bind_targets(const Form& form, const XmlDocument& model);

// By node id of the model: whether a bind typed as a date or date-time
// applies to the node. Empty when the form types nothing so.
std::vector<bool> date_typed_nodes(const Form& form, const XmlDocument& model, const Host& host);

// The nodes one parsed nodeset selects from the model root.
std::vector<NodeId> nodeset_targets(const Expr& nodeset, const XmlDocument& model,
                                    const Host& host);

}  // namespace tolvar
