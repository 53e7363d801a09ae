"""Benchmark inputs, made at run time from a fixed seed: the same bytes on every run.

A household survey with one repeat ("row"): sixteen answers per row and twenty
check questions r01..r20, each carrying one of the twenty rules below. Every
rule reads only its own row, so judging cost grows linearly with the rows.
"""

from __future__ import annotations

import random
from dataclasses import dataclass

# (kind, rule). Each rule is written from its check question, so "../age"
# is the row's age, as a bind's rule sees it.
RULES: list[tuple[str, str]] = [
    ("constraint", "../age >= 0 and ../age < 120"),
    ("relevant", "../consent = 'yes'"),
    ("constraint", "string-length(../name) > 2"),
    ("constraint", "regex(../phone, '^[0-9]{10}$')"),
    ("relevant", "selected(../symptoms, 'fever')"),
    ("constraint", "count-selected(../symptoms) <= 3"),
    ("calculate", "if(../age < 5, 'child', 'adult')"),
    ("calculate", "../price * ../qty"),
    ("calculate", "concat(../name, ' (', ../sex, ')')"),
    ("constraint", "round(../weight div ((../height div 100) * (../height div 100)), 1) < 60"),
    ("constraint", "not(selected(../symptoms, 'none') and count-selected(../symptoms) > 1)"),
    ("constraint", "format-date(../dob, '%Y') >= 1900"),
    ("calculate", "coalesce(../amount, 0) + 1"),
    ("constraint", "not(contains(../notes, 'urgent')) or starts-with(../notes, 'call')"),
    ("constraint", "substring(../name, 1, 3) != 'zzz'"),
    ("required", "../sex = 'female' and ../age >= 12 and ../age <= 50"),
    ("calculate", "floor(../age div 10) * 10"),
    ("constraint", "normalize-space(../notes) != ''"),
    ("constraint", "translate(../phone, '0123456789', '') = ''"),
    ("constraint", "../amount > 0 and ../amount <= 10000"),
]

CHECKS = [f"r{i + 1:02d}" for i in range(len(RULES))]
ANSWERS = ["name", "sex", "age", "dob", "height", "weight", "price", "qty", "consent",
           "phone", "symptoms", "notes", "start", "end", "amount", "flag"]

_FIRST = ["Amina", "Bola", "Chidi", "Dara", "Efua", "Femi", "Gift", "Hauwa", "Ike", "Jide",
          "Kemi", "Lami", "Musa", "Ngozi", "Obi", "Ronke", "Sade", "Tunde", "Uche", "Zainab"]
_SYMPTOMS = ["fever", "cough", "rash", "headache", "vomiting"]
_NOTES = ["call back after harvest", "urgent: clinic visit", "no concerns & well",
          "caregiver said \"later\"", "  spaced   out  text "]


def _escape(text: str) -> str:
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def _answers(rng: random.Random) -> dict[str, str]:
    age = rng.randrange(0, 95) if rng.random() > 0.03 else 130  # a few break a constraint
    symptoms = rng.sample(_SYMPTOMS, rng.randrange(0, 4)) if rng.random() > 0.1 else ["none"]
    return {
        "name": f"{rng.choice(_FIRST)} {rng.choice(_FIRST)}",
        "sex": rng.choice(["male", "female"]),
        "age": str(age),
        "dob": f"{2024 - age:04d}-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d}",
        "height": str(rng.randrange(140, 200)),
        "weight": f"{rng.randrange(400, 1100) / 10:.1f}",
        "price": str(rng.randrange(1, 500)),
        "qty": str(rng.randrange(1, 20)),
        "consent": rng.choice(["yes", "yes", "no"]),
        "phone": "".join(rng.choice("0123456789") for _ in range(10)),
        "symptoms": " ".join(symptoms),
        "notes": rng.choice(_NOTES),
        "start": "2024-05-01T08:00:00.000+01:00",
        "end": "2024-05-01T08:20:00.000+01:00",
        "amount": str(rng.randrange(1, 10200)),
        "flag": rng.choice(["true", "false"]),
    }


def _stored_checks(answers: dict[str, str]) -> list[str]:
    """What each check question holds: the calculated value where a rule
    calculates one (so most rows are clean), "1" elsewhere."""
    age = int(answers["age"])
    calculated = {
        6: "child" if age < 5 else "adult",
        7: str(int(answers["price"]) * int(answers["qty"])),
        8: f"{answers['name']} ({answers['sex']})",
        12: str(int(answers["amount"]) + 1),
        16: str(age // 10 * 10),
    }
    return [calculated.get(i, "1") for i in range(len(RULES))]


def _row(rng: random.Random) -> str:
    answers = _answers(rng)
    parts = ["<row>"]
    for name in ANSWERS:
        value = answers[name]
        parts.append(f"<{name}>{_escape(value)}</{name}>" if value else f"<{name}/>")
    for name, value in zip(CHECKS, _stored_checks(answers)):
        parts.append(f"<{name}>{_escape(value)}</{name}>")
    parts.append("</row>")
    return "".join(parts)


def _header(rows_hint: int) -> str:
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<data xmlns:jr="http://openrosa.org/javarosa" xmlns:orx="http://openrosa.org/xforms" '
        f'id="household_visits" version="2024050101" rows="{rows_hint}">'
        "<start>2024-05-01T08:00:00.000+01:00</start><end>2024-05-01T09:00:00.000+01:00</end>"
        "<today>2024-05-01</today><deviceid>collect:Xk3PqA9mZt</deviceid>"
    )


_FOOTER = ("<meta><instanceID>uuid:2f0c8c9e-4b1a-4d8e-9a57-1b2c3d4e5f60</instanceID></meta>"
           "</data>\n")


def submission(rows: int, seed: int = 9) -> str:
    """A submission with `rows` repeat rows."""
    rng = random.Random(seed)
    body = "\n".join(_row(rng) for _ in range(rows))
    return _header(rows) + "\n" + body + "\n" + _FOOTER


def submission_of_size(size: int, seed: int = 9) -> str:
    """A submission of about `size` bytes (rows are added until it is reached)."""
    rng = random.Random(seed)
    pieces = []
    total = 0
    while total < size:
        row = _row(rng)
        pieces.append(row)
        total += len(row) + 1
    return _header(len(pieces)) + "\n" + "\n".join(pieces) + "\n" + _FOOTER


def _bind(path: str, kind: str, rule: str) -> str:
    return f'<bind nodeset="{path}" type="string" {kind}="{_escape(rule)}"/>'


def form(rows: int = 0, seed: int = 9, checks: set[str] | None = None) -> str:
    """The survey form: one bind per rule (of the `checks` questions only, when
    given); the primary instance holds the template row followed by `rows`
    filled rows."""
    rng = random.Random(seed)
    empty_row = "".join(f"<{name}/>" for name in ANSWERS + CHECKS)
    filled = "".join(_row(rng) for _ in range(rows))
    binds = []
    for name, (kind, rule) in zip(CHECKS, RULES):
        if checks is None or name in checks:
            binds.append(_bind(f"/data/row/{name}", kind, rule))
    controls = "".join(
        f'<input ref="/data/row/{name}"><label>{name}</label></input>' for name in ANSWERS)
    return (
        '<?xml version="1.0"?>\n'
        '<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml" '
        'xmlns:jr="http://openrosa.org/javarosa">'
        "<h:head><h:title>Household visits</h:title><model>"
        '<instance><data id="household_visits" version="2024050101">'
        "<start/><end/><today/><deviceid/>"
        f'<row jr:template="">{empty_row}</row>{filled}'
        "<meta><instanceID/></meta></data></instance>"
        + "".join(binds)
        + "</model></h:head><h:body>"
        f'<repeat nodeset="/data/row">{controls}</repeat>'
        "</h:body></h:html>\n"
    )


@dataclass(frozen=True)
class RuleCase:
    kind: str
    rule: str
    check: str  # the question the rule is bound to


def rule_cases() -> list[RuleCase]:
    return [RuleCase(kind, rule, check) for check, (kind, rule) in zip(CHECKS, RULES)]
