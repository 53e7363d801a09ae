"""The judge's engine-dependent behaviour: dates, stored booleans, repeats.

Each row is a form filled in on every engine. Where the engines agree, the
submission they would send is judged by tolvar, which must find what they
found (a constraint broken, a required answer missing) and nothing else, and
eval_expression must give the value they calculated. Where they disagree,
tolvar must not take either side: the rule is "not-evaluated".
"""

from __future__ import annotations

import datetime
from dataclasses import dataclass, field

import pytest
import tolvar

from cases import ENGINES, FAILS, calculated, constrained, matches
from forms import Form, submission

TODAY = datetime.date.today()
DOB, VISIT = "1994-02-11", "2024-05-06"
DATES = {"dob": "date", "visit": "date"}
FILLED = {"/data/dob": DOB, "/data/visit": VISIT}
AGE = int((TODAY - datetime.date(1994, 2, 11)).days / 365.25)
ROWS = Form(instance="<rep jr:template=''><a/><age/><b/></rep><out/>",
            binds={"/data/rep/b": {"relevant": "../a = 'yes'", "required": "true()"},
                   "/data/rep/age": {"type": "int"},
                   "/data/out": {"calculate": "sum(/data/rep/age)"}},
            repeats=("/data/rep",))
ROW_ANSWERS = {"/data/rep[1]/a": "yes", "/data/rep[1]/age": "30",
               "/data/rep[2]/a": "no", "/data/rep[2]/age": "40"}


@dataclass(frozen=True)
class Judged:
    name: str
    form: Form
    probe: str
    what: str
    engines: dict[str, str]
    answers: dict[str, str] = field(default_factory=dict)
    repeats: dict[str, int] = field(default_factory=dict)
    expression: str | None = None  # what /data/out calculates, for eval_expression
    stored: tuple[str, ...] = ()  # what the engines store for one value: each is clean

    def __str__(self) -> str:
        return self.name


def dated(expression: str) -> Form:
    return calculated(expression, "<dob/><visit/>", DATES)


CASES = [
    Judged("date not after today", constrained(". <= today()", "date"), "/data/x", "valid",
           dict.fromkeys(ENGINES, "true"), {"/data/x": DOB}),
    Judged("date after another date field", constrained(". >= /data/dob", "date", "<dob/>",
                                                        {"dob": "date"}),
           "/data/x", "valid", dict.fromkeys(ENGINES, "true"), {"/data/dob": DOB, "/data/x": VISIT}),
    Judged("date before another date field", constrained(". < /data/dob", "date", "<dob/>",
                                                         {"dob": "date"}),
           "/data/x", "valid", dict.fromkeys(ENGINES, "false"), {"/data/dob": DOB, "/data/x": VISIT}),
    Judged("days between two dates", dated("/data/visit - /data/dob"), "/data/out", "value",
           dict.fromkeys(ENGINES, "11042"), FILLED, expression="/data/visit - /data/dob"),
    Judged("age in years from today", dated("int((today() - /data/dob) div 365.25)"),
           "/data/out", "value", dict.fromkeys(ENGINES, str(AGE)), FILLED,
           expression="int((today() - /data/dob) div 365.25)"),
    Judged("decimal-date-time() of a date", dated("decimal-date-time(/data/visit)"), "/data/out",
           "value", dict.fromkeys(ENGINES, "19849"), FILLED,
           expression="decimal-date-time(/data/visit)"),
    Judged("comparison of two date fields", dated("if(/data/dob <= /data/visit, 'yes', 'no')"),
           "/data/out", "value", dict.fromkeys(ENGINES, "yes"), FILLED,
           expression="if(/data/dob <= /data/visit, 'yes', 'no')"),
    Judged("date compared with a date string literal", constrained(". > '2020-01-01'", "date"),
           "/data/x", "valid", {"JavaRosa": "false", "Enketo": "true", "Web Forms": "true"},
           {"/data/x": VISIT}),
    Judged("days added to a date, stored in a date field",
           calculated("/data/visit + 28", "<visit/>", {"visit": "date"}, out_type="date"),
           "/data/out", "value", {"JavaRosa": "19877", "Enketo": "19877", "Web Forms": ""},
           {"/data/visit": VISIT}, stored=("19877", "2024-06-03")),
    Judged("calculated comparison stored", calculated("/data/n >= 18", "<n/>", {"n": "int"}),
           "/data/out", "value", {"JavaRosa": "1", "Enketo": "true", "Web Forms": "true"},
           {"/data/n": "30"}, stored=("1", "true")),
    Judged("relevance from the row's own field", ROWS, "/data/rep[2]/b", "relevant",
           dict.fromkeys(ENGINES, "false"), ROW_ANSWERS, {"/data/rep": 2}),
    Judged("required in a relevant row", ROWS, "/data/rep[1]/b", "required",
           dict.fromkeys(ENGINES, "true"), ROW_ANSWERS, {"/data/rep": 2}),
    Judged("sum over the rows", ROWS, "/data/out", "value", dict.fromkeys(ENGINES, "70"),
           ROW_ANSWERS, {"/data/rep": 2}, expression="sum(/data/rep/age)"),
]


def agreed(runs: dict) -> dict[str, str] | None:
    """The instance every engine would submit, when they agree on every value."""
    values = [{p: s["value"] for p, s in run.nodes.items()} for run in runs.values()]
    return values[0] if all(v == values[0] for v in values) else None


def expected_findings(runs: dict) -> set[tuple[str, str]]:
    """(path, kind) of each constraint or required finding all engines agree on."""
    found = set()
    for path, state in next(iter(runs.values())).nodes.items():
        states = [run.nodes.get(path) for run in runs.values()]
        if not all(s is not None for s in states):
            continue
        if all(s["relevant"] and not s["valid"] for s in states):
            found.add((path, "constraint"))
        if all(s["relevant"] and s["required"] and s["value"] == "" for s in states):
            found.add((path, "required"))
    return found


@pytest.fixture(scope="module")
def runs(engines):
    return {case.name: {name: engines[name].run_form(case.form.xml(), case.answers, case.repeats)
                        for name in ENGINES}
            for case in CASES}


@pytest.mark.parametrize("case", CASES, ids=str)
def test_engine_facts(runs, report, case):
    seen = {name: run.observe(case.probe, case.what) for name, run in runs[case.name].items()}
    unanimous = len(set(seen.values())) == 1
    report.add("Judge", case.name, seen, None, "engines agree" if unanimous else "engines differ")
    assert {n: s for n, s in seen.items() if not matches(case.engines[n], s)} == {}
    assert not any(matches(FAILS, s) for s in seen.values())


@pytest.mark.parametrize("case", CASES, ids=str)
def test_judge_agrees_with_the_engines(runs, case):
    engine_runs = runs[case.name]
    seen = {run.observe(case.probe, case.what) for run in engine_runs.values()}
    values = agreed(engine_runs) or {p: s["value"] for p, s in engine_runs["JavaRosa"].nodes.items()}
    findings = tolvar.submission_findings(case.form.xml(), submission(values, case.form),
                                          today=TODAY.isoformat())
    at_probe = {f["kind"] for f in findings if f["path"] == case.probe}
    if len(seen) > 1:
        if not case.stored:
            assert at_probe == {"not-evaluated"}, findings
        return
    expected = expected_findings(engine_runs)
    assert {(f["path"], f["kind"]) for f in findings} == expected


@pytest.mark.parametrize("case", [c for c in CASES if c.stored], ids=str)
def test_what_either_engine_stores_is_clean(runs, case):
    """Where the engines store different texts for one value, each is clean."""
    for value in case.stored:
        values = {p: s["value"] for p, s in runs[case.name]["JavaRosa"].nodes.items()}
        values[case.probe] = value
        findings = tolvar.submission_findings(case.form.xml(), submission(values, case.form),
                                              today=TODAY.isoformat())
        assert findings == [], value


@pytest.mark.parametrize("case", [c for c in CASES if c.expression], ids=str)
def test_eval_expression_gives_the_engines_value(runs, case):
    values = agreed(runs[case.name])
    assert values is not None
    assert tolvar.eval_expression(case.expression, submission(values, case.form),
                                  today=TODAY.isoformat()) == values[case.probe]
