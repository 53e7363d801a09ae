// Message and label references: jr:itext(...) through the translations,
// anything else as an expression.
#include <string>
#include <string_view>

#include "rules/judge.h"
#include "rules/label_host.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr std::string_view kItextOpen = "jr:itext(";

// The string value of `text` as an expression, or "" when it does not parse
// or evaluate. Clock texts are empty: a label has no business asking the time.
std::string evaluate_text(const Form& form, std::string_view text, const XmlDocument& document,
                          NodeId context) {
  Result<Expr> expr = parse_expression(text);
  if (!expr.ok()) return "";
  LabelHost host(form, "", "");
  Result<Value> value = evaluate(expr.value(), EvalContext{document, context, 1, 1, host});
  return value.ok() ? to_string(value.value(), document) : "";
}

// The text id of the argument of jr:itext(...): a quoted id as written,
// anything else evaluated.
std::string itext_id(const Form& form, std::string_view argument, const XmlDocument& document,
                     NodeId context) {
  while (!argument.empty() && argument.back() == ')') argument.remove_suffix(1);
  argument = trim_white(argument);
  if (argument.size() >= 2 && argument.front() == '\'' && argument.back() == '\'') {
    return std::string(argument.substr(1, argument.size() - 2));
  }
  return evaluate_text(form, argument, document, context);
}

}  // namespace

std::string resolve_label(const Form& form, std::string_view reference, const XmlDocument& model,
                          NodeId context) {
  std::string_view text = trim_white(reference);
  if (!text.starts_with(kItextOpen)) return evaluate_text(form, text, model, context);
  std::string id = itext_id(form, text.substr(kItextOpen.size()), model, context);
  auto found = form.itext.find(id);
  return found == form.itext.end() ? id : found->second;
}

}  // namespace tolvar
