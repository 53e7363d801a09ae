"""The type stubs: they match the module, and a typed program using every call passes mypy --strict.

The tests that call the module are written as a user of the stubs would
write them, with annotated types; mypy checks this very file.
"""
from __future__ import annotations

import ast
import os
import pathlib
import subprocess
import sys
from typing import TYPE_CHECKING

import pytest

import tolvar

if TYPE_CHECKING:
    from tolvar import Choice, PortabilityFinding, RecomputeResult, SubmissionFinding

STUB = pathlib.Path(tolvar.__file__).parent / "tolvar-stubs" / "__init__.pyi"
CLI_PACKAGE = pathlib.Path(__file__).resolve().parents[2] / "python" / "tolvar_cli"

FORM = """<h:html xmlns:h="h" xmlns:jr="jr"><h:head><model>
  <instance><data id="typed"><age/><phone/><twice/><district/><person jr:template=""><name/></person></data></instance>
  <instance id="districts"><root><item><code>n</code><label>North</label></item></root></instance>
  <bind nodeset="/data/age" required="true()"/>
  <bind nodeset="/data/phone" constraint="regex(., '[0-9]{10}')"/>
  <bind nodeset="/data/twice" calculate="/data/age * 2"/>
</model></h:head><h:body>
  <select1 ref="/data/district"><itemset nodeset="instance('districts')/root/item">
    <value ref="code"/><label ref="label"/></itemset></select1>
  <repeat nodeset="/data/person"><input ref="/data/person/name"/></repeat>
</h:body></h:html>"""
SUBMISSION = "<data id='typed'><age/><phone>call me</phone><twice>4</twice></data>"


def test_check_form_findings_are_typed() -> None:
    findings: list[PortabilityFinding] = tolvar.check_form(FORM)
    suggestion: str | None = findings[0]["suggestion"]
    assert findings[0]["breaks"] == "both, differently"
    assert findings[0]["rule"] == "constraint"
    assert suggestion == "'^(?:[0-9]{10})$'"


def test_submission_findings_are_typed() -> None:
    findings: list[SubmissionFinding] = tolvar.submission_findings(FORM, SUBMISSION, today=None, now="x")
    kinds = [finding["kind"] for finding in findings]
    assert kinds == ["calculation", "required", "constraint"]


def test_eval_expression_gives_text() -> None:
    value: str = tolvar.eval_expression("string-length(/data/phone)", SUBMISSION, "2024-05-06")
    assert value == "7"


def test_session_methods_are_typed() -> None:
    session = tolvar.Session(FORM, instance=None, today="2024-05-06", now=None)
    session.set("/data/age", "3")
    rows: int = session.add_row("/data/person")
    assert session.add_row("/data/person") == rows + 1
    assert session.remove_row("/data/person", True) == rows
    result: RecomputeResult = session.recompute()
    assert result["calculated"] == {"/data/twice": "6"}
    assert result["repeats"] == {"/data/person": 1}
    choices: list[Choice] | None = session.choices("/data/district")
    assert choices == [{"value": "n", "label": "North"}]
    answer: str = session.get("/data/twice")
    xml: str = session.instance_xml()
    assert answer in xml
    assert tolvar.__version__ in repr(tolvar.__version__)


def _typed_dict_keys(name: str) -> list[str]:
    for node in ast.parse(STUB.read_text()).body:
        if isinstance(node, ast.ClassDef) and node.name == name:
            return [item.target.id for item in node.body
                    if isinstance(item, ast.AnnAssign) and isinstance(item.target, ast.Name)]
    raise LookupError(name)


def test_typed_dicts_list_the_keys_the_module_returns_in_order() -> None:
    session = tolvar.Session(FORM)
    returned = {
        "PortabilityFinding": tolvar.check_form(FORM)[0],
        "SubmissionFinding": tolvar.submission_findings(FORM, SUBMISSION)[0],
        "RecomputeResult": session.recompute(),
        "Choice": (session.choices("/data/district") or [])[0],
    }
    for name, value in returned.items():
        assert _typed_dict_keys(name) == list(value), name


def _mypy(module: str, *arguments: str, cwd: pathlib.Path | None = None) -> subprocess.CompletedProcess[str]:
    pytest.importorskip("mypy")
    # No cache, so nothing is left behind in the working tree (stubtest
    # ignores the setting, and is run elsewhere).
    return subprocess.run([sys.executable, "-m", module, *arguments], capture_output=True, text=True,
                          check=False, cwd=cwd, env={**os.environ, "MYPY_CACHE_DIR": os.devnull})


def test_this_file_and_the_command_pass_mypy_strict() -> None:
    result = _mypy("mypy", "--strict", __file__, str(CLI_PACKAGE))
    assert result.returncode == 0, result.stdout


# Each line is a mistake the stubs must catch, with the error mypy gives.
MISUSES = [
    ('tolvar.check_form(b"<data/>")', "arg-type"),
    ('tolvar.check_form("f.xml")[0]["kind"]', "typeddict-item"),
    ('tolvar.submission_findings("f", "s")[0]["kind"] == "constraints"', "comparison-overlap"),
    ('tolvar.eval_expression("1", "s", today=5)', "arg-type"),
    ('len(tolvar.eval_expression("1", "s", "t", "n", "extra"))', "call-arg"),
    ('tolvar.Session("f").remove_row("/data/r", "1")', "arg-type"),
    ('tolvar.Session("f").recompute()["failed"][0][0] + 1', "operator"),
    ('(tolvar.Session("f").choices("/q") or [])[0]["text"]', "typeddict-item"),
    ('len(tolvar.Session("f").choices("/q"))', "arg-type"),
    ('class Mine(tolvar.Session): pass', "misc"),
    ('tolvar.Form("f", attachments={"a.csv": 5})', "dict-item"),
]


def test_mypy_catches_misuse(tmp_path: pathlib.Path) -> None:
    program = tmp_path / "misuse.py"
    program.write_text("import tolvar\n" + "".join(f"{line}\n" for line, _ in MISUSES))
    reported = _mypy("mypy", "--strict", str(program)).stdout.splitlines()
    for number, (line, code) in enumerate(MISUSES, start=2):
        expected = f"{program}:{number}: error:"
        assert any(text.startswith(expected) and text.endswith(f"[{code}]") for text in reported), line


def test_stubs_agree_with_the_runtime_module(tmp_path: pathlib.Path) -> None:
    # Names that exist for type checkers only.
    allowlist = tmp_path / "allowlist.txt"
    allowlist.write_text("".join(f"tolvar.{name}\n" for name in (
        "Breaks", "Rule", "FindingKind", "Attachments", "PortabilityFinding", "SubmissionFinding", "RecomputeResult",
            "Choice")))
    result = _mypy("mypy.stubtest", "tolvar", "--allowlist", str(allowlist), cwd=tmp_path)
    assert result.returncode == 0, result.stdout
