// instance(id) at the head of a path.
#pragma once

#include "eval/context.h"
#include "parser/expr.h"
#include "base/result.h"

namespace tolvar {

// The node a path headed by the call `instance(...)` starts from: the
// evaluation document's own "instance" element with that id, else the root
// of the host's secondary instance (the node-set then carries that document;
// an instance without a root gives an empty node-set). Fails with
// "instance() needs an id" or "instance('{id}') is not loaded — ...".
Result<NodeSet> resolve_instance(const Expr& call, const EvalContext& context);

}  // namespace tolvar
