// How a select control's <itemset> names its nodes, values and labels.
#pragma once

#include <optional>
#include <string_view>

#include "tree/document.h"

namespace tolvar {

struct Itemset {
  std::string_view nodeset;
  std::string_view value_name = "name";       // the child holding each value
  std::optional<std::string_view> label_ref;  // none: the value is its own label
};

// The control's first <itemset>; nothing when it has none or the nodeset is
// missing. Blank "nodeset" and "ref" attributes count as absent.
std::optional<Itemset> read_itemset(const XmlDocument& form_document, NodeId control);

}  // namespace tolvar
