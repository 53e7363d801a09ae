// The shapes of parsed trees, written by a small printer:
// path(/child::a[1.0]), filter(primary, [predicates], steps), name(args),
// Op(lhs, rhs), Negate(x), Union(a, b), 'literal', $variable, numbers as in messages.
#include <gtest/gtest.h>

#include <string>

#include "parser/expr.h"
#include "parser/render.h"

namespace tolvar {
namespace {

constexpr const char* kAxisNames[] = {
    "child",     "parent",    "self",      "descendant", "descendant-or-self", "ancestor",
    "ancestor-or-self", "attribute", "following", "following-sibling", "preceding",
    "preceding-sibling",
};
constexpr const char* kOpNames[] = {"Or", "And", "Eq", "Ne", "Lt", "Le", "Gt",
                                    "Ge", "Add", "Sub", "Mul", "Div", "Mod"};

std::string print(const Expr& expr);

std::string print_list(const std::vector<Expr>& exprs, const char* open, const char* close) {
  std::string out;
  for (const Expr& expr : exprs) out += open + print(expr) + close;
  return out;
}

std::string print_steps(const std::vector<Step>& steps) {
  std::string out;
  for (const Step& step : steps) {
    if (!out.empty()) out += '/';
    out += kAxisNames[static_cast<int>(step.axis)];
    out += "::" + (step.test.any ? std::string("*") : step.test.name);
    out += print_list(step.predicates, "[", "]");
  }
  return out;
}

std::string print_args(const std::vector<Expr>& exprs) {
  std::string out;
  for (const Expr& expr : exprs) out += (out.empty() ? "" : ", ") + print(expr);
  return out;
}

// A chain as the left-deep tree it reads as: a + b + c is Add(Add(a, b), c).
std::string print_chain(const Expr& chain) {
  std::string out = print(chain.args.front());
  for (std::size_t i = 1; i < chain.args.size(); ++i) {
    const std::string name =
        chain.kind == ExprKind::Union ? "Union" : kOpNames[static_cast<int>(chain.ops[i - 1])];
    out = name + "(" + out + ", " + print(chain.args[i]) + ")";
  }
  return out;
}

std::string print(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::Number:
      return render_number(expr.number);
    case ExprKind::Literal:
      return "'" + expr.text + "'";
    case ExprKind::Variable:
      return "$" + expr.text;
    case ExprKind::Path:
      return "path(" + std::string(expr.absolute ? "/" : "") + print_steps(expr.steps) + ")";
    case ExprKind::Filter:
      return "filter(" + print(*expr.lhs) + ", [" + print_args(expr.predicates) + "], " +
             print_steps(expr.steps) + ")";
    case ExprKind::FunctionCall:
      return expr.text + "(" + print_args(expr.args) + ")";
    case ExprKind::Infix:
    case ExprKind::Union:
      return print_chain(expr);
    case ExprKind::Negate:
      return "Negate(" + print(*expr.lhs) + ")";
  }
  return "?";
}

struct TreeCase {
  const char* input;
  const char* tree;
};

const TreeCase kTreeCases[] = {
    // Operands
    {"$x-1", "$x-1"},
    {"5-3", "Sub(5.0, 3.0)"},
    {"a-1", "path(child::a-1)"},
    {"\"it's\"", "'it's'"},
    {"(a)", "path(child::a)"},
    {"((1))", "1.0"},
    {"f()", "f()"},
    {"jr:choice-name(a, b)", "jr:choice-name(path(child::a), path(child::b))"},
    // Paths and steps
    {"/", "path(/)"},
    {"/*", "path(/child::*)"},
    {"/ = 1", "Eq(path(/), 1.0)"},
    {"//a", "path(/descendant-or-self::*/child::a)"},
    {"a//b", "path(child::a/descendant-or-self::*/child::b)"},
    {"text()", "path(child::*)"},
    {"a/node()/comment()/processing-instruction()", "path(child::a/child::*/child::*/child::*)"},
    {"@node()", "path(attribute::*)"},
    {"text", "path(child::text)"},
    {"/h:html/h:body", "path(/child::html/child::body)"},
    {"orx:meta/a:b:c/a:", "path(child::meta/child::c/child::)"},
    {".[. > 1]", "path(self::*[Gt(path(self::*), 1.0)])"},
    {"..[1]", "path(parent::*[1.0])"},
    {"../@x", "path(parent::*/attribute::x)"},
    {"ancestor-or-self::*[last()][2]", "path(ancestor-or-self::*[last()][2.0])"},
    {"following-sibling::a/preceding::b/self::c",
     "path(following-sibling::a/preceding::b/self::c)"},
    {"descendant-or-self::a/descendant::b/attribute::c",
     "path(descendant-or-self::a/descendant::b/attribute::c)"},
    {"child::a/parent::b/ancestor::c/following::d/preceding-sibling::e",
     "path(child::a/parent::b/ancestor::c/following::d/preceding-sibling::e)"},
    // Filters
    {"instance('c')/root/item[2]", "filter(instance('c'), [], child::root/child::item[2.0])"},
    {"(a)[1]", "filter(path(child::a), [1.0], )"},
    {"(a)[1][b]//c", "filter(path(child::a), [1.0, path(child::b)], descendant-or-self::*/child::c)"},
    {"count(a)[1]", "filter(count(path(child::a)), [1.0], )"},
    {"$v/a", "filter($v, [], child::a)"},
    {"'x'//a", "filter('x', [], descendant-or-self::*/child::a)"},
    // Operator words and "*" by position
    {"div div 2", "Div(path(child::div), 2.0)"},
    {"mod mod mod", "Mod(path(child::mod), path(child::mod))"},
    {"or or or", "Or(path(child::or), path(child::or))"},
    {"and and and", "And(path(child::and), path(child::and))"},
    {"* * *", "Mul(path(child::*), path(child::*))"},
    {"2*a", "Mul(2.0, path(child::a))"},
    // Precedence and associativity
    {"1 < 2 < 3", "Lt(Lt(1.0, 2.0), 3.0)"},
    {"a or b and c", "Or(path(child::a), And(path(child::b), path(child::c)))"},
    {"a and b or c", "Or(And(path(child::a), path(child::b)), path(child::c))"},
    {"2 + 3 * 4", "Add(2.0, Mul(3.0, 4.0))"},
    {"2 * 3 + 4", "Add(Mul(2.0, 3.0), 4.0)"},
    {"10 - 2 - 3", "Sub(Sub(10.0, 2.0), 3.0)"},
    {"8 div 4 mod 3 * 2", "Mul(Mod(Div(8.0, 4.0), 3.0), 2.0)"},
    {"a = b != c", "Ne(Eq(path(child::a), path(child::b)), path(child::c))"},
    {"1 <= 2 = 3 >= 4", "Eq(Le(1.0, 2.0), Ge(3.0, 4.0))"},
    {"1 + 2 = 3 and 4 < 5 or x",
     "Or(And(Eq(Add(1.0, 2.0), 3.0), Lt(4.0, 5.0)), path(child::x))"},
    {"(1 + 2) * 3", "Mul(Add(1.0, 2.0), 3.0)"},
    {"- -1", "Negate(Negate(1.0))"},
    {"-2 * 3", "Mul(Negate(2.0), 3.0)"},
    {"1 - -1", "Sub(1.0, Negate(1.0))"},
    {"-a | b", "Negate(Union(path(child::a), path(child::b)))"},
    {"a | b | c", "Union(Union(path(child::a), path(child::b)), path(child::c))"},
    {"a | b = c", "Eq(Union(path(child::a), path(child::b)), path(child::c))"},
    {"a | 1", "Union(path(child::a), 1.0)"},
    {"a or b and c or d and e or f",
     "Or(Or(Or(path(child::a), And(path(child::b), path(child::c))), "
     "And(path(child::d), path(child::e))), path(child::f))"},
    {"1 - 2 + 3 * 4 - 5 * 6 * 7", "Sub(Add(Sub(1.0, 2.0), Mul(3.0, 4.0)), Mul(Mul(5.0, 6.0), 7.0))"},
    {"(1 - 2) - (3 - 4) - 5", "Sub(Sub(Sub(1.0, 2.0), Sub(3.0, 4.0)), 5.0)"},
};

TEST(Parser, TreesHaveTheExpectedShape) {
  for (const TreeCase& c : kTreeCases) {
    Result<Expr> parsed = parse_expression(c.input);
    if (!parsed.ok()) {
      ADD_FAILURE() << c.input << " failed: " << parsed.error();
      continue;
    }
    EXPECT_EQ(print(parsed.value()), c.tree) << "input: " << c.input;
  }
}

}  // namespace
}  // namespace tolvar
