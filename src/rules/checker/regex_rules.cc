// regex(): JavaRosa hands the pattern to Java's regex engine and requires
// the whole value to match; the browsers hand it to JavaScript's and accept
// a match anywhere. The rules here look at the pattern as written.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/checker/rules.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

// Constructs of Java's dialect that JavaScript, as the browsers run it
// (without the u flag), reads otherwise.
enum class Dialect {
  InlineFlag,     // (?i): JavaScript refuses the pattern
  Possessive,     // a++: JavaScript refuses the pattern
  AtomicGroup,    // (?>…): JavaScript refuses the pattern
  JavaAnchor,     // \A, \Z, \z: JavaScript reads a letter
  Quoting,        // \Q…\E: JavaScript reads the letters Q and E
  PropertyClass,  // \p{L}: JavaScript reads the text p{L}
  NoLowerBound,   // {,5}: Java refuses it, JavaScript reads text
};

struct DialectConstruct {
  Dialect dialect;
  std::string written;  // the construct as the pattern writes it
};

// A pattern read once: the dialect constructs met, in order, and the
// pattern with each rewritten to what both dialects read alike.
struct PatternScan {
  std::vector<DialectConstruct> constructs;
  std::string portable;
  bool rewritable = true;  // false when some construct has no rewrite
};

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char other_case(char c) { return static_cast<char>(c ^ 0x20); }

// Length of the Java quantifier "{n}", "{n,}", "{n,m}" or "{,m}" at `at`, 0 if
// there is none; `lower` says whether it has a lower bound.
std::size_t repetition_length(std::string_view p, std::size_t at, bool& lower) {
  std::size_t i = at + 1;
  std::size_t digits_start = i;
  while (i < p.size() && p[i] >= '0' && p[i] <= '9') ++i;
  lower = i > digits_start;
  if (i < p.size() && p[i] == ',') {
    ++i;
    std::size_t upper_start = i;
    while (i < p.size() && p[i] >= '0' && p[i] <= '9') ++i;
    if (!lower && i == upper_start) return 0;
  } else if (!lower) {
    return 0;
  }
  return i < p.size() && p[i] == '}' ? i + 1 - at : 0;
}

// Length of a bare inline flag group such as "(?i)" or "(?-s)" at `at`, 0 if
// there is none. "(?i:…)" is left alone: newer browsers read it.
std::size_t inline_flag_length(std::string_view p, std::size_t at) {
  constexpr std::string_view kFlags = "idmsuxU-";
  std::size_t i = at + 2;
  while (i < p.size() && kFlags.find(p[i]) != std::string_view::npos) ++i;
  return i > at + 2 && i < p.size() && p[i] == ')' ? i + 1 - at : 0;
}

bool is_name_character(char c) {
  return is_ascii_letter(c) || (c >= '0' && c <= '9') || c == '_' || c == '=';
}

// Length of "\p{Name}" or "\pL" at `at`, as far as the pattern holds it.
std::size_t property_class_length(std::string_view p, std::size_t at) {
  std::size_t i = at + 2;
  if (i >= p.size()) return p.size() - at;
  if (p[i] != '{') return 3;
  ++i;
  while (i < p.size() && is_name_character(p[i])) ++i;
  return i < p.size() && p[i] == '}' ? i + 1 - at : 3;
}

class PatternScanner {
 public:
  explicit PatternScanner(std::string_view pattern) : p_(pattern) {}

  PatternScan scan() {
    while (i_ < p_.size()) {
      if (p_[i_] == '\\') {
        escape();
      } else if (in_class_) {
        class_character();
      } else {
        outside_class();
      }
    }
    // A pattern neither dialect can compile gets no rewrite.
    if (in_class_ || depth_ != 0) result_.rewritable = false;
    return std::move(result_);
  }

 private:
  void found(Dialect dialect, std::string written) {
    result_.constructs.push_back({dialect, std::move(written)});
  }

  void escape() {
    char next = i_ + 1 < p_.size() ? p_[i_ + 1] : '\0';
    after_quantifier_ = false;
    if (next == 'Q') {
      quoting();
      return;
    }
    if (next == 'p' || next == 'P') {
      // A property class has no portable spelling short of listing its letters.
      std::size_t size = property_class_length(p_, i_);
      found(Dialect::PropertyClass, std::string(p_.substr(i_, size)));
      result_.rewritable = false;
      result_.portable += p_.substr(i_, size);
      i_ += size;
      return;
    }
    if (!in_class_ && (next == 'A' || next == 'Z' || next == 'z')) {
      found(Dialect::JavaAnchor, std::string(p_.substr(i_, 2)));
      result_.portable += next == 'A' ? '^' : '$';
    } else {
      // Escapes that carry letters of their own (\x41, \k<n>) are not
      // folded one letter at a time.
      if (fold_case_ && std::string_view("xuck").find(next) != std::string_view::npos) {
        result_.rewritable = false;
      }
      result_.portable += p_.substr(i_, 2);
    }
    i_ += 2;
  }

  // \Q…\E (or \Q to the end) quotes its text; the rewrite escapes each
  // character the two dialects read as syntax.
  void quoting() {
    std::size_t start = i_ + 2;
    std::size_t end = p_.find("\\E", start);
    std::size_t stop = end == std::string_view::npos ? p_.size() : end + 2;
    found(Dialect::Quoting, "\\Q\u2026\\E");
    for (char c : p_.substr(start, std::min(end, p_.size()) - start)) {
      if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
        result_.portable += '\\';
      } else if (fold_case_ && is_ascii_letter(c)) {
        result_.rewritable = false;
      }
      result_.portable += c;
    }
    i_ = stop;
  }

  void class_character() {
    char c = p_[i_];
    if (c == ']') in_class_ = false;
    if (!fold_case_ || !is_ascii_letter(c)) {
      result_.portable += c;
      ++i_;
      return;
    }
    // A range of letters gains the same range in the other case; a range
    // from a letter to anything else has no simple folded form.
    if (i_ + 2 < p_.size() && p_[i_ + 1] == '-' && p_[i_ + 2] != ']') {
      char end = p_[i_ + 2];
      if (!is_ascii_letter(end) || (c < 'a') != (end < 'a')) result_.rewritable = false;
      result_.portable += p_.substr(i_, 3);
      result_.portable += other_case(c);
      result_.portable += '-';
      result_.portable += other_case(end);
      i_ += 3;
      return;
    }
    result_.portable += c;
    result_.portable += other_case(c);
    ++i_;
  }

  void outside_class() {
    char c = p_[i_];
    if (after_quantifier_ && (c == '+' || c == '?')) {
      // "+" after a quantifier makes it possessive in Java; "?" makes it lazy in both.
      if (c == '+') {
        found(Dialect::Possessive,
              std::string(p_.substr(quantifier_start_, i_ + 1 - quantifier_start_)));
      } else {
        result_.portable += c;
      }
      after_quantifier_ = false;
      ++i_;
      return;
    }
    after_quantifier_ = false;
    if (c == '[') {
      in_class_ = true;
    } else if (c == '*' || c == '+' || c == '?') {
      quantifier(1);
      return;
    } else if (c == '{') {
      bool lower = false;
      if (std::size_t length = repetition_length(p_, i_, lower)) {
        if (lower) {
          quantifier(length);
        } else {
          found(Dialect::NoLowerBound, std::string(p_.substr(i_, length)));
          result_.portable += "{0";
          result_.portable += p_.substr(i_ + 1, length - 1);
          i_ += length;
        }
        return;
      }
    } else if (c == '(') {
      ++depth_;
      if (p_.substr(i_, 2) == "(?") {
        group_opening();
        return;
      }
    } else if (c == ')') {
      if (depth_ == 0) result_.rewritable = false;
      else --depth_;
    } else if (fold_case_ && is_ascii_letter(c)) {
      result_.portable += '[';
      result_.portable += c;
      result_.portable += other_case(c);
      result_.portable += ']';
      ++i_;
      return;
    }
    result_.portable += c;
    ++i_;
  }

  void quantifier(std::size_t length) {
    quantifier_start_ = i_;
    result_.portable += p_.substr(i_, length);
    i_ += length;
    after_quantifier_ = true;
  }

  void group_opening() {
    if (p_.substr(i_, 3) == "(?>") {
      found(Dialect::AtomicGroup, "(?>\u2026)");
      result_.portable += "(?:";
      i_ += 3;
    } else if (std::size_t length = inline_flag_length(p_, i_)) {
      std::string_view group = p_.substr(i_, length);
      found(Dialect::InlineFlag, std::string(group));
      --depth_;  // the group closes where it opens
      // A leading (?i) folds the rest of the pattern, which classes of both
      // cases can say; any other flag or place has no such rewrite.
      bool leading = i_ == 0 || (i_ == 1 && p_[0] == '^');
      if (group == "(?i)" && leading) {
        fold_case_ = true;
      } else {
        result_.rewritable = false;
      }
      i_ += length;
    } else {
      // A named group's name is no text to fold.
      if (fold_case_ && p_.substr(i_, 3) == "(?<" && i_ + 3 < p_.size() && p_[i_ + 3] != '=' &&
          p_[i_ + 3] != '!') {
        result_.rewritable = false;
      }
      result_.portable += "(?";
      i_ += 2;
    }
  }

  std::string_view p_;
  std::size_t i_ = 0;
  bool in_class_ = false;
  bool after_quantifier_ = false;
  std::size_t quantifier_start_ = 0;
  bool fold_case_ = false;
  int depth_ = 0;
  PatternScan result_;
};

// A "|" outside any class or group, which the anchors do not span.
bool has_top_level_alternation(std::string_view pattern) {
  bool in_class = false;
  int depth = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '\\') {
      ++i;
    } else if (c == '[') {
      in_class = true;
    } else if (c == ']') {
      in_class = false;
    } else if (in_class) {
      continue;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == '|' && depth == 0) {
      return true;
    }
  }
  return false;
}

// Whether the text ends inside an escape, so that a character appended
// would be escaped.
bool ends_in_open_escape(std::string_view text) {
  std::size_t backslashes = 0;
  while (backslashes < text.size() && text[text.size() - 1 - backslashes] == '\\') ++backslashes;
  return backslashes % 2 == 1;
}

// The pattern anchored at both ends around one alternative, so that a match
// anywhere (JavaScript) and a whole-value match (JavaRosa) agree. A pattern
// lacking only one anchor gains it; anything else is wrapped whole.
std::string anchored(std::string_view p) {
  std::string text(p);
  if (has_top_level_alternation(p)) return "^(?:" + text + ")$";
  bool starts = p.starts_with('^');
  bool ends = p.ends_with('$') && !ends_in_open_escape(p.substr(0, p.size() - 1));
  if (starts && ends) return text;
  if (starts && !ends_in_open_escape(p)) return text + "$";
  if (ends) return "^" + text;
  return "^(?:" + text + ")$";
}

std::string literal_text(std::string_view pattern) { return "'" + std::string(pattern) + "'"; }

void check_anchoring(std::string_view pattern, std::vector<RuleHit>& hits) {
  // The first and last characters are tested as they stand: an escaped
  // final "$" still counts as an end anchor.
  bool anchored_both = pattern.starts_with('^') && pattern.ends_with('$');
  if (!anchored_both) {
    hits.push_back({"regex() with the unanchored pattern " + quote_text(pattern),
                    "JavaRosa requires the whole value to match while Enketo accepts a match "
                    "anywhere in it, so the same answer passes in one and fails in the other",
                    Breaks::BothDifferently, literal_text(anchored(pattern))});
  } else if (has_top_level_alternation(pattern)) {
    hits.push_back({"regex() with alternation outside the anchors: " + quote_text(pattern),
                    "the ^ and $ bind only to the first and last alternatives, so this is "
                    "anchored in JavaRosa and loose in Enketo despite looking anchored",
                    Breaks::BothDifferently, "'^(?:" + std::string(pattern) + ")$'"});
  }
}

constexpr const char* kJavaScriptRefuses =
    "so the rule works on Collect, fails in Enketo and keeps Web Forms from opening the form";

RuleHit dialect_hit(const DialectConstruct& construct, std::string_view pattern) {
  std::string of = construct.written + ": " + quote_text(pattern);
  const std::string& written = construct.written;
  switch (construct.dialect) {
    case Dialect::InlineFlag:
      return {"regex() with the inline flag " + of,
              std::string("Java applies inline flags and JavaScript refuses them, ") + kJavaScriptRefuses,
              Breaks::Browser, std::nullopt};
    case Dialect::Possessive:
      return {"regex() with the possessive quantifier " + of,
              std::string("Java has possessive quantifiers and JavaScript refuses them, ") +
                  kJavaScriptRefuses,
              Breaks::Browser, std::nullopt};
    case Dialect::AtomicGroup:
      return {"regex() with the atomic group " + of,
              std::string("Java has atomic groups and JavaScript refuses them, ") + kJavaScriptRefuses,
              Breaks::Browser, std::nullopt};
    case Dialect::JavaAnchor:
      return {"regex() with the anchor " + of,
              "Java reads " + written + " as the " + (written == "\\A" ? "start" : "end") +
                  " of the value and JavaScript as the letter " + written.substr(1) +
                  ", so the browsers reject what Collect accepts",
              Breaks::Browser, std::nullopt};
    case Dialect::Quoting:
      return {"regex() with the quoting " + of,
              "Java reads the text between \\Q and \\E as it stands and JavaScript as a pattern "
              "between the letters Q and E, so the browsers reject what Collect accepts",
              Breaks::Browser, std::nullopt};
    case Dialect::PropertyClass:
      return {"regex() with the property class " + of,
              "Java reads " + written + " as a class of characters and JavaScript as the text " +
                  written.substr(1) + ", so the browsers reject what Collect accepts",
              Breaks::Browser, std::nullopt};
    case Dialect::NoLowerBound:
      return {"regex() with the repetition " + of,
              "Java refuses a repetition without a lower bound and JavaScript reads it as plain "
              "text, so the rule fails on Collect and no answer passes in the browsers",
              Breaks::BothDifferently, std::nullopt};
  }
  return {};
}

// One hit per kind of construct, the first met naming it. Until they go,
// one engine reads a different pattern, so anchoring is not judged; the
// suggestion is the whole pattern made portable and anchored.
void report_dialect(std::string_view pattern, const PatternScan& scan, std::vector<RuleHit>& hits) {
  std::vector<Dialect> reported;
  for (const DialectConstruct& construct : scan.constructs) {
    if (std::find(reported.begin(), reported.end(), construct.dialect) != reported.end()) continue;
    reported.push_back(construct.dialect);
    RuleHit hit = dialect_hit(construct, pattern);
    if (scan.rewritable) hit.suggestion = literal_text(anchored(scan.portable));
    hits.push_back(std::move(hit));
  }
}

}  // namespace

void check_regex(const std::vector<Expr>& args, std::vector<RuleHit>& hits) {
  if (args.size() < 2 || args[1].kind != ExprKind::Literal) {
    hits.push_back({"regex() with a pattern that is not written out",
                    "the pattern is built at runtime, so whether it anchors cannot be checked "
                    "here \u2014 the two engines still differ on unanchored ones",
                    Breaks::BothDifferently, std::nullopt});
    return;
  }
  std::string_view pattern = args[1].text;
  PatternScan scan = PatternScanner(pattern).scan();
  if (scan.constructs.empty()) {
    check_anchoring(pattern, hits);
  } else {
    report_dialect(pattern, scan, hits);
  }
}

}  // namespace tolvar
