// Recursive descent over the token list, one cursor, by operator precedence.
//
// Every subtree is built together with its depth so that a tree deeper than
// kMaxExpressionDepth is refused as soon as it would form; together with the
// limit on bracketed nesting this bounds both the parser's own recursion and
// that of everything that later walks, evaluates or destroys the tree.
#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "parser/expr.h"
#include "parser/lexer.h"
#include "parser/render.h"
#include "tree/unicode.h"

namespace tolvar {
namespace {

// A subtree and its depth: the longest chain of lhs/rhs/args/predicates
// below its root (a leaf has depth 0).
struct Parsed {
  Expr expr;
  int depth = 0;
};

struct AxisName {
  std::string_view name;
  Axis axis;
};

constexpr AxisName kAxisNames[] = {
    {"child", Axis::Child},
    {"parent", Axis::Parent},
    {"self", Axis::Self},
    {"descendant", Axis::Descendant},
    {"descendant-or-self", Axis::DescendantOrSelf},
    {"ancestor", Axis::Ancestor},
    {"ancestor-or-self", Axis::AncestorOrSelf},
    {"attribute", Axis::Attribute},
    {"following", Axis::Following},
    {"following-sibling", Axis::FollowingSibling},
    {"preceding", Axis::Preceding},
    {"preceding-sibling", Axis::PrecedingSibling},
};

// Names that before "(" are a node test matching any node, not a function.
constexpr std::string_view kNodeTypeNames[] = {"node", "text", "comment", "processing-instruction"};

// The two-operand operators; a higher level binds tighter. A row with a word
// matches only a Name token with exactly that text, so "or", "and", "div" and
// "mod" are operators only where an operator may stand.
struct InfixRule {
  TokenKind kind;
  std::string_view word;
  InfixOp op;
  int level;
};

constexpr InfixRule kInfixRules[] = {
    {TokenKind::Name, "or", InfixOp::Or, 0},
    {TokenKind::Name, "and", InfixOp::And, 1},
    {TokenKind::Equal, "", InfixOp::Eq, 2},
    {TokenKind::NotEqual, "", InfixOp::Ne, 2},
    {TokenKind::Less, "", InfixOp::Lt, 3},
    {TokenKind::LessEqual, "", InfixOp::Le, 3},
    {TokenKind::Greater, "", InfixOp::Gt, 3},
    {TokenKind::GreaterEqual, "", InfixOp::Ge, 3},
    {TokenKind::Plus, "", InfixOp::Add, 4},
    {TokenKind::Minus, "", InfixOp::Sub, 4},
    {TokenKind::Star, "", InfixOp::Mul, 5},
    {TokenKind::Name, "div", InfixOp::Div, 5},
    {TokenKind::Name, "mod", InfixOp::Mod, 5},
};

bool is_node_type_name(std::string_view name) {
  return std::ranges::find(kNodeTypeNames, name) != std::end(kNodeTypeNames);
}

// Prefixes are never resolved: "orx:meta" tests for "meta".
std::string local_part(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

Step descendant_or_self_step() {
  Step step;
  step.axis = Axis::DescendantOrSelf;
  step.test.any = true;
  return step;
}

Failure too_deep() {
  return fail("the expression nests deeper than " + std::to_string(kMaxExpressionDepth) +
              " levels — tolvar refuses it rather than risk running out of stack");
}

// The node with its depth, unless that depth is beyond the limit.
Result<Parsed> bounded(Expr expr, int depth) {
  if (depth > kMaxExpressionDepth) return too_deep();
  return Parsed{std::move(expr), depth};
}

// An Infix or Union node (a Union ignores `op`).
Result<Parsed> join(ExprKind kind, InfixOp op, Parsed lhs, Parsed rhs) {
  Expr expr;
  expr.kind = kind;
  expr.op = op;
  expr.lhs = std::make_unique<Expr>(std::move(lhs.expr));
  expr.rhs = std::make_unique<Expr>(std::move(rhs.expr));
  return bounded(std::move(expr), std::max(lhs.depth, rhs.depth) + 1);
}

Parsed leaf(const Token& token) {
  Expr expr;
  if (token.kind == TokenKind::Number) {
    expr.kind = ExprKind::Number;
    expr.number = token.number;
  } else {
    expr.kind = token.kind == TokenKind::Literal ? ExprKind::Literal : ExprKind::Variable;
    expr.text = std::string(token.text);
  }
  return Parsed{std::move(expr), 0};
}

class Parser {
 public:
  Parser(std::string_view text, std::span<const Token> tokens) : text_(text), tokens_(tokens) {}

  Result<Expr> parse() {
    Result<Parsed> root = parse_or();
    if (!root.ok()) return root.failure();
    if (cursor_ < tokens_.size()) {
      return fail("unexpected trailing input in " + quote_text(text_) + " at token " +
                  std::to_string(cursor_));
    }
    return std::move(root.value().expr);
  }

 private:
  const Token* peek(std::size_t ahead = 0) const {
    return cursor_ + ahead < tokens_.size() ? &tokens_[cursor_ + ahead] : nullptr;
  }

  bool at(TokenKind kind, std::size_t ahead = 0) const {
    const Token* token = peek(ahead);
    return token != nullptr && token->kind == kind;
  }

  bool accept(TokenKind kind) {
    if (!at(kind)) return false;
    ++cursor_;
    return true;
  }

  Failure expected(std::string_view what) const {
    return fail("expected " + std::string(what) + ", found " + render_found(tokens_, cursor_));
  }

  Status expect(TokenKind kind) {
    if (accept(kind)) return Done{};
    return expected(token_kind_name(kind));
  }

  const InfixRule* infix_at_cursor() const {
    const Token* token = peek();
    if (token == nullptr) return nullptr;
    for (const InfixRule& rule : kInfixRules) {
      if (token->kind == rule.kind && (rule.word.empty() || token->text == rule.word)) return &rule;
    }
    return nullptr;
  }

  Result<Parsed> parse_or() { return parse_binary(0); }

  // An or-expression inside "(...)", "[...]" or an argument list: the only
  // places where the parser recurses without building a deeper tree.
  Result<Parsed> parse_nested() {
    if (nesting_ == kMaxExpressionDepth) return too_deep();
    ++nesting_;
    Result<Parsed> inner = parse_or();
    --nesting_;
    return inner;
  }

  // Precedence climbing: a loop folds operators of min_level and above to
  // the left, and the right operand climbs to a strictly tighter level, so
  // the recursion here is at most one frame per level.
  Result<Parsed> parse_binary(int min_level) {
    Result<Parsed> lhs = parse_unary();
    while (lhs.ok()) {
      const InfixRule* rule = infix_at_cursor();
      if (rule == nullptr || rule->level < min_level) break;
      ++cursor_;
      Result<Parsed> rhs = parse_binary(rule->level + 1);
      if (!rhs.ok()) return rhs;
      lhs = join(ExprKind::Infix, rule->op, std::move(lhs.value()), std::move(rhs.value()));
    }
    return lhs;
  }

  // Unary minus applies to a whole union: "-a | b" negates the union.
  Result<Parsed> parse_unary() {
    int minuses = 0;
    while (accept(TokenKind::Minus)) ++minuses;
    Result<Parsed> operand = parse_union();
    if (!operand.ok() || minuses == 0) return operand;
    const int depth = operand.value().depth + minuses;
    if (depth > kMaxExpressionDepth) return too_deep();
    Expr expr = std::move(operand.value().expr);
    for (int i = 0; i < minuses; ++i) {
      Expr negate;
      negate.kind = ExprKind::Negate;
      negate.lhs = std::make_unique<Expr>(std::move(expr));
      expr = std::move(negate);
    }
    return Parsed{std::move(expr), depth};
  }

  Result<Parsed> parse_union() {
    Result<Parsed> lhs = parse_path_expr();
    while (lhs.ok() && accept(TokenKind::Pipe)) {
      Result<Parsed> rhs = parse_path_expr();
      if (!rhs.ok()) return rhs;
      lhs = join(ExprKind::Union, InfixOp{}, std::move(lhs.value()), std::move(rhs.value()));
    }
    return lhs;
  }

  Result<Parsed> parse_path_expr() {
    const Token* token = peek();
    if (token == nullptr) return parse_location_path();
    switch (token->kind) {
      case TokenKind::Name:
        if (!at(TokenKind::LeftParen, 1) || is_node_type_name(token->text)) break;
        return parse_filter(parse_function_call());
      case TokenKind::Number:
      case TokenKind::Literal:
      case TokenKind::Variable:
        ++cursor_;
        return parse_filter(leaf(*token));
      case TokenKind::LeftParen:
        return parse_filter(parse_parenthesised());
      default:
        break;
    }
    return parse_location_path();
  }

  // "(a)" yields exactly the tree of "a".
  Result<Parsed> parse_parenthesised() {
    ++cursor_;
    Result<Parsed> inner = parse_nested();
    if (!inner.ok()) return inner;
    Status closed = expect(TokenKind::RightParen);
    if (!closed.ok()) return closed.failure();
    return inner;
  }

  // The name as written, prefix included ("jr:choice-name").
  Result<Parsed> parse_function_call() {
    Expr call;
    call.kind = ExprKind::FunctionCall;
    call.text = std::string(peek()->text);
    cursor_ += 2;
    int deepest = -1;
    if (!accept(TokenKind::RightParen)) {
      do {
        Result<Parsed> arg = parse_nested();
        if (!arg.ok()) return arg;
        deepest = std::max(deepest, arg.value().depth);
        call.args.push_back(std::move(arg.value().expr));
      } while (accept(TokenKind::Comma));
      Status closed = expect(TokenKind::RightParen);
      if (!closed.ok()) return closed.failure();
    }
    return bounded(std::move(call), deepest + 1);
  }

  // Predicates and "/" or "//" continuations after a primary; a primary
  // with neither stands for itself.
  Result<Parsed> parse_filter(Result<Parsed> primary) {
    if (!primary.ok()) return primary;
    Expr filter;
    filter.kind = ExprKind::Filter;
    int deepest = primary.value().depth;
    Status rest = parse_predicates(filter.predicates, deepest);
    while (rest.ok()) {
      if (accept(TokenKind::DoubleSlash)) {
        filter.steps.push_back(descendant_or_self_step());
      } else if (!accept(TokenKind::Slash)) {
        break;
      }
      rest = parse_relative_path(filter.steps, deepest);
    }
    if (!rest.ok()) return rest.failure();
    if (filter.predicates.empty() && filter.steps.empty()) return primary;
    filter.lhs = std::make_unique<Expr>(std::move(primary.value().expr));
    return bounded(std::move(filter), deepest + 1);
  }

  Result<Parsed> parse_location_path() {
    Expr path;
    path.kind = ExprKind::Path;
    int deepest = -1;
    Status steps = Done{};
    if (accept(TokenKind::DoubleSlash)) {
      path.absolute = true;
      path.steps.push_back(descendant_or_self_step());
      steps = parse_relative_path(path.steps, deepest);
    } else if (accept(TokenKind::Slash)) {
      // "/" alone, or before an operator, is the root with no steps.
      path.absolute = true;
      if (starts_step()) steps = parse_relative_path(path.steps, deepest);
    } else {
      steps = parse_relative_path(path.steps, deepest);
    }
    if (!steps.ok()) return steps.failure();
    return bounded(std::move(path), deepest + 1);
  }

  bool starts_step() const {
    const Token* token = peek();
    if (token == nullptr) return false;
    switch (token->kind) {
      case TokenKind::Name:
      case TokenKind::Dot:
      case TokenKind::DoubleDot:
      case TokenKind::At:
      case TokenKind::Star:
        return true;
      default:
        return false;
    }
  }

  // Appends the steps; `deepest` grows to the deepest predicate met.
  Status parse_relative_path(std::vector<Step>& steps, int& deepest) {
    for (;;) {
      Status step = parse_step(steps, deepest);
      if (!step.ok()) return step;
      if (accept(TokenKind::DoubleSlash)) {
        steps.push_back(descendant_or_self_step());
      } else if (!accept(TokenKind::Slash)) {
        return Done{};
      }
    }
  }

  Status parse_step(std::vector<Step>& steps, int& deepest) {
    Step step;
    Status head = parse_axis_and_test(step);
    if (!head.ok()) return head;
    Status predicates = parse_predicates(step.predicates, deepest);
    if (!predicates.ok()) return predicates;
    steps.push_back(std::move(step));
    return Done{};
  }

  // "." and ".." stand for a whole axis-and-test and still take predicates.
  Status parse_axis_and_test(Step& step) {
    if (accept(TokenKind::Dot)) {
      step.axis = Axis::Self;
      step.test.any = true;
      return Done{};
    }
    if (accept(TokenKind::DoubleDot)) {
      step.axis = Axis::Parent;
      step.test.any = true;
      return Done{};
    }
    Status axis = parse_axis(step.axis);
    if (!axis.ok()) return axis;
    return parse_node_test(step.test);
  }

  // "@", "name::", or nothing for the child axis.
  Status parse_axis(Axis& axis) {
    if (accept(TokenKind::At)) {
      axis = Axis::Attribute;
      return Done{};
    }
    if (!at(TokenKind::Name) || !at(TokenKind::DoubleColon, 1)) return Done{};
    const std::string_view name = peek()->text;
    const auto known = std::ranges::find(kAxisNames, name, &AxisName::name);
    if (known == std::end(kAxisNames)) return fail("unsupported axis '" + std::string(name) + "'");
    axis = known->axis;
    cursor_ += 2;
    return Done{};
  }

  Status parse_node_test(NodeTest& test) {
    const Token* token = peek();
    if (token != nullptr && token->kind == TokenKind::Star) {
      ++cursor_;
      test.any = true;
      return Done{};
    }
    if (token == nullptr || token->kind != TokenKind::Name) return expected("a node test");
    ++cursor_;
    if (is_node_type_name(token->text) && accept(TokenKind::LeftParen)) {
      test.any = true;
      return expect(TokenKind::RightParen);
    }
    test.name = local_part(token->text);
    return Done{};
  }

  Status parse_predicates(std::vector<Expr>& predicates, int& deepest) {
    while (accept(TokenKind::LeftBracket)) {
      Result<Parsed> predicate = parse_nested();
      if (!predicate.ok()) return predicate.failure();
      Status closed = expect(TokenKind::RightBracket);
      if (!closed.ok()) return closed;
      deepest = std::max(deepest, predicate.value().depth);
      predicates.push_back(std::move(predicate.value().expr));
    }
    return Done{};
  }

  std::string_view text_;
  std::span<const Token> tokens_;
  std::size_t cursor_ = 0;
  int nesting_ = 0;  // open "(", "[" and argument lists around the cursor
};

}  // namespace

Result<Expr> parse_expression(std::string_view text) {
  Result<std::vector<Token>> tokens = lex_expression(text);
  if (!tokens.ok()) return tokens.failure();
  return Parser(text, tokens.value()).parse();
}

}  // namespace tolvar
