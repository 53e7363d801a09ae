// The four value types and the conversions between them.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "eval/node_ids.h"
#include "parser/expr.h"
#include "tree/document.h"

namespace tolvar {

// Node ids plus the document they belong to. `document` is null when the ids
// belong to the document of the evaluation reading them.
struct NodeSet {
  NodeIds ids;
  const XmlDocument* document = nullptr;
};
// Every Value is as large as its largest kind: a node-set no larger than a
// vector and a pointer keeps it at what it was.
static_assert(sizeof(NodeSet) <= sizeof(std::vector<NodeId>) + sizeof(const XmlDocument*));

// boolean, number, string, node-set: in this order (index() is the rank).
using Value = std::variant<bool, double, std::string, NodeSet>;

// "a boolean", "a number", "a string", "a node-set".
const char* type_name(const Value& value);

bool to_boolean(const Value& value);
// `document` is used for node-sets whose own document is null.
double to_number(const Value& value, const XmlDocument& document);
std::string to_string(const Value& value, const XmlDocument& document);

// XPath-style number text: "NaN", "Infinity", integers without fraction,
// otherwise shortest round-trip digits in positional notation.
std::string number_to_string(double number);
// Sign, digits with optional fraction and exponent, or inf/infinity/nan in any
// case; the whole text must match (no trimming here); NaN otherwise.
double text_to_number(std::string_view text);

// "+", "-", "*", "div" and "mod" (sign of the dividend) on two numbers.
double arithmetic(InfixOp op, double lhs, double rhs);
// "<", "<=", ">" and ">=" on two numbers; NaN compares false.
bool order(InfixOp op, double lhs, double rhs);

// "=" (op Eq) and "!=" (op Ne) with the XPath node-set rules.
bool compare_equal(InfixOp op, const Value& lhs, const Value& rhs, const XmlDocument& document);

// Sorts ids by document rank (unranked last, stable) and removes repeats.
void normalise(NodeIds& ids, const XmlDocument& document);

}  // namespace tolvar
