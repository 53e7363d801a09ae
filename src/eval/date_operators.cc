#include "eval/date_operators.h"

#include <cmath>
#include <string>
#include <string_view>

#include "eval/date_value.h"
#include "eval/node_text.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

enum class Engine { Collect, Enketo };

// One operand and how each engine reads it.
struct Operand {
  const Value& value;
  std::optional<DatePoint> point;  // its text read as a date, when it is one
  std::string text;                // that text, kept only for a date
  bool collect_date = false;       // Collect reads it as a date too

  bool is_date_to(Engine engine) const {
    return point.has_value() && (engine == Engine::Enketo || collect_date);
  }
};

// A node-set by its first node, typed by the host; a string as a date to
// Collect only when a date function gave it, so a literal stays text.
Operand read_operand(const Expr& expr, const Value& value, const EvalContext& context) {
  Operand operand{value, std::nullopt, {}, false};
  std::string scratch;
  std::string_view text;
  const XmlDocument* document = nullptr;
  NodeId node = kNoNode;
  if (const NodeSet* nodes = std::get_if<NodeSet>(&value)) {
    if (nodes->ids.empty()) return operand;
    document = &document_of(*nodes, context.document);
    node = nodes->ids.front();
    text = node_text(*document, node, scratch);
  } else if (const std::string* string = std::get_if<std::string>(&value)) {
    text = *string;
  } else {
    return operand;
  }
  operand.point = read_date(text);
  if (!operand.point) return operand;
  operand.text = std::string(trim_white(text));
  operand.collect_date = document != nullptr
                             ? context.host.typed_as_date(*document, node)
                             : expr.kind == ExprKind::FunctionCall && returns_date(expr.text);
  return operand;
}

Result<double> number_for(const Operand& operand, Engine engine, const XmlDocument& document) {
  if (operand.is_date_to(engine)) return date_number(*operand.point, operand.text);
  return to_number(operand.value, document);
}

bool is_wall_clock(const DatePoint& point) { return point.kind != DateKind::ZonedTime; }

// Two dates in time order. A day or wall-clock time against an instant is
// decided only when every time zone in use gives the same answer.
Result<bool> order_dates(InfixOp op, const Operand& lhs, const Operand& rhs) {
  const DatePoint& left = *lhs.point;
  const DatePoint& right = *rhs.point;
  if (is_wall_clock(left) == is_wall_clock(right)) return order(op, left.days, right.days);
  const bool left_is_wall = is_wall_clock(left);
  const double wall = left_is_wall ? left.days : right.days;
  auto in_zone = [&](double offset) {
    const double instant = wall - offset;
    return left_is_wall ? order(op, instant, right.days) : order(op, left.days, instant);
  };
  const bool east = in_zone(kEastmostOffset);
  if (east == in_zone(kWestmostOffset)) return east;
  return fail(zone_message(left_is_wall ? lhs.text : rhs.text));
}

Result<bool> order_for(InfixOp op, const Operand& lhs, const Operand& rhs, Engine engine,
                       const XmlDocument& document) {
  if (lhs.is_date_to(engine) && rhs.is_date_to(engine)) return order_dates(op, lhs, rhs);
  Result<double> left = number_for(lhs, engine, document);
  if (!left.ok()) return left.failure();
  Result<double> right = number_for(rhs, engine, document);
  if (!right.ok()) return right.failure();
  return order(op, left.value(), right.value());
}

Result<double> arithmetic_for(InfixOp op, const Operand& lhs, const Operand& rhs, Engine engine,
                              const XmlDocument& document) {
  Result<double> left = number_for(lhs, engine, document);
  if (!left.ok()) return left.failure();
  Result<double> right = number_for(rhs, engine, document);
  if (!right.ok()) return right.failure();
  return arithmetic(op, left.value(), right.value());
}

bool same(bool a, bool b) { return a == b; }
bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

std::string shown(bool value) { return value ? "true" : "false"; }
std::string shown(double value) { return number_to_string(value); }

// The answer both engines give. `text` is the operand only Enketo reads as
// a date, which is what sets them apart.
template <class T>
Result<Value> agreed(const Result<T>& collect, const Result<T>& enketo, const Operand& text) {
  if (!collect.ok()) return collect.failure();
  if (!enketo.ok()) return enketo.failure();
  if (same(collect.value(), enketo.value())) return Value{collect.value()};
  return fail("Collect and Enketo disagree: Enketo reads " + quote_text(text.text) +
              " as a date, Collect as text, so this is " + shown(enketo.value()) +
              " on Enketo and " + shown(collect.value()) +
              " on Collect — wrap the text in date() so that both read a date");
}

}  // namespace

std::optional<Result<Value>> date_infix(InfixOp op, const Expr& left_expr, const Expr& right_expr,
                                        const Value& lhs, const Value& rhs,
                                        const EvalContext& context) {
  const Operand left = read_operand(left_expr, lhs, context);
  const Operand right = read_operand(right_expr, rhs, context);
  if (!left.point && !right.point) return std::nullopt;
  const Operand& text = left.point && !left.collect_date ? left : right;
  const XmlDocument& document = context.document;
  if (is_order(op)) {
    return agreed(order_for(op, left, right, Engine::Collect, document),
                  order_for(op, left, right, Engine::Enketo, document), text);
  }
  return agreed(arithmetic_for(op, left, right, Engine::Collect, document),
                arithmetic_for(op, left, right, Engine::Enketo, document), text);
}

std::optional<Result<Value>> date_negate(const Expr& expr, const Value& operand,
                                         const EvalContext& context) {
  const Operand read = read_operand(*expr.lhs, operand, context);
  if (!read.point) return std::nullopt;
  auto negated = [&](Engine engine) -> Result<double> {
    Result<double> number = number_for(read, engine, context.document);
    if (!number.ok()) return number;
    return -number.value();
  };
  return agreed(negated(Engine::Collect), negated(Engine::Enketo), read);
}

}  // namespace tolvar
