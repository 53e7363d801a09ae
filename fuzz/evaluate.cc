// The evaluator over a fixed document: the expression comes from the fuzzer,
// the instance and form are the sample's. It runs twice: bare, as
// eval_expression runs it (and through the engine's call for it, which must
// agree), and inside a form's model from a repeat row, with secondary
// instances, choice lists and a clock.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "check.h"
#include "nesting.h"
#include "eval/context.h"
#include "eval/value.h"
#include "parser/expr.h"
#include "rules/engine.h"
#include "rules/form_host.h"
#include "rules/model_document.h"
#include "sample_form.h"

using namespace tolvar;

namespace {

struct Fixture {
  Session session;
  std::string instance_xml;
  XmlDocument model;
  NodeId row_page;  // /model/data/hh/person[2]/page
};

const Fixture& fixture() {
  static const Fixture* built = [] {
    Result<Session> started = Session::start(fuzz::kSampleForm, std::nullopt, {});
    fuzz::require(started.ok(), "the sample form loads");
    std::string instance_xml = started.value().instance_xml();
    auto* made = new Fixture{std::move(started).value(), std::move(instance_xml), XmlDocument(),
                             kNoNode};
    const SessionState& state = made->session.state();
    made->model = model_document(*state.form, state.instance);
    BareHost host("", "");
    Result<Expr> path = parse_expression("/model/data/hh/person[2]/page");
    Result<Value> found = evaluate(path.value(), EvalContext{made->model, made->model.root, 1, 1, host});
    const NodeIds& pages = std::get<NodeSet>(found.value()).ids;
    fuzz::require(!pages.empty(), "the sample row has a page");
    made->row_page = pages.front();
    return made;
  }();
  return *built;
}

void check_value(const Value& value, const XmlDocument& reader) {
  if (const NodeSet* nodes = std::get_if<NodeSet>(&value)) {
    const XmlDocument& document = nodes->document != nullptr ? *nodes->document : reader;
    for (NodeId id : nodes->ids) fuzz::require(id < document.size(), "node-set ids in range");
  }
  if (const double* number = std::get_if<double>(&value); number && std::isfinite(*number)) {
    fuzz::require(text_to_number(number_to_string(*number)) == *number,
                  "number text reads back as the same number");
  }
  to_string(value, reader);
  to_number(value, reader);
  to_boolean(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Fixture& fixed = fixture();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Result<Expr> parsed = parse_expression(text);
  if (!parsed.ok() || fuzz::predicate_nesting(parsed.value()) > 2) return 0;
  const Expr& expr = parsed.value();

  const XmlDocument& instance = fixed.session.state().instance;
  BareHost bare("2024-05-06", "2024-05-06T10:11:12.000+02:00");
  Result<Value> alone = evaluate(expr, EvalContext{instance, instance.root, 1, 1, bare});
  if (alone.ok()) check_value(alone.value(), instance);
  // The same road as the module's, which must agree with the value above.
  Result<std::string> text_value = evaluate_expression_text(
      text, fixed.instance_xml, {"2024-05-06", "2024-05-06T10:11:12.000+02:00"});
  fuzz::require(text_value.ok() == alone.ok(), "the module's road agrees with the evaluator");
  if (alone.ok()) {
    fuzz::require(text_value.value() == to_string(alone.value(), instance),
                  "the module's road gives the evaluator's value");
  }

  FormHost host(*fixed.session.state().form, fixed.model, "2024-05-06", "2024-05-06T10:11:12.000+02:00");
  Result<Value> in_row = evaluate(expr, EvalContext{fixed.model, fixed.row_page, 2, 3, host});
  if (in_row.ok()) check_value(in_row.value(), fixed.model);
  return 0;
}
