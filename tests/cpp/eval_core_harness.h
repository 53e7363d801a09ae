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
#include "tree/document.h"

namespace tolvar::core_testing {

// A bare host that also answers secondary instances by id.
class TableHost : public Host {
 public:
  std::map<std::string, XmlDocument, std::less<>> tables;

  const XmlDocument* lookup_table(std::string_view id) const override {
    auto found = tables.find(id);
    return found == tables.end() ? nullptr : &found->second;
  }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  std::string_view today() const override { return "2024-01-02"; }
  std::string_view now() const override { return "2024-01-02T03:04:05Z"; }
};

inline XmlDocument parse_document(std::string_view xml) {
  Result<XmlDocument> parsed = parse_xml(xml);
  return parsed.ok() ? std::move(parsed).value() : XmlDocument{};
}

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
