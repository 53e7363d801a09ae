"""Stable codes for what the checker reports, so CI can select, ignore and suppress them.

The module's findings carry only texts; a finding's construct text says which
rule made it. `RULES` is the one table from construct text to code: each row's
pattern must match the constructs of one rule and no other. The README's
catalogue of findings is kept to the same rows (the tests compare the two).
"""
from __future__ import annotations

import dataclasses
import re
from collections.abc import Iterable, Mapping
from typing import Any

# Plain paths hold no white space; quoted regex patterns and dates may hold anything.
_PATH = r"\S+"
_ANY = r".*"


@dataclasses.dataclass(frozen=True)
class Rule:
    code: str
    name: str
    pattern: str      # the construct texts of this rule, as a regular expression
    construct: str    # the catalogue's construct with its example
    breaks: str       # where it breaks, as the finding says
    engines: str      # JavaRosa · Enketo · Web Forms, on the example

    def matches(self, construct: str) -> bool:
        return re.fullmatch(self.pattern, construct, re.DOTALL) is not None


_TABLET = "Collect / KoboCollect"
_BROWSER = "Enketo web forms"
_DIFFERENTLY = "both, differently"
_SILENTLY = "both, identically and silently"
_NOT_IN_ENKETO = ("geofence", "is-selected", "enclosed-area", "base64-decode", "extract-signed")
_ENKETO_ENGINES = {
    "geofence": ("`geofence(/data/b, /data/b)`", "1 · does not open · true"),
    "is-selected": ("`is-selected(/data/b)`", "1 · does not open · does not open"),
    "enclosed-area": ("`enclosed-area(/data/b)`",
                      "1.2390941584836643E10 · does not open · does not open"),
    "base64-decode": ("`base64-decode(/data/b)`", "hi · does not open · hi"),
    "extract-signed": ("`extract-signed(/data/b, 'k')`", "(empty) · does not open · does not open"),
}

RULES: tuple[Rule, ...] = (
    # Regular expressions.
    Rule("XF101", "regex-unanchored", r"regex\(\) with the unanchored pattern " + _ANY,
         'regex() with the unanchored pattern "[0-9]+" (`regex(., \'[0-9]+\')` on "a123b")',
         _DIFFERENTLY, "false · true · true"),
    Rule("XF102", "regex-alternation-outside-anchors",
         r"regex\(\) with alternation outside the anchors: " + _ANY,
         'regex() with alternation outside the anchors: "^a|b$" (`regex(., \'^a|b$\')` on "ab")',
         _DIFFERENTLY, "false · true · true"),
    Rule("XF103", "regex-pattern-not-written-out", r"regex\(\) with a pattern that is not written out",
         "regex() with a pattern that is not written out (`regex(., /data/b)`)",
         _DIFFERENTLY, "false · true · true"),
    Rule("XF104", "regex-inline-flag", r"regex\(\) with the inline flag " + _ANY,
         'regex() with the inline flag (?i): "^(?i)abc$"', _BROWSER, "true · fails · does not open"),
    Rule("XF105", "regex-possessive-quantifier", r"regex\(\) with the possessive quantifier " + _ANY,
         'regex() with the possessive quantifier ++: "^a++$"', _BROWSER,
         "true · fails · does not open"),
    Rule("XF106", "regex-atomic-group", r"regex\(\) with the atomic group " + _ANY,
         'regex() with the atomic group (?>…): "^(?>a+)$"', _BROWSER, "true · fails · does not open"),
    Rule("XF107", "regex-java-anchor", r"regex\(\) with the anchor " + _ANY,
         'regex() with the anchor \\A: "\\\\Aabc\\\\z" (also \\Z, \\z)', _BROWSER,
         "true · false · false"),
    Rule("XF108", "regex-quoting", r"regex\(\) with the quoting " + _ANY,
         'regex() with the quoting \\Q…\\E: "^\\\\Q.\\\\E$"', _BROWSER, "true · false · false"),
    Rule("XF109", "regex-property-class", r"regex\(\) with the property class " + _ANY,
         'regex() with the property class \\p{L}: "^\\\\p{L}+$"', _BROWSER, "true · false · false"),
    Rule("XF110", "regex-repetition-without-lower-bound", r"regex\(\) with the repetition " + _ANY,
         'regex() with the repetition {,50}: "^.{,50}$"', _DIFFERENTLY, "fails · false · false"),
    # Location paths.
    Rule("XF201", "descendant-shorthand", r"the // shorthand",
         "the // shorthand (`sum(//age)`)", _TABLET, "does not open · 70 · 70"),
    Rule("XF202", "refused-axis", r"the [a-z-]+:: axis(?: with a name)?",
         "the preceding-sibling:: axis (`count(../preceding-sibling::rep)`); likewise "
         "following-sibling::, ancestor::, ancestor-or-self::, descendant::, descendant-or-self::, "
         "following::, preceding::, and self:: or parent:: with a name",
         _TABLET, "does not open · the node · the node"),
    Rule("XF203", "positional-predicate", r"the positional predicate \[\S+\]",
         "the positional predicate [2] (`/data/rep[2]/x`)", _TABLET, "(empty) · 40 · 40"),
    Rule("XF204", "path-not-in-instance", _PATH + r", which this form's instance has no node for",
         "{path}, which this form's instance has no node for (`/houshold/age >= 16`)",
         _SILENTLY, "no · no · no"),
    # Fields that repeat.
    Rule("XF301", "repeat-compared", r"comparing " + _PATH + r", which repeats",
         "comparing /data/rep/x, which repeats (`/data/rep/x = 'y'` outside the repeat)",
         _TABLET, "fails · any row · any row"),
    Rule("XF302", "repeat-compared-in-own-row",
         r"comparing " + _PATH + r", which repeats, by its absolute path inside its own repeat",
         "comparing /data/rep/a, which repeats, by its absolute path inside its own repeat "
         "(`/data/rep/a = 'yes'` in the bind of /data/rep/b, in a form that declares "
         "odk:xforms-version)",
         _DIFFERENTLY, "the current row · any row · any row"),
    Rule("XF303", "repeat-read-as-one-value", _PATH + r", which repeats, read as one value",
         "/data/rep/x, which repeats, read as one value (`concat(/data/rep/x, '!')`, "
         "`/data/rep/x + 1`, an if() branch or a whole calculation outside the repeat; likewise an "
         "argument of abs(), boolean-from-string(), contains(), count-selected(), date(), "
         "date-time(), decimal-date-time(), ends-with(), exp(), format-date(), format-date-time(), "
         "int(), jr:choice-name(), log(), log10(), normalize-space(), number(), pow(), regex(), "
         "round(), selected(), selected-at(), sqrt(), starts-with(), string(), string-length(), "
         "substr(), substring-after(), substring-before(), translate())",
         _TABLET, "fails · 3040! · 3040! (30 + 1 = 31 in arithmetic)"),
    Rule("XF304", "repeat-read-in-own-row",
         _PATH + r", which repeats, read by its absolute path inside its own repeat",
         "/data/rep/a, which repeats, read by its absolute path inside its own repeat "
         "(`/data/rep/a + 1` in the bind of /data/rep/b, with odk:xforms-version)",
         _DIFFERENTLY, "the current row · the first row · the first row"),
    # Functions.
    Rule("XF401", "last-function", r"last\(\)", "last() (`count(/data/rep[last()])`)",
         _TABLET, "fails · 1 · 1"),
    Rule("XF402", "floor-function", r"floor\(\)", "floor() (`floor(/data/n)`)",
         _TABLET, "does not open · -3 · -3"),
    Rule("XF403", "ceiling-function", r"ceiling\(\)", "ceiling() (`ceiling(/data/n)`)",
         _TABLET, "does not open · 3 · 3"),
    Rule("XF404", "substring-function", r"substring\(\)", "substring() (`substring(/data/s, 2, 3)`)",
         _TABLET, "does not open · bcd · bcd"),
    Rule("XF405", "distance-rounding", r"distance\(\)",
         "distance() (`distance(/data/trace)`), not reported inside round()",
         _DIFFERENTLY, "111.31884915136823 · 111.32 · 111.32"),
    Rule("XF406", "area-formula", r"area\(\)", "area() (`area(/data/shape)`)", _DIFFERENTLY,
         "1.2390941584836643E10 · 12391256135.81 · 12391256135.81"),
    *(Rule(f"XF{407 + number}", f"{name}-missing-in-enketo", re.escape(name) + r"\(\)",
           f"{name}() ({_ENKETO_ENGINES[name][0]})", _BROWSER, _ENKETO_ENGINES[name][1])
      for number, name in enumerate(_NOT_IN_ENKETO)),
    Rule("XF412", "boolean-from-string-casing", r"boolean-from-string\(" + _ANY + r"\)",
         'boolean-from-string("True") (`if(boolean-from-string(\'True\'), 1, 0)`)',
         _DIFFERENTLY, "1 · 0 · 0"),
    # Values.
    Rule("XF501", "negated-path", r"a minus sign in front of a path, call or bracket",
         "a minus sign in front of a path, call or bracket (`-/data/n`, `-int(-/data/n)`)",
         _BROWSER, "-2.5 · does not open · -2.5"),
    Rule("XF502", "stored-boolean", r"a calculation that stores a boolean",
         "a calculation that stores a boolean (`/data/age >= 18`, in a bind without a type or "
         "of type string)", _DIFFERENTLY, "1 · true · true"),
    Rule("XF503", "date-as-text", r"the date written as text " + _ANY,
         "the date written as text \"2020-01-01\" (`. > '2020-01-01'`, `'2020-01-31' - /data/n`)",
         _DIFFERENTLY, "false · true · true; (empty) · 18291 · 18291"),
    # Rules tolvar could not read.
    Rule("XF601", "nested-too-deep", r"an expression nested deeper than \d+ levels",
         "an expression nested deeper than 256 levels (257 brackets around `/data/a = 'x'`)",
         _SILENTLY, "true · true · true"),
)

# Not the checker's: a warning pyxform gave while converting an XLSForm.
XLSFORM_WARNING = Rule("XF001", "xlsform-warning", r"(?!)", "a warning pyxform gave while "
                       "converting an XLSForm", "—", "—")

ALL_RULES: tuple[Rule, ...] = (XLSFORM_WARNING, *RULES)
_BY_CODE = {rule.code: rule for rule in ALL_RULES}


def rule_of(finding: Mapping[str, Any]) -> Rule:
    """The rule whose construct the finding names."""
    for rule in RULES:
        if rule.matches(finding["construct"]):
            return rule
    raise LookupError(f"no rule code for the construct {finding['construct']!r}")


def with_code(finding: Mapping[str, Any]) -> dict[str, Any]:
    """The finding's dict with its rule's code and name in front."""
    rule = rule_of(finding)
    return {"code": rule.code, "name": rule.name, **finding}


class CodeFilter:
    """Which codes a run reports: those selected (all by default) and not ignored.

    Each entry is a code or the start of one ("XF1" for every regex rule),
    like the selectors of the linters users know.
    """

    def __init__(self, select: Iterable[str] | None, ignore: Iterable[str] | None) -> None:
        self._select = tuple(select) if select is not None else ("XF",)
        self._ignore = tuple(ignore or ())

    def reports(self, code: str) -> bool:
        return code.startswith(self._select) and not code.startswith(self._ignore)


def unknown_selectors(selectors: Iterable[str]) -> list[str]:
    """The selectors that name no code, so a typing slip is not a silent no-op."""
    return [selector for selector in selectors
            if not any(code.startswith(selector) for code in _BY_CODE)]


def parse_selectors(text: str) -> list[str]:
    """"XF101, XF2" as a command line or a bind attribute writes it."""
    return [part.strip().upper() for part in text.split(",") if part.strip()]
