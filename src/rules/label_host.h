// The host that label and itemset expressions run with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "eval/context.h"
#include "rules/form.h"

namespace tolvar {

// The form's secondary instances and the given clock texts, but no choice
// labels: a choice-name() inside a label or an itemset would otherwise ask
// for the very label being resolved, without end.
class LabelHost : public Host {
 public:
  LabelHost(const Form& form, std::string_view today, std::string_view now)
      : form_(form), today_(today), now_(now) {}
  const XmlDocument* lookup_table(std::string_view id) const override {
    auto found = form_.instances.find(std::string(id));
    return found == form_.instances.end() ? nullptr : &found->second;
  }
  std::optional<std::string> choice_label(std::string_view, std::string_view) const override {
    return std::nullopt;
  }
  std::string_view today() const override { return today_; }
  std::string_view now() const override { return now_; }

 private:
  const Form& form_;
  std::string_view today_;
  std::string_view now_;
};

}  // namespace tolvar
