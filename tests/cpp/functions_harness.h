// Runs one expression end to end (parse, evaluate) for the function tests.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "eval/context.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "test_host.h"
#include "tree/document.h"
#include "tree_support.h"

namespace tolvar::function_testing {

// The function tests' clock texts: a today that is no date at all, so that
// a function that reads it shows it.
inline constexpr std::string_view kToday = "not a date at all";
inline constexpr std::string_view kNow = "2024-03-05T07:08:09+01:00";

// The value, with the document's root as the context node.
inline Result<Value> run(std::string_view expression, const Host& host,
                         const XmlDocument& document) {
  Result<Expr> parsed = parse_expression(expression);
  if (!parsed.ok()) return parsed.failure();
  return evaluate(parsed.value(), EvalContext{document, document.root, 1, 1, host});
}

// The string form of the value, or "error: " and the message.
inline std::string run_text(std::string_view expression, const Host& host,
                            const XmlDocument& document) {
  Result<Value> value = run(expression, host, document);
  if (!value.ok()) return "error: " + value.error();
  return to_string(value.value(), document);
}

}  // namespace tolvar::function_testing
