// Choices, itemsets and labels: what a select control offers, and the texts
// that label its options and a form's messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "eval/context.h"
#include "rules/form.h"
#include "tree/document.h"

namespace tolvar {

struct Choice {
  std::string value;
  std::string label;
};

// How a select control's <itemset> names its nodes, values and labels.
struct Itemset {
  std::string_view nodeset;
  std::string_view value_name = "name";       // the child holding each value
  std::optional<std::string_view> label_ref;  // none: the value is its own label
};

// The control's first <itemset>; nothing when it has none or the nodeset is
// missing. Blank "nodeset" and "ref" attributes count as absent.
std::optional<Itemset> read_itemset(const XmlDocument& form_document, NodeId control);

// The body control whose trimmed "ref" equals the trimmed path, or kNoNode.
NodeId find_control(const Form& form, std::string_view path);

// Whether a reference names a translation: jr:itext(...).
bool is_itext_reference(std::string_view reference);

// A label or message reference: jr:itext('id') through the translations,
// anything else evaluated as an expression from `context`.
std::string resolve_label(const Form& form, std::string_view reference, const XmlDocument& model,
                          NodeId context, StopCheck* stop = nullptr);

// The label of the option of `control` whose trimmed value is `value`: the
// first fixed <item> with it, else the first node of the itemset with it.
// The itemset sees the form's secondary instances and the clock texts, but
// no choice labels: a choice-name() inside it would otherwise ask for the
// very label being resolved, without end.
std::optional<std::string> option_label(const Form& form, NodeId control, std::string_view value,
                                        const XmlDocument& model, ClockText today,
                                        ClockText now, StopCheck* stop = nullptr);

// The options a filtered question (one with an itemset) offers now, over
// `instance` and the form's secondary instances but without a clock;
// nothing when the question's list is fixed.
std::optional<std::vector<Choice>> list_choices(const Form& form, const XmlDocument& instance,
                                                std::string_view path, StopCheck* stop = nullptr);

}  // namespace tolvar
