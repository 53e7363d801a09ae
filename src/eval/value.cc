// Conversions between the four value types, equality and document order.
#include "eval/value.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "eval/node_text.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const NodeSet* as_nodes(const Value& value) { return std::get_if<NodeSet>(&value); }

// The string values of a node-set, borrowed where possible. `storage` holds
// the values that had to be built; it is reserved up front so views into it
// stay valid.
std::vector<std::string_view> node_texts(const NodeSet& nodes, const XmlDocument& reader,
                                         std::vector<std::string>& storage) {
  const XmlDocument& document = document_of(nodes, reader);
  storage.reserve(nodes.ids.size());
  std::vector<std::string_view> texts;
  texts.reserve(nodes.ids.size());
  for (NodeId id : nodes.ids) {
    std::string scratch;
    std::string_view text = node_text(document, id, scratch);
    if (text.data() == scratch.data()) {
      storage.push_back(std::move(scratch));
      text = storage.back();
    }
    texts.push_back(text);
  }
  return texts;
}

// Some pair of a left and a right node has equal (Eq) or different (Ne) values.
bool compare_node_sets(InfixOp op, const NodeSet& lhs, const NodeSet& rhs,
                       const XmlDocument& reader) {
  if (lhs.ids.empty() || rhs.ids.empty()) return false;
  std::vector<std::string> left_storage, right_storage;
  const std::vector<std::string_view> left = node_texts(lhs, reader, left_storage);
  std::vector<std::string_view> right = node_texts(rhs, reader, right_storage);
  if (op == InfixOp::Ne) {
    // Every pair is equal only when all values on both sides are one value.
    auto differs = [&](std::string_view text) { return text != left.front(); };
    return std::any_of(left.begin(), left.end(), differs) ||
           std::any_of(right.begin(), right.end(), differs);
  }
  std::sort(right.begin(), right.end());
  return std::any_of(left.begin(), left.end(), [&](std::string_view text) {
    return std::binary_search(right.begin(), right.end(), text);
  });
}

bool compare_nodes_with_number(InfixOp op, const NodeSet& nodes, double number,
                               const XmlDocument& reader) {
  const XmlDocument& document = document_of(nodes, reader);
  std::string scratch;
  return std::any_of(nodes.ids.begin(), nodes.ids.end(), [&](NodeId id) {
    const double value = node_number(document, id, scratch);
    return op == InfixOp::Eq ? value == number : value != number;
  });
}

bool compare_nodes_with_string(InfixOp op, const NodeSet& nodes, std::string_view text,
                               const XmlDocument& reader) {
  const XmlDocument& document = document_of(nodes, reader);
  std::string scratch;
  return std::any_of(nodes.ids.begin(), nodes.ids.end(), [&](NodeId id) {
    const bool equal = node_text(document, id, scratch) == text;
    return op == InfixOp::Eq ? equal : !equal;
  });
}

// One operand is a node-set, the other is not.
bool compare_nodes_with_value(InfixOp op, const NodeSet& nodes, const Value& other,
                              const XmlDocument& reader) {
  if (const bool* flag = std::get_if<bool>(&other)) {
    const bool equal = !nodes.ids.empty() == *flag;
    return op == InfixOp::Eq ? equal : !equal;
  }
  if (const double* number = std::get_if<double>(&other)) {
    return compare_nodes_with_number(op, nodes, *number, reader);
  }
  return compare_nodes_with_string(op, nodes, std::get<std::string>(other), reader);
}

bool compare_plain(InfixOp op, const Value& lhs, const Value& rhs, const XmlDocument& reader) {
  bool equal;
  if (std::holds_alternative<bool>(lhs) || std::holds_alternative<bool>(rhs)) {
    equal = to_boolean(lhs) == to_boolean(rhs);
  } else if (std::holds_alternative<double>(lhs) || std::holds_alternative<double>(rhs)) {
    equal = to_number(lhs, reader) == to_number(rhs, reader);
  } else {
    equal = std::get<std::string>(lhs) == std::get<std::string>(rhs);
  }
  return op == InfixOp::Eq ? equal : !equal;
}

}  // namespace

const char* type_name(const Value& value) {
  static constexpr const char* kNames[] = {"a boolean", "a number", "a string", "a node-set"};
  return kNames[value.index()];
}

bool to_boolean(const Value& value) {
  switch (value.index()) {
    case 0: return std::get<bool>(value);
    case 1: {
      const double number = std::get<double>(value);
      return number != 0 && !std::isnan(number);
    }
    case 2: return !std::get<std::string>(value).empty();
    default: return !std::get<NodeSet>(value).ids.empty();
  }
}

double to_number(const Value& value, const XmlDocument& document) {
  switch (value.index()) {
    case 0: return std::get<bool>(value) ? 1 : 0;
    case 1: return std::get<double>(value);
    case 2: return text_to_number(trim_white(std::get<std::string>(value)));
    default: {
      const NodeSet& nodes = std::get<NodeSet>(value);
      if (nodes.ids.empty()) return kNaN;
      std::string scratch;
      return node_number(document_of(nodes, document), nodes.ids.front(), scratch);
    }
  }
}

std::string to_string(const Value& value, const XmlDocument& document) {
  switch (value.index()) {
    case 0: return std::get<bool>(value) ? "true" : "false";
    case 1: return number_to_string(std::get<double>(value));
    case 2: return std::get<std::string>(value);
    default: {
      const NodeSet& nodes = std::get<NodeSet>(value);
      if (nodes.ids.empty()) return {};
      return document_of(nodes, document).string_value(nodes.ids.front());
    }
  }
}

double arithmetic(InfixOp op, double lhs, double rhs) {
  switch (op) {
    case InfixOp::Add: return lhs + rhs;
    case InfixOp::Sub: return lhs - rhs;
    case InfixOp::Mul: return lhs * rhs;
    case InfixOp::Div: return lhs / rhs;
    default: return std::fmod(lhs, rhs);  // sign of the dividend
  }
}

bool order(InfixOp op, double lhs, double rhs) {
  switch (op) {
    case InfixOp::Lt: return lhs < rhs;
    case InfixOp::Le: return lhs <= rhs;
    case InfixOp::Gt: return lhs > rhs;
    default: return lhs >= rhs;
  }
}

bool compare_equal(InfixOp op, const Value& lhs, const Value& rhs, const XmlDocument& document) {
  const NodeSet* left = as_nodes(lhs);
  const NodeSet* right = as_nodes(rhs);
  if (left && right) return compare_node_sets(op, *left, *right, document);
  if (left) return compare_nodes_with_value(op, *left, rhs, document);
  if (right) return compare_nodes_with_value(op, *right, lhs, document);
  return compare_plain(op, lhs, rhs, document);
}

void normalise(NodeIds& ids, const XmlDocument& document) {
  const auto by_rank = [&](NodeId a, NodeId b) {
    return document.rank_of(a) < document.rank_of(b);
  };
  // Steps over ordered input mostly produce ordered output: skip the sort.
  const bool ordered = std::adjacent_find(ids.begin(), ids.end(), [&](NodeId a, NodeId b) {
                         return !by_rank(a, b);
                       }) == ids.end();
  if (ordered) return;
  std::stable_sort(ids.begin(), ids.end(), by_rank);
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

}  // namespace tolvar
