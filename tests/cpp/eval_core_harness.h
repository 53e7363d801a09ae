// Evaluates expression text over a small document and describes the result
// with its type visible, for the value, evaluator and core function tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "eval/context.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "test_host.h"
#include "tree/document.h"
#include "tree_support.h"

namespace tolvar::core_testing {

// true/false, numbers as text, strings in single quotes, node-sets as the
// paths of their nodes in brackets; failures as "error: " and the message.
inline std::string describe(const Result<Value>& result, const XmlDocument& document) {
  if (!result.ok()) return "error: " + result.error();
  const Value& value = result.value();
  if (const NodeSet* nodes = std::get_if<NodeSet>(&value)) {
    const XmlDocument& owner = nodes->document != nullptr ? *nodes->document : document;
    std::string out = "[";
    for (NodeId id : nodes->ids) {
      if (out.size() > 1) out += ", ";
      out += owner.node_path(id);
    }
    return out + "]";
  }
  if (std::holds_alternative<std::string>(value)) return "'" + std::get<std::string>(value) + "'";
  return to_string(value, document);
}

// Evaluates with `context` as context node (the root when kNoNode).
inline std::string run(std::string_view expression, const XmlDocument& document,
                       const Host& host, NodeId context = kNoNode) {
  Result<Expr> parsed = parse_expression(expression);
  if (!parsed.ok()) return "parse error: " + parsed.error();
  const NodeId node = context == kNoNode ? document.root : context;
  return describe(evaluate(parsed.value(), EvalContext{document, node, 1, 1, host}), document);
}

}  // namespace tolvar::core_testing
