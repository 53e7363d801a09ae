// instance(id) at the head of a path.
#pragma once

#include <string_view>
#include <vector>

#include "eval/context.h"
#include "parser/expr.h"
#include "base/result.h"

namespace tolvar {

// Every element named "instance" with an id in one document, in document
// order, found in one walk. A host that keeps them for its document spares
// each instance() call a walk through it, which over a row per call would
// cost time quadratic in the document. Ids are read at each lookup, as they
// stand then; the document's structure must not change meanwhile.
class InstanceElements {
 public:
  explicit InstanceElements(const XmlDocument& document);
  // The first of them whose id is `id`, or kNoNode.
  NodeId find(const XmlDocument& document, std::string_view id) const;

 private:
  std::vector<NodeId> elements_;
};

// The node a path headed by the call `instance(...)` starts from: the
// evaluation document's own "instance" element with that id, else the root
// of the host's secondary instance (the node-set then carries that document;
// an instance without a root gives an empty node-set). Fails with
// "instance() needs an id" or "instance('{id}') is not loaded — ...".
Result<NodeSet> resolve_instance(const Expr& call, const EvalContext& context);

}  // namespace tolvar
