#include "functions/regex.h"

#include <algorithm>

#include <re2/re2.h>

#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr std::string_view kDigit = "\\p{Nd}";
constexpr std::string_view kNotDigit = "\\P{Nd}";
// White_Space, and its complement spelled as ranges so that \S can share a
// class with other members.
constexpr std::string_view kSpace =
    "\\t-\\r \\x{85}\\x{A0}\\x{1680}\\x{2000}-\\x{200A}\\x{2028}\\x{2029}\\x{202F}\\x{205F}"
    "\\x{3000}";
constexpr std::string_view kNotSpace =
    "\\x{0}-\\x{8}\\x{E}-\\x{1F}\\x{21}-\\x{84}\\x{86}-\\x{9F}\\x{A1}-\\x{167F}"
    "\\x{1681}-\\x{1FFF}\\x{200B}-\\x{2027}\\x{202A}-\\x{202E}\\x{2030}-\\x{205E}"
    "\\x{2060}-\\x{2FFF}\\x{3001}-\\x{10FFFF}";
constexpr std::string_view kWord = "\\p{L}\\p{M}\\p{Nd}\\p{Pc}";

struct ClassEscape {
  char letter;
  std::string_view set;       // class members of the positive set
  bool negated;               // the escape means the complement of `set`
  std::string_view in_class;  // members form inside brackets; empty when none exists
};

// The complement of the word set has no members form: the engine's general
// categories leave out unassigned code points, and it cannot intersect.
constexpr ClassEscape kClassEscapes[] = {
    {'d', kDigit, false, kDigit}, {'D', kDigit, true, kNotDigit},
    {'s', kSpace, false, kSpace}, {'S', kSpace, true, kNotSpace},
    {'w', kWord, false, kWord},   {'W', kWord, true, ""},
};

const ClassEscape* find_class_escape(char letter) {
  for (const ClassEscape& escape : kClassEscapes) {
    if (escape.letter == letter) return &escape;
  }
  return nullptr;
}

void append_alone(std::string& out, const ClassEscape& escape) {
  out += escape.negated ? "[^" : "[";
  out += escape.set;
  out += ']';
}

class Rewriter {
 public:
  explicit Rewriter(std::string_view pattern) : pattern_(pattern) {}

  Result<std::string> run() {
    out_.reserve(pattern_.size() + 32);
    while (pos_ < pattern_.size()) {
      std::size_t special = std::min(pattern_.find_first_of("[\\", pos_), pattern_.size());
      out_.append(pattern_.substr(pos_, special - pos_));
      pos_ = special;
      if (pos_ == pattern_.size()) break;
      if (pattern_[pos_] == '\\') {
        copy_escape();
        continue;
      }
      Status copied = copy_class();
      if (!copied.ok()) return copied.failure();
    }
    return std::move(out_);
  }

 private:
  char peek(std::size_t ahead) const {
    return pos_ + ahead < pattern_.size() ? pattern_[pos_ + ahead] : '\0';
  }

  // Copies from pos_ through `terminator`, or to the end when it is missing.
  void copy_through(std::string& to, std::string_view terminator) {
    std::size_t found = pattern_.find(terminator, pos_);
    std::size_t end = found == std::string_view::npos ? pattern_.size() : found + terminator.size();
    to.append(pattern_.substr(pos_, end - pos_));
    pos_ = end;
  }

  // A backslash outside brackets. A trailing one is left for the engine to report.
  void copy_escape() {
    char letter = peek(1);
    if (letter == 'Q') {
      copy_through(out_, "\\E");
      return;
    }
    if (const ClassEscape* escape = find_class_escape(letter)) {
      append_alone(out_, *escape);
    } else {
      out_.append(pattern_.substr(pos_, 2));
    }
    pos_ = std::min(pos_ + 2, pattern_.size());
  }

  // A bracket class. Members whose escape has no members form (\W) split the
  // class into an alternation of classes, which only a positive class allows.
  Status copy_class() {
    std::size_t start = pos_++;
    bool negated = peek(0) == '^';
    if (negated) ++pos_;
    std::string members;
    std::string alternatives;
    if (peek(0) == ']') members += pattern_[pos_++];  // a leading ']' is a member
    while (pos_ < pattern_.size() && pattern_[pos_] != ']') {
      if (pattern_[pos_] == '[' && peek(1) == ':') {
        copy_through(members, ":]");
      } else if (pattern_[pos_] == '\\') {
        copy_member_escape(members, alternatives);
      } else {
        members += pattern_[pos_++];
      }
    }
    if (pos_ == pattern_.size()) {  // unterminated: the engine reports it
      out_.append(pattern_.substr(start));
      return Done{};
    }
    ++pos_;
    if (alternatives.empty()) {
      out_ += negated ? "[^" : "[";
      out_ += members;
      out_ += ']';
      return Done{};
    }
    if (negated) return fail("\\W cannot stand inside a negated class [^...]");
    close_members(members, alternatives);
    out_ += "(?:";
    out_ += alternatives;
    out_ += ')';
    return Done{};
  }

  void copy_member_escape(std::string& members, std::string& alternatives) {
    const ClassEscape* escape = find_class_escape(peek(1));
    if (escape && !escape->in_class.empty()) {
      members += escape->in_class;
    } else if (escape) {
      close_members(members, alternatives);
      if (!alternatives.empty()) alternatives += '|';
      append_alone(alternatives, *escape);
    } else {
      members.append(pattern_.substr(pos_, 2));
    }
    pos_ = std::min(pos_ + 2, pattern_.size());
  }

  // Ends the members gathered so far as one class of the alternation.
  static void close_members(std::string& members, std::string& alternatives) {
    if (members.empty()) return;
    if (!alternatives.empty()) alternatives += '|';
    alternatives += '[';
    if (members.front() == '^') alternatives += '\\';  // a member here, not a negation
    alternatives += members;
    alternatives += ']';
    members.clear();
  }

  std::string_view pattern_;
  std::size_t pos_ = 0;
  std::string out_;
};

std::string anchored(std::string_view pattern) {
  std::string text = "^(?:";
  text += pattern;
  text += ")$";
  return text;
}

Failure build_failure(std::string_view pattern, std::string_view error) {
  std::string message = "regex(): ";
  message += quote_text(pattern);
  message += " is not a pattern this engine can build — ";
  message += error;
  return fail(std::move(message));
}

RE2::Options quiet_options() {
  RE2::Options options;
  options.set_log_errors(false);  // a library must not write to stderr
  return options;
}

// The engine's description in the author's own terms: the pattern as written
// usually fails the same way, and then its error shows no rewritten classes.
std::string build_error(std::string_view pattern, const RE2& widened) {
  RE2 as_written(anchored(pattern), quiet_options());
  return as_written.ok() ? widened.error() : as_written.error();
}

}  // namespace

Result<std::string> widen_class_escapes(std::string_view pattern) {
  return Rewriter(pattern).run();
}

void CompiledPatterns::add(std::string_view pattern) {
  if (built_.contains(pattern)) return;
  Result<std::string> widened = widen_class_escapes(pattern);
  if (!widened.ok()) return;
  auto compiled = std::make_shared<const RE2>(anchored(widened.value()), quiet_options());
  if (compiled->ok()) built_.emplace(std::string(pattern), std::move(compiled));
}

const RE2* CompiledPatterns::find(std::string_view pattern) const {
  auto found = built_.find(pattern);
  return found == built_.end() ? nullptr : found->second.get();
}

Result<bool> regex_matches(std::string_view subject, std::string_view pattern,
                           const CompiledPatterns* built) {
  const re2::StringPiece whole(subject.data(), subject.size());
  if (const RE2* ready = built ? built->find(pattern) : nullptr) {
    return RE2::FullMatch(whole, *ready);
  }
  Result<std::string> widened = widen_class_escapes(pattern);
  if (!widened.ok()) return build_failure(pattern, widened.error());
  RE2 compiled(anchored(widened.value()), quiet_options());
  if (!compiled.ok()) return build_failure(pattern, build_error(pattern, compiled));
  return RE2::FullMatch(whole, compiled);
}

}  // namespace tolvar
