// A loaded XForm: binds with parsed rules, calculation order, secondary
// instances and translations. Immutable after loading.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "eval/context.h"
#include "eval/value.h"
#include "functions/regex.h"
#include "parser/expr.h"
#include "rules/nodeset_trie.h"
#include "rules/rule_paths.h"
#include "tree/document.h"
#include "base/result.h"

namespace tolvar {

struct BindRule {
  // The parsed rule, or the refusal of a rule that nests too deep to read:
  // such a rule is not wrong, only unread, so the form still loads and every
  // evaluation of the rule reports the refusal.
  Result<Expr> expr;
  std::string source;  // the attribute text as written
};

// The rule's value in the context, or the refusal it was loaded with.
Result<Value> evaluate_rule(const BindRule& rule, const EvalContext& context);

struct Bind {
  std::string nodeset;  // "nodeset", or "ref" when that is absent; as written
  // The nodeset parsed once at loading, for every judge to use; none when it
  // does not parse, and then the bind applies to nothing.
  std::optional<Expr> target;
  std::optional<std::string> constraint_msg;
  std::optional<std::string> required_msg;
  std::optional<BindRule> relevant;
  std::optional<BindRule> calculate;
  std::optional<BindRule> constraint;
  std::optional<BindRule> required;
  std::optional<BindRule> readonly;
  bool date_typed = false;  // type "date" or "dateTime": its nodes hold dates
};

struct Form {
  XmlDocument document;
  std::vector<Bind> binds;
  std::map<std::string, std::size_t> by_nodeset;
  std::vector<std::size_t> calc_order;
  std::map<std::string, XmlDocument> instances;  // root is the <instance> copy
  // Translations by text id: a form with a long list in several languages
  // holds tens of thousands, looked up by id alone.
  std::unordered_map<std::string, std::string> itext;
  // The body controls (input, select1, …) by their trimmed "ref", the first
  // in document order for each.
  std::map<std::string, NodeId, std::less<>> controls;
  // The plain nodesets of all binds, and of the binds typed as dates.
  NodesetTrie plain_nodesets;
  NodesetTrie dated_nodesets;
  // The patterns the rules' regex() calls write as literals.
  CompiledPatterns patterns;
  // The rules' absolute plain paths.
  RulePaths rule_paths;
  // Whether some rule calls instance().
  bool reads_instances = false;
};

// An external instance, one with a "src" and nothing inside, is a
// placeholder for a file until one is attached (attachments.h): reading it
// as an empty table would turn every lookup into a confident "".
bool is_unloaded_external(const XmlDocument& instance);
// The secondary instance with this id, or nullptr when the form declares
// none or it is an external one nothing has loaded.
const XmlDocument* loaded_instance(const Form& form, std::string_view id);

// Loads a form, or fails with "XForm XML: …", "a <bind> has no nodeset",
// "{attribute} of {nodeset}: {message} — in expression {source}" (not for a
// rule that only nests too deep),
// "the XForm declares no binds, so it carries no rules" or the cycle message.
Result<Form> load_form(std::string_view text);
// The same, with the form's document pointing into `text`, which must
// outlive the form: for a form loaded for one call.
Result<Form> load_form_in_place(std::string_view text);
// The same, from an already parsed form document.
Result<Form> load_form_document(XmlDocument document);

// The <instance> the form is filled in from: the first one below the root,
// id or not; kNoNode when there is none.
NodeId primary_instance_element(const XmlDocument& form_document);

// The form's primary instance as a standalone document rooted at its data
// element: the first <instance> below the root, id or not, which is the one
// a form is filled in from. The checker's outline (checker/outline.cc) skips
// secondary instances instead, to name the data rules point at. Fails with "the XForm has no primary instance" or
// "the XForm's primary instance is empty".
Result<XmlDocument> primary_instance(const XmlDocument& form_document);

// Calculation order: every calculating bind after the calculations it reads.
// `depends[i]` holds the bind indices bind i reads, ascending.
Result<std::vector<std::size_t>> order_calculations(
    const std::vector<Bind>& binds, const std::vector<std::vector<std::size_t>>& depends);

}  // namespace tolvar
