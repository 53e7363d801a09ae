// Recursive descent over the token list, one cursor, by operator precedence.
//
// Every subtree is built together with its depth (the longest chain of
// lhs/args/predicates below its root; a leaf has depth 0) so that a tree
// deeper than kMaxExpressionDepth is refused as soon as it would form.
// Together with the limit on bracketed nesting this bounds both the parser's
// own recursion and that of everything that later walks, evaluates or
// destroys the tree. A run of one level's operators is one node with any
// number of operands, so however long it is it adds a single level.
//
// Each parsing function fills `out`, an empty Expr, sets `depth` and returns
// a Status. Nodes are filled in place, and the few that wrap a finished
// subtree are made by out-of-line builders, so the frames on the recursive
// path hold no Expr of their own. The branches of parse_path_expr and of a
// step are kept out of line too, so each frame on the path pays only for the
// branch it took: the deepest accepted nesting needs well under half a
// megabyte of stack.
#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "parser/expr.h"
#include "parser/lexer.h"
#include "parser/render.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

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
  return fail_over_limit("the expression nests deeper than " +
                         std::to_string(kMaxExpressionDepth) +
                         " levels — tolvar refuses it rather than risk running out of stack");
}

Status check_depth(int depth) {
  if (depth > kMaxExpressionDepth) return too_deep();
  return Done{};
}

// Builders for the nodes that wrap a finished subtree; kept out of line so
// their temporaries stay out of the recursive frames.

// Makes `out` the first operand of a Union.
[[gnu::noinline]] void start_union(Expr& out) {
  Expr node;
  node.kind = ExprKind::Union;
  node.args.push_back(std::move(out));
  out = std::move(node);
}

// Wraps `out` in `times` Negate nodes.
[[gnu::noinline]] Status negate(Expr& out, int& depth, int times) {
  depth += times;
  Status bounded = check_depth(depth);
  if (!bounded.ok()) return bounded;
  for (int i = 0; i < times; ++i) {
    Expr node;
    node.kind = ExprKind::Negate;
    node.lhs = std::make_unique<Expr>(std::move(out));
    out = std::move(node);
  }
  return Done{};
}

// Makes `out`, the primary, the head of a Filter.
[[gnu::noinline]] Status make_filter(Expr& out, int& depth, std::vector<Expr>& predicates,
                                     std::vector<Step>& steps) {
  Status bounded = check_depth(++depth);
  if (!bounded.ok()) return bounded;
  Expr node;
  node.kind = ExprKind::Filter;
  node.lhs = std::make_unique<Expr>(std::move(out));
  node.predicates = std::move(predicates);
  node.steps = std::move(steps);
  out = std::move(node);
  return Done{};
}

class Parser {
 public:
  Parser(std::string_view text, std::span<const Token> tokens) : text_(text), tokens_(tokens) {}

  Result<Expr> parse() {
    Expr root;
    int depth = 0;
    Status parsed = parse_or(root, depth);
    if (!parsed.ok()) return parsed.failure();
    if (cursor_ < tokens_.size()) {
      return fail("unexpected trailing input in " + quote_text(text_) + " at token " +
                  std::to_string(cursor_));
    }
    return root;
  }

 private:
  // A run of one level's operators being read: its operands so far, each
  // followed by its operator (the last one waits for its right operand),
  // and the depth of the deepest of them.
  struct OpenChain {
    Expr node;  // an Infix node with as many ops as args
    int level = 0;
    int depth = 0;
  };

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

  // Operators without recursion: the chains still open wait on
  // `open_chains_` above `base`, each of a tighter level than the one below
  // it. An operator first closes every chain of a tighter level, then joins
  // the chain of its own level or opens one.
  Status parse_or(Expr& out, int& depth) {
    const std::size_t base = open_chains_.size();
    Status status = parse_unary(out, depth);
    while (status.ok()) {
      const InfixRule* rule = infix_at_cursor();
      if (rule == nullptr) break;
      ++cursor_;
      status = close_chains(base, rule->level + 1, out, depth);
      if (!status.ok()) break;
      extend_chain(base, *rule, out, depth);
      status = parse_unary(out, depth);
    }
    if (status.ok()) status = close_chains(base, 0, out, depth);
    open_chains_.resize(base);
    return status;
  }

  // Ends the open chains of min_level or tighter, innermost first, each
  // with `out` as its last operand; `out` becomes the outermost one ended.
  [[gnu::noinline]] Status close_chains(std::size_t base, int min_level, Expr& out, int& depth) {
    while (open_chains_.size() > base && open_chains_.back().level >= min_level) {
      OpenChain& chain = open_chains_.back();
      depth = std::max(chain.depth, depth) + 1;
      Status bounded = check_depth(depth);
      if (!bounded.ok()) return bounded;
      chain.node.args.push_back(std::move(out));
      out = std::move(chain.node);
      open_chains_.pop_back();
    }
    return Done{};
  }

  // Moves `out`, the operand before the operator just read, into the open
  // chain of the operator's level, opening one if there is none; `out` is
  // left empty for the next operand.
  [[gnu::noinline]] void extend_chain(std::size_t base, const InfixRule& rule, Expr& out,
                                      int depth) {
    if (open_chains_.size() == base || open_chains_.back().level != rule.level) {
      OpenChain& opened = open_chains_.emplace_back();
      opened.node.kind = ExprKind::Infix;
      opened.level = rule.level;
    }
    OpenChain& chain = open_chains_.back();
    chain.depth = std::max(chain.depth, depth);
    chain.node.args.push_back(std::move(out));
    chain.node.ops.push_back(rule.op);
    out = Expr{};
  }

  // An or-expression inside "(...)", "[...]" or an argument list: the only
  // places where the parser recurses.
  Status parse_nested(Expr& out, int& depth) {
    if (nesting_ == kMaxExpressionDepth) return too_deep();
    ++nesting_;
    Status inner = parse_or(out, depth);
    --nesting_;
    return inner;
  }

  // Unary minus applies to a whole union: "-a | b" negates the union.
  Status parse_unary(Expr& out, int& depth) {
    int minuses = 0;
    while (accept(TokenKind::Minus)) ++minuses;
    Status operand = parse_union(out, depth);
    if (!operand.ok() || minuses == 0) return operand;
    return negate(out, depth, minuses);
  }

  // Like an operator chain, any number of "|" make one node.
  Status parse_union(Expr& out, int& depth) {
    Status status = parse_path_expr(out, depth);
    if (!status.ok() || !at(TokenKind::Pipe)) return status;
    start_union(out);
    int deepest = depth;
    while (accept(TokenKind::Pipe)) {
      status = parse_path_expr(out.args.emplace_back(), depth);
      if (!status.ok()) return status;
      deepest = std::max(deepest, depth);
    }
    depth = deepest + 1;
    return check_depth(depth);
  }

  Status parse_path_expr(Expr& out, int& depth) {
    const Token* token = peek();
    // At the end of the tokens the path finds no node test and says so.
    if (token == nullptr) return parse_location_path(out, depth);
    Status primary = Done{};
    switch (token->kind) {
      case TokenKind::Name:
        if (!at(TokenKind::LeftParen, 1) || is_node_type_name(token->text)) {
          return parse_location_path(out, depth);
        }
        primary = parse_function_call(out, depth);
        break;
      case TokenKind::Number:
      case TokenKind::Literal:
      case TokenKind::Variable:
        ++cursor_;
        set_leaf(out, depth, *token);
        break;
      case TokenKind::LeftParen:
        primary = parse_parenthesised(out, depth);
        break;
      default:
        return parse_location_path(out, depth);
    }
    if (!primary.ok()) return primary;
    return parse_filter(out, depth);
  }

  static void set_leaf(Expr& out, int& depth, const Token& token) {
    depth = 0;
    if (token.kind == TokenKind::Number) {
      out.kind = ExprKind::Number;
      out.number = token.number;
    } else {
      out.kind = token.kind == TokenKind::Literal ? ExprKind::Literal : ExprKind::Variable;
      out.text = std::string(token.text);
    }
  }

  // "(a)" yields exactly the tree of "a".
  [[gnu::noinline]] Status parse_parenthesised(Expr& out, int& depth) {
    ++cursor_;
    Status inner = parse_nested(out, depth);
    if (!inner.ok()) return inner;
    return expect(TokenKind::RightParen);
  }

  // The name as written, prefix included ("jr:choice-name").
  [[gnu::noinline]] Status parse_function_call(Expr& out, int& depth) {
    out.kind = ExprKind::FunctionCall;
    out.text = std::string(peek()->text);
    cursor_ += 2;
    int deepest = -1;
    if (!accept(TokenKind::RightParen)) {
      do {
        int arg_depth = 0;
        Status arg = parse_nested(out.args.emplace_back(), arg_depth);
        if (!arg.ok()) return arg;
        deepest = std::max(deepest, arg_depth);
      } while (accept(TokenKind::Comma));
      Status closed = expect(TokenKind::RightParen);
      if (!closed.ok()) return closed;
    }
    depth = deepest + 1;
    return check_depth(depth);
  }

  // Predicates and "/" or "//" continuations after the primary in `out`;
  // a primary with neither stands for itself.
  [[gnu::noinline]] Status parse_filter(Expr& out, int& depth) {
    std::vector<Expr> predicates;
    std::vector<Step> steps;
    int deepest = depth;
    Status rest = parse_predicates(predicates, deepest);
    while (rest.ok()) {
      if (accept(TokenKind::DoubleSlash)) {
        steps.push_back(descendant_or_self_step());
      } else if (!accept(TokenKind::Slash)) {
        break;
      }
      rest = parse_relative_path(steps, deepest);
    }
    if (!rest.ok() || (predicates.empty() && steps.empty())) return rest;
    depth = deepest;
    return make_filter(out, depth, predicates, steps);
  }

  Status parse_location_path(Expr& out, int& depth) {
    out.kind = ExprKind::Path;
    out.absolute = at(TokenKind::Slash) || at(TokenKind::DoubleSlash);
    int deepest = -1;
    Status steps = Done{};
    if (accept(TokenKind::DoubleSlash)) {
      out.steps.push_back(descendant_or_self_step());
      steps = parse_relative_path(out.steps, deepest);
    } else if (!accept(TokenKind::Slash) || starts_step()) {
      // "/" alone, or before an operator, is the root with no steps.
      steps = parse_relative_path(out.steps, deepest);
    }
    if (!steps.ok()) return steps;
    depth = deepest + 1;
    return check_depth(depth);
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
      Status step = parse_step(steps.emplace_back(), deepest);
      if (!step.ok()) return step;
      if (accept(TokenKind::DoubleSlash)) {
        steps.push_back(descendant_or_self_step());
      } else if (!accept(TokenKind::Slash)) {
        return Done{};
      }
    }
  }

  Status parse_step(Step& step, int& deepest) {
    Status head = parse_axis_and_test(step);
    if (!head.ok()) return head;
    return parse_predicates(step.predicates, deepest);
  }

  // "." and ".." stand for a whole axis-and-test and still take predicates.
  [[gnu::noinline]] Status parse_axis_and_test(Step& step) {
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
      int depth = 0;
      Status predicate = parse_nested(predicates.emplace_back(), depth);
      if (!predicate.ok()) return predicate;
      Status closed = expect(TokenKind::RightBracket);
      if (!closed.ok()) return closed;
      deepest = std::max(deepest, depth);
    }
    return Done{};
  }

  std::string_view text_;
  std::span<const Token> tokens_;
  std::size_t cursor_ = 0;
  int nesting_ = 0;  // open "(", "[" and argument lists around the cursor
  std::vector<OpenChain> open_chains_;  // shared by every open parse_or, each above its own base
};

}  // namespace

Result<Expr> parse_expression(std::string_view text) {
  Result<std::vector<Token>> tokens = lex_expression(text);
  if (!tokens.ok()) return tokens.failure();
  return Parser(text, tokens.value()).parse();
}

}  // namespace tolvar
