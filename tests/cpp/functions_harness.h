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
#include "tree/document.h"

namespace tolvar::function_testing {

// A host with choice labels and tables; counts the label questions it is asked.
class TestHost : public Host {
 public:
  std::map<std::string, XmlDocument, std::less<>> tables;
  std::map<std::pair<std::string, std::string>, std::string> labels;
  mutable int label_asks = 0;

  const XmlDocument* lookup_table(std::string_view id) const override {
    auto found = tables.find(id);
    return found == tables.end() ? nullptr : &found->second;
  }
  std::optional<std::string> choice_label(std::string_view value,
                                          std::string_view question) const override {
    ++label_asks;
    auto found = labels.find({std::string(value), std::string(question)});
    if (found == labels.end()) return std::nullopt;
    return found->second;
  }
  std::string_view today() const override { return "not a date at all"; }
  std::string_view now() const override { return "2024-03-05T07:08:09+01:00"; }
};

inline XmlDocument document_of(std::string_view xml) { return std::move(parse_xml(xml)).value(); }

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
