// regex(): whole-subject matching with Unicode-aware class escapes.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

namespace tolvar {

// The pattern with \d \D \s \S \w \W rewritten as Unicode classes (digits
// Nd; White_Space; letters, marks, Nd and connector punctuation), outside and
// inside brackets, because the engine's own escapes are ASCII-only. Escaped
// backslashes and \Q...\E stay as written. Fails when \W stands in a negated
// class: its complement cannot be written as class members.
Result<std::string> widen_class_escapes(std::string_view pattern);

// Whether the whole subject matches the pattern, compiled afresh on every call.
// Fails with "regex(): {pattern} is not a pattern this engine can build —
// {error}" when the pattern does not build.
Result<bool> regex_matches(std::string_view subject, std::string_view pattern);

}  // namespace tolvar
