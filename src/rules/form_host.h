// The host a form's rules run with.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "eval/context.h"
#include "rules/form.h"
#include "tree/document.h"

namespace tolvar {

// The form's secondary instances and choice labels, and the clock texts.
class FormHost : public Host {
 public:
  FormHost(const Form& form, const XmlDocument& model, std::string today, std::string now);
  const XmlDocument* lookup_table(std::string_view id) const override;
  std::optional<std::string> choice_label(std::string_view value,
                                          std::string_view question) const override;
  std::string_view today() const override { return today_; }
  std::string_view now() const override { return now_; }

 private:
  const Form& form_;
  const XmlDocument& model_;
  std::string today_;
  std::string now_;
};

}  // namespace tolvar
