// Location steps: axis, node test, predicates counted in axis order.
#include "eval/steps.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "eval/axes.h"
#include "parser/plain_path.h"

namespace tolvar {
namespace {

using Nodes = NodeIds;

bool predicate_holds(const Value& value, std::size_t position) {
  if (const double* number = std::get_if<double>(&value)) {
    return *number == static_cast<double>(position);
  }
  return to_boolean(value);
}

Status apply_predicate(Nodes& nodes, const Expr& predicate, const EvalContext& context) {
  const std::size_t size = nodes.size();
  std::size_t kept = 0;
  for (std::size_t k = 0; k < size; ++k) {
    Result<Value> value = evaluate(predicate, context.with_node(nodes[k], k + 1, size));
    if (!value.ok()) return value.failure();
    if (predicate_holds(value.value(), k + 1)) nodes[kept++] = nodes[k];
  }
  nodes.resize(kept);
  return Done{};
}

void keep_passing(Nodes& candidates, const NodeTest& test, const XmlDocument& document) {
  if (test.any) return;
  const NameKey key(test.name);
  candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                  [&](NodeId id) { return !document[id].has_name(key); }),
                   candidates.end());
}

// The rank range of the subtree a descendant step last expanded. Without
// predicates, a context node inside it can only reach nodes already reached,
// so it is skipped: "//*//*" then visits each node once per step instead of
// once per ancestor, which on a deep document is the difference between
// linear and quadratic.
class ExpandedSubtree {
 public:
  ExpandedSubtree(const XmlDocument& document, Axis axis, const Step& step)
      : document_(document),
        active_(step.predicates.empty() &&
                (axis == Axis::Descendant || axis == Axis::DescendantOrSelf)) {}

  bool covers(NodeId node) const {
    const std::size_t rank = document_.rank_of(node);
    return active_ && rank != kNoRank && first_ != kNoRank && rank > first_ && rank <= last_;
  }
  // `reached` is the node's axis in pre-order, before any node test.
  void expanded(NodeId node, const Nodes& reached) {
    if (!active_) return;
    first_ = document_.rank_of(node);
    last_ = reached.empty() ? first_ : document_.rank_of(reached.back());
  }

 private:
  const XmlDocument& document_;
  bool active_;
  std::size_t first_ = kNoRank;
  std::size_t last_ = kNoRank;
};

void append_named_children(const EvalContext& context, NodeId node, const NameKey& key,
                           Nodes& out) {
  if (context.host.append_children_named(context.document, node, key, out)) return;
  const XmlDocument& document = context.document;
  for (NodeId child : document.children(node)) {
    if (document[child].has_name(key)) out.push_back(child);
  }
}

// The commonest step of all, a plain child step, needs no list of
// candidates in between; from one node, the commonest case, it reuses the
// list it is given.
Status plain_child_step(Nodes& nodes, std::string_view name, const EvalContext& context) {
  const NameKey key(name);
  if (nodes.size() == 1) {
    if (context.host.should_stop()) return fail(kStoppedMessage);
    const NodeId node = nodes.front();
    nodes.clear();
    append_named_children(context, node, key, nodes);
    return Done{};
  }
  Nodes out;
  for (NodeId node : nodes) {
    if (context.host.should_stop()) return fail(kStoppedMessage);
    append_named_children(context, node, key, out);
  }
  // The children of one node come in document order, each once.
  normalise(out, context.document);
  nodes = std::move(out);
  return Done{};
}

// The one candidate a predicate keeps by its position alone, when it says
// so plainly: "[2]", "[position() = 2]" and "[2 = position()]" keep the
// second ("[0]" and "[1.5]" none), "[last()]" the last.
struct PositionPick {
  std::size_t position = 0;  // from 1; 0 keeps nothing
  bool last = false;
};

bool is_call_of(const Expr& expr, std::string_view name) {
  return expr.kind == ExprKind::FunctionCall && expr.args.empty() && expr.text == name;
}

PositionPick pick_at(double position) {
  if (!(position >= 1) || position != std::floor(position) || position > 1e15) return {};
  return {static_cast<std::size_t>(position), false};
}

std::optional<PositionPick> position_pick(const Expr& predicate) {
  if (predicate.kind == ExprKind::Number) return pick_at(predicate.number);
  if (is_call_of(predicate, "last")) return PositionPick{0, true};
  if (predicate.kind != ExprKind::Infix || predicate.ops.size() != 1 ||
      predicate.ops.front() != InfixOp::Eq) {
    return std::nullopt;
  }
  const Expr& left = predicate.args[0];
  const Expr& right = predicate.args[1];
  if (is_call_of(left, "position") && right.kind == ExprKind::Number) return pick_at(right.number);
  if (is_call_of(right, "position") && left.kind == ExprKind::Number) return pick_at(left.number);
  return std::nullopt;
}

// The child of `node` passing the test that `pick` keeps, or kNoNode.
NodeId picked_child(const XmlDocument& document, NodeId node, const std::optional<NameKey>& key,
                    PositionPick pick) {
  const auto passes = [&](NodeId child) { return !key || document[child].has_name(*key); };
  if (pick.last) {
    for (NodeId child = document.last_child(node); child != kNoNode;
         child = document.previous_sibling(child)) {
      if (passes(child)) return child;
    }
    return kNoNode;
  }
  std::size_t seen = 0;
  for (NodeId child : document.children(node)) {
    if (passes(child) && ++seen == pick.position) return child;
  }
  return kNoNode;
}

// A child step whose first predicate picks by position alone takes that
// child and stops, without evaluating anything for the other children:
// "/data/row[1]/c" or "[position() = 1]" in every row of a large repeat
// then costs the same in each row instead of a pass over all of them. Later
// predicates see the one node kept, as they would after the first.
Status picking_child_step(Nodes& nodes, const Step& step, PositionPick pick,
                          const EvalContext& context) {
  const XmlDocument& document = context.document;
  const std::optional<NameKey> key =
      step.test.any ? std::nullopt : std::optional<NameKey>(step.test.name);
  Nodes out;
  Nodes kept;
  for (NodeId node : nodes) {
    if (context.host.should_stop()) return fail(kStoppedMessage);
    kept.clear();
    if (NodeId child = picked_child(document, node, key, pick); child != kNoNode) {
      kept.push_back(child);
    }
    Status passed = apply_predicates(kept, std::span(step.predicates).subspan(1), context);
    if (!passed.ok()) return passed;
    out.insert(out.end(), kept.begin(), kept.end());
  }
  if (nodes.size() > 1) normalise(out, document);
  nodes = std::move(out);
  return Done{};
}

// ".." and "." from one node, the commonest steps after plain child steps
// ("../age"), change the list in place; false for any other step.
bool step_in_place(Nodes& nodes, Axis axis, const Step& step, const XmlDocument& document) {
  if (nodes.size() != 1 || !step.test.any || !step.predicates.empty()) return false;
  if (axis == Axis::Self) return true;
  if (axis != Axis::Parent) return false;
  const NodeId parent = document[nodes.front()].parent();
  if (parent == kNoNode) {
    nodes.clear();
  } else {
    nodes.front() = parent;
  }
  return true;
}

// One step from every node of the list; predicates see each node's own
// candidates, so positions count per context node.
Status apply_step(Nodes& nodes, Axis axis, const Step& step, const EvalContext& context) {
  const XmlDocument& document = context.document;
  if (axis == Axis::Child && is_plain_child(step)) return plain_child_step(nodes, step.test.name, context);
  if (axis == Axis::Child && !step.predicates.empty()) {
    if (std::optional<PositionPick> pick = position_pick(step.predicates.front())) {
      return picking_child_step(nodes, step, *pick, context);
    }
  }
  if (step_in_place(nodes, axis, step, document)) return Done{};
  Nodes out;
  Nodes candidates;
  ExpandedSubtree expanded(document, axis, step);
  for (NodeId node : nodes) {
    // A step from every node of a large list costs as much as many evaluations.
    if (context.host.should_stop()) return fail(kStoppedMessage);
    if (expanded.covers(node)) continue;
    candidates.clear();
    append_axis(document, node, axis, candidates);
    expanded.expanded(node, candidates);
    keep_passing(candidates, step.test, document);
    Status kept = apply_predicates(candidates, step.predicates, context);
    if (!kept.ok()) return kept;
    out.insert(out.end(), candidates.begin(), candidates.end());
  }
  normalise(out, document);
  nodes = std::move(out);
  return Done{};
}

// "//name" with no predicates on either step reaches exactly the descendants
// named `name`, in document order, without visiting every node's children.
bool joins_as_descendant(const Step& step, const Step& next) {
  return step.axis == Axis::DescendantOrSelf && step.test.any && step.predicates.empty() &&
         next.axis == Axis::Child && next.predicates.empty();
}

}  // namespace

Status apply_predicates(Nodes& nodes, std::span<const Expr> predicates,
                        const EvalContext& context) {
  for (const Expr& predicate : predicates) {
    if (nodes.empty()) break;
    Status kept = apply_predicate(nodes, predicate, context);
    if (!kept.ok()) return kept;
  }
  return Done{};
}

Status apply_steps(Nodes& nodes, std::span<const Step> steps, const EvalContext& context) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const bool joined = i + 1 < steps.size() && joins_as_descendant(steps[i], steps[i + 1]);
    if (joined) ++i;
    Status stepped = apply_step(nodes, joined ? Axis::Descendant : steps[i].axis, steps[i], context);
    if (!stepped.ok()) return stepped;
  }
  return Done{};
}

}  // namespace tolvar
