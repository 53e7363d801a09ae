// regex(), the selection-list functions, choice labels and pulldata(). Each
// leans on something outside the expression and says so when it is missing.
#include <array>
#include <cmath>
#include <string>

#include "functions/library.h"
#include "functions/regex.h"
#include "functions/white_tokens.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

Result<Value> regex(const Call& call) {
  Result<std::string> subject = call.string(0);
  if (!subject.ok()) return subject.failure();
  Result<std::string> pattern = call.string(1);
  if (!pattern.ok()) return pattern.failure();
  Result<bool> matched = regex_matches(subject.value(), pattern.value(),
                                       call.context().host.compiled_patterns());
  if (!matched.ok()) return matched.failure();
  return Value{matched.value()};
}

Result<Value> selected(const Call& call) {
  Result<std::string> list = call.string(0);
  if (!list.ok()) return list.failure();
  Result<std::string> value = call.string(1);
  if (!value.ok()) return value.failure();
  std::string_view wanted = trim_white(value.value());
  if (wanted.empty()) return Value{false};
  WhiteTokens tokens(list.value());
  while (auto token = tokens.next()) {
    if (*token == wanted) return Value{true};
  }
  return Value{false};
}

// The index is compared as a double so that a huge one needs no cast.
Result<Value> selected_at(const Call& call) {
  Result<std::string> list = call.string(0);
  if (!list.ok()) return list.failure();
  Result<double> index = call.number(1);
  if (!index.ok()) return index.failure();
  if (!(index.value() >= 0)) return Value{std::string()};  // negative or NaN
  double wanted = std::trunc(index.value());
  WhiteTokens tokens(list.value());
  for (double at = 0; auto token = tokens.next(); ++at) {
    if (at == wanted) return Value{std::string(*token)};
  }
  return Value{std::string()};
}

Result<Value> count_selected(const Call& call) {
  Result<std::string> list = call.string(0);
  if (!list.ok()) return list.failure();
  double count = 0;
  WhiteTokens tokens(list.value());
  while (tokens.next()) ++count;
  return Value{count};
}

// Forms write the question as a quoted path: jr:choice-name(/data/q, '/data/q').
Result<std::string> question_reference(const Call& call) {
  if (call.count() > 1 && call.arg(1).kind == ExprKind::Literal) return call.arg(1).text;
  return call.string(1);
}

Result<Value> choice_name(const Call& call) {
  Result<std::string> value = call.string(0);
  if (!value.ok()) return value.failure();
  std::string_view choice = trim_white(value.value());
  if (choice.empty()) return Value{std::string()};
  Result<std::string> question = question_reference(call);
  if (!question.ok()) return question.failure();
  std::string_view reference = trim_white(question.value());
  std::optional<std::string> label = call.context().host.choice_label(choice, reference);
  if (!label) {
    return fail(std::string(call.name()) + "(): no choice " + quote_text(choice) + " for " +
                std::string(reference) +
                " — the evaluator was given no choice list for that question");
  }
  return Value{std::move(*label)};
}

// The rows are the root's children, unless the root holds a single element
// that has children of its own: then that element only wraps the rows.
SiblingRange table_rows(const XmlDocument& table) {
  const NodeId only = table[table.root].first_child();
  if (only != kNoNode && table[only].next_sibling() == kNoNode && table[only].has_children()) {
    return table.children(only);
  }
  return table.children(table.root);
}

// A row without a key cell has an empty key.
std::string look_up(const XmlDocument& table, std::string_view column, std::string_view key_column,
                    std::string_view key) {
  std::string cell_text;
  for (NodeId row : table_rows(table)) {
    cell_text.clear();
    NodeId key_cell = table.child_named(row, key_column);
    if (key_cell != kNoNode) table.append_string_value(key_cell, cell_text);
    if (trim_white(cell_text) != key) continue;
    NodeId cell = table.child_named(row, column);
    return cell == kNoNode ? std::string() : table.string_value(cell);
  }
  return std::string();
}

// pulldata(table, column, key column, key value); arguments past the fourth
// are ignored and a missing one fails before the table is looked up.
Result<Value> pulldata(const Call& call) {
  std::array<std::string, 4> args;
  for (std::size_t i = 0; i < args.size(); ++i) {
    Result<std::string> arg = call.string(i);
    if (!arg.ok()) return arg.failure();
    args[i] = std::move(arg).value();
  }
  const auto& [table_name, column, key_column, key] = args;
  const XmlDocument* table = call.context().host.lookup_table(table_name);
  if (table == nullptr) {
    return fail("pulldata() cannot find the table '" + table_name +
                "' — the form declares it as an external file, and nothing has loaded it");
  }
  if (!table->has_root()) return Value{std::string()};
  return Value{look_up(*table, column, key_column, trim_white(key))};
}

constexpr std::array kTextFunctions = {
    FunctionEntry{"regex", exactly(2), regex},
    FunctionEntry{"selected", exactly(2), selected},
    FunctionEntry{"selected-at", exactly(2), selected_at},
    FunctionEntry{"count-selected", exactly(1), count_selected},
    FunctionEntry{"choice-name", exactly(2), choice_name},
    FunctionEntry{"jr:choice-name", exactly(2), choice_name},
    FunctionEntry{"pulldata", any_count(), pulldata},
};

}  // namespace

std::span<const FunctionEntry> text_functions() { return kTextFunctions; }

}  // namespace tolvar
