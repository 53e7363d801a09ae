// evaluate(): one function per kind of expression node.
#include <cmath>
#include <string>
#include <utility>

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
  if (expr.absolute) {
    if (std::optional<std::span<const NodeId>> found = context.host.found_path(document, expr)) {
      return Value{NodeSet{NodeIds(*found), nullptr}};
    }
  }
  std::span<const Step> steps = expr.steps;
  NodeIds nodes;
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

// Operands are checked in order, as ((a | b) | c) would be. The ids are put
// in document order once they have doubled since the last time, so that a
// long union costs no more than sorting everything once or twice.
Result<Value> eval_union(const Expr& expr, const EvalContext& context) {
  Result<Value> first = evaluate(expr.args.front(), context);
  if (!first.ok()) return first;
  NodeSet* all = std::get_if<NodeSet>(&first.value());
  if (all == nullptr) return type_failure("union needs a node-set, got ", first.value());
  const XmlDocument& document = document_of(*all, context.document);
  std::size_t normalised = 0;
  for (std::size_t i = 1; i < expr.args.size(); ++i) {
    Result<Value> next = evaluate(expr.args[i], context);
    if (!next.ok()) return next;
    const NodeSet* more = std::get_if<NodeSet>(&next.value());
    if (more == nullptr) return type_failure("union needs a node-set, got ", next.value());
    // Ids of two documents cannot share one list.
    if (&document != &document_of(*more, context.document)) {
      return fail("union needs nodes of one document, got nodes of two different instances");
    }
    all->ids.insert(all->ids.end(), more->ids.begin(), more->ids.end());
    if (all->ids.size() > 2 * normalised) {
      normalise(all->ids, document);
      normalised = all->ids.size();
    }
  }
  if (all->ids.size() != normalised) normalise(all->ids, document);
  return first;
}

Value apply_infix(InfixOp op, const Value& lhs, const Value& rhs, const XmlDocument& document) {
  switch (op) {
    case InfixOp::Eq:
    case InfixOp::Ne:
      return Value{compare_equal(op, lhs, rhs, document)};
    case InfixOp::Lt:
    case InfixOp::Le:
    case InfixOp::Gt:
    case InfixOp::Ge:
      return Value{order(op, to_number(lhs, document), to_number(rhs, document))};
    default:
      return Value{arithmetic(op, to_number(lhs, document), to_number(rhs, document))};
  }
}

// A chain folds from the left, as ((a - b) - c) reads. "or" and "and" stop
// as soon as the left side decides: the operand after them is not evaluated.
Result<Value> eval_infix(const Expr& expr, const EvalContext& context) {
  static const Expr earlier;  // stands for the value of the operations folded so far
  Result<Value> value = evaluate(expr.args.front(), context);
  if (!value.ok()) return value;
  for (std::size_t i = 0; i < expr.ops.size(); ++i) {
    const InfixOp op = expr.ops[i];
    const bool logical = op == InfixOp::Or || op == InfixOp::And;
    if (logical) {
      const bool left = to_boolean(value.value());
      if (left == (op == InfixOp::Or)) {
        value = Value{left};
        continue;
      }
    }
    Result<Value> rhs = evaluate(expr.args[i + 1], context);
    if (!rhs.ok()) return rhs;
    if (logical) {
      value = Value{to_boolean(rhs.value())};
    } else if (auto dated = op == InfixOp::Eq || op == InfixOp::Ne
                                ? std::optional<Result<Value>>{}  // equality compares as text
                                : date_infix(op, i == 0 ? expr.args[0] : earlier, expr.args[i + 1],
                                             value.value(), rhs.value(), context)) {
      if (!dated->ok()) return std::move(*dated);
      value = std::move(*dated);
    } else {
      value = apply_infix(op, value.value(), rhs.value(), context.document);
    }
  }
  return value;
}

Result<Value> eval_negate(const Expr& expr, const EvalContext& context) {
  Result<Value> operand = evaluate(*expr.lhs, context);
  if (!operand.ok()) return operand;
  if (auto dated = date_negate(expr, operand.value(), context)) return std::move(*dated);
  return Value{-to_number(operand.value(), context.document)};
}

}  // namespace

Result<Value> evaluate(const Expr& expr, const EvalContext& context) {
  if (context.host.should_stop()) return fail(kStoppedMessage);
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
