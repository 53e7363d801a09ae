// The host of the evaluator and function tests: tables by id, choice labels
// by (value, question), and clock texts.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "eval/context.h"
#include "tree/document.h"

namespace tolvar {

// Counts the label questions it is asked.
class TestHost : public Host {
 public:
  explicit TestHost(std::string today = "2024-01-02", std::string now = "2024-01-02T03:04:05Z")
      : today_(std::move(today)), now_(std::move(now)) {}

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
  ClockText today() const override { return today_; }
  ClockText now() const override { return now_; }

 private:
  std::string today_;
  std::string now_;
};

}  // namespace tolvar
