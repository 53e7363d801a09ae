// The one walk over an expression tree that every reader of expressions
// shares: which parts an expression holds, and in which order they come.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "parser/expr.h"

namespace tolvar {

// Where a sub-expression stands in the expression that holds it.
enum class Place : unsigned char {
  Root,             // the expression walked
  Operand,          // an argument of a call, an operand of an operator
  FilterPrimary,    // the primary expression a filter starts from
  FilterPredicate,  // a predicate of a filter's primary
  StepPredicate,    // a predicate of a location step
};

// Visits `root` and everything inside it in pre-order and in written order:
// a call before its arguments, an operator chain before its operands from
// left to right, a filter's primary, then its predicates, then its steps; each
// location step before its predicates. The visitor has two members:
//   State expr(const Expr& expr, Place place, const State& state)
//     returns the state the expression's own parts are visited with;
//   void step(const Step& step, const State& state);
// and may have a third, for visitors whose parts differ by where they stand:
//   State part(const Holder& holder, Place place, std::size_t index, const State& state)
//     returns the state the index-th part of that place in `holder` (an
//     Expr, or a Step for its predicates) is visited with; an operator
//     chain's operands are parts 0, 1, … from the left. Without it every part is
//     visited with the state its holder gives.
// An explicit stack keeps deep nesting off the call stack.
template <class State, class Visitor>
void walk_expr(const Expr& root, const State& root_state, Visitor& visitor) {
  struct Pending {
    const Expr* expr;  // null for a step
    const Step* step;
    Place place;
    State state;
  };
  std::vector<Pending> stack;
  stack.push_back({&root, nullptr, Place::Root, root_state});
  auto part_state = [&](const auto& holder, Place place, std::size_t index,
                        const State& state) -> State {
    if constexpr (requires { visitor.part(holder, place, index, state); }) {
      return visitor.part(holder, place, index, state);
    } else {
      return state;
    }
  };
  // Parts are pushed last first, so that they come off the stack in order.
  auto push_steps = [&](const std::vector<Step>& steps, const State& state) {
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
      stack.push_back({nullptr, &*step, Place::Root, state});
    }
  };
  auto push_all = [&](const auto& holder, const std::vector<Expr>& parts, Place place,
                      const State& state) {
    for (std::size_t index = parts.size(); index-- > 0;) {
      stack.push_back({&parts[index], nullptr, place, part_state(holder, place, index, state)});
    }
  };
  auto push_one = [&](const Expr& holder, const Expr& part, std::size_t index, const State& state) {
    stack.push_back({&part, nullptr, Place::Operand, part_state(holder, Place::Operand, index, state)});
  };
  while (!stack.empty()) {
    Pending next = std::move(stack.back());
    stack.pop_back();
    if (next.step != nullptr) {
      visitor.step(*next.step, next.state);
      push_all(*next.step, next.step->predicates, Place::StepPredicate, next.state);
      continue;
    }
    const Expr& expr = *next.expr;
    const State inner = visitor.expr(expr, next.place, next.state);
    switch (expr.kind) {
      case ExprKind::Number:
      case ExprKind::Literal:
      case ExprKind::Variable:
        break;
      case ExprKind::Path:
        push_steps(expr.steps, inner);
        break;
      case ExprKind::Filter:
        push_steps(expr.steps, inner);
        push_all(expr, expr.predicates, Place::FilterPredicate, inner);
        stack.push_back({expr.lhs.get(), nullptr, Place::FilterPrimary,
                         part_state(expr, Place::FilterPrimary, 0, inner)});
        break;
      case ExprKind::FunctionCall:
      case ExprKind::Infix:
      case ExprKind::Union:
        push_all(expr, expr.args, Place::Operand, inner);
        break;
      case ExprKind::Negate:
        push_one(expr, *expr.lhs, 0, inner);
        break;
    }
  }
}

}  // namespace tolvar
