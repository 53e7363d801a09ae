// evaluate(): one function per kind of expression node.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "eval/context.h"
#include "eval/date_operators.h"
#include "eval/instance_ref.h"
#include "eval/node_text.h"
#include "eval/steps.h"

namespace tolvar {
namespace {

Failure type_failure(const char* what, const Value& value) {
  return fail(std::string(what) + type_name(value));
}

Result<Value> eval_variable(const Expr& expr) {
  return fail("variable $" + expr.text +
              ": XForms has no variables, so this expression cannot be what the form meant");
}

// An absolute path starts at the root element. A first step naming the root
// selects the root itself; any other first step is taken from the root.
Result<Value> eval_path(const Expr& expr, const EvalContext& context) {
  const XmlDocument& document = context.document;
  std::span<const Step> steps = expr.steps;
  std::vector<NodeId> nodes;
  if (!expr.absolute) {
    if (context.node != kNoNode) nodes.push_back(context.node);
  } else if (document.has_root()) {
    nodes.push_back(document.root);
    const bool names_root = !steps.empty() && steps.front().axis == Axis::Child &&
                            !steps.front().test.any &&
                            steps.front().test.name == document[document.root].name();
    if (names_root) {
      Status kept = apply_predicates(nodes, steps.front().predicates, context);
      if (!kept.ok()) return kept.failure();
      steps = steps.subspan(1);
    }
  }
  Status stepped = apply_steps(nodes, steps, context);
  if (!stepped.ok()) return stepped.failure();
  return Value{NodeSet{std::move(nodes), nullptr}};
}

// The node-set a filter starts from, with the document its ids belong to.
Result<NodeSet> filter_start(const Expr& primary, const EvalContext& context) {
  if (primary.kind == ExprKind::FunctionCall && primary.text == "instance") {
    return resolve_instance(primary, context);
  }
  Result<Value> value = evaluate(primary, context);
  if (!value.ok()) return value.failure();
  NodeSet* nodes = std::get_if<NodeSet>(&value.value());
  if (nodes == nullptr) return type_failure("a path base needs a node-set, got ", value.value());
  return std::move(*nodes);
}

// Predicates and steps run inside the document the start nodes belong to, so
// a path through instance() navigates, and compares, in that instance.
Result<Value> eval_filter(const Expr& expr, const EvalContext& context) {
  Result<NodeSet> start = filter_start(*expr.lhs, context);
  if (!start.ok()) return start.failure();
  NodeSet& nodes = start.value();
  const XmlDocument& document = document_of(nodes, context.document);
  const EvalContext inner{document, context.node, context.position, context.size, context.host};
  Status kept = apply_predicates(nodes.ids, expr.predicates, inner);
  if (!kept.ok()) return kept.failure();
  Status stepped = apply_steps(nodes.ids, expr.steps, inner);
  if (!stepped.ok()) return stepped.failure();
  return Value{std::move(nodes)};
}

Result<Value> eval_union(const Expr& expr, const EvalContext& context) {
  Result<Value> lhs = evaluate(*expr.lhs, context);
  if (!lhs.ok()) return lhs;
  NodeSet* left = std::get_if<NodeSet>(&lhs.value());
  if (left == nullptr) return type_failure("union needs a node-set, got ", lhs.value());
  Result<Value> rhs = evaluate(*expr.rhs, context);
  if (!rhs.ok()) return rhs;
  const NodeSet* right = std::get_if<NodeSet>(&rhs.value());
  if (right == nullptr) return type_failure("union needs a node-set, got ", rhs.value());
  const XmlDocument& document = document_of(*left, context.document);
  // Ids of two documents cannot share one list.
  if (&document != &document_of(*right, context.document)) {
    return fail("union needs nodes of one document, got nodes of two different instances");
  }
  left->ids.insert(left->ids.end(), right->ids.begin(), right->ids.end());
  normalise(left->ids, document);
  return lhs;
}

// "or" and "and" stop as soon as the left side decides.
Result<Value> eval_logical(const Expr& expr, const EvalContext& context) {
  Result<Value> lhs = evaluate(*expr.lhs, context);
  if (!lhs.ok()) return lhs;
  const bool left = to_boolean(lhs.value());
  if (left == (expr.op == InfixOp::Or)) return Value{left};
  Result<Value> rhs = evaluate(*expr.rhs, context);
  if (!rhs.ok()) return rhs;
  return Value{to_boolean(rhs.value())};
}

Result<Value> eval_infix(const Expr& expr, const EvalContext& context) {
  if (expr.op == InfixOp::Or || expr.op == InfixOp::And) return eval_logical(expr, context);
  Result<Value> lhs = evaluate(*expr.lhs, context);
  if (!lhs.ok()) return lhs;
  Result<Value> rhs = evaluate(*expr.rhs, context);
  if (!rhs.ok()) return rhs;
  const XmlDocument& document = context.document;
  if (expr.op == InfixOp::Eq || expr.op == InfixOp::Ne) {
    return Value{compare_equal(expr.op, lhs.value(), rhs.value(), document)};
  }
  if (auto dated = date_infix(expr, lhs.value(), rhs.value(), context)) return std::move(*dated);
  switch (expr.op) {
    case InfixOp::Lt:
    case InfixOp::Le:
    case InfixOp::Gt:
    case InfixOp::Ge:
      return Value{order(expr.op, to_number(lhs.value(), document),
                         to_number(rhs.value(), document))};
    default:
      return Value{arithmetic(expr.op, to_number(lhs.value(), document),
                              to_number(rhs.value(), document))};
  }
}

Result<Value> eval_negate(const Expr& expr, const EvalContext& context) {
  Result<Value> operand = evaluate(*expr.lhs, context);
  if (!operand.ok()) return operand;
  if (auto dated = date_negate(expr, operand.value(), context)) return std::move(*dated);
  return Value{-to_number(operand.value(), context.document)};
}

}  // namespace

Result<Value> evaluate(const Expr& expr, const EvalContext& context) {
  switch (expr.kind) {
    case ExprKind::Number: return Value{expr.number};
    case ExprKind::Literal: return Value{expr.text};
    case ExprKind::Variable: return eval_variable(expr);
    case ExprKind::Path: return eval_path(expr, context);
    case ExprKind::Filter: return eval_filter(expr, context);
    case ExprKind::FunctionCall: return call_function(expr, context);
    case ExprKind::Infix: return eval_infix(expr, context);
    case ExprKind::Negate: return eval_negate(expr, context);
    case ExprKind::Union: return eval_union(expr, context);
  }
  return fail("unknown kind of expression");
}

}  // namespace tolvar
