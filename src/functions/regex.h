// regex(): whole-subject matching with Unicode-aware class escapes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"

namespace re2 {
class RE2;
}

namespace tolvar {

// Patterns built once, for the rules that write them as literals, so that
// judging a submission does not build them again for every node. Matching
// with one gives what regex_matches gives. Read only once filled, so
// threads may share it.
class CompiledPatterns {
 public:
  // Builds `pattern` unless it is in already or does not build: such a
  // pattern is left to regex_matches, which then reports it.
  void add(std::string_view pattern);
  // The built pattern, or nullptr.
  const re2::RE2* find(std::string_view pattern) const;

 private:
  std::map<std::string, std::shared_ptr<const re2::RE2>, std::less<>> built_;
};

// The pattern with \d \D \s \S \w \W rewritten as Unicode classes (digits
// Nd; White_Space; letters, marks, Nd and connector punctuation), outside and
// inside brackets, because the engine's own escapes are ASCII-only. Escaped
// backslashes and \Q...\E stay as written. Fails when \W stands in a negated
// class: its complement cannot be written as class members.
Result<std::string> widen_class_escapes(std::string_view pattern);

// Whether the whole subject matches the pattern: the one in `built` when it
// is there, else compiled afresh. Fails with "regex(): {pattern} is not a
// pattern this engine can build — {error}" when the pattern does not build.
Result<bool> regex_matches(std::string_view subject, std::string_view pattern,
                           const CompiledPatterns* built = nullptr);

}  // namespace tolvar
