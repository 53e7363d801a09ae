"""The ways `tolvar check` writes its findings: text, json, github and sarif.

Each finding arrives as the module's dict with its rule's "code" and "name"
in front; a converted XLSForm's warnings arrive beside them.
"""
from __future__ import annotations

import dataclasses
import json
import sys
from itertools import groupby
from operator import itemgetter
from pathlib import Path
from typing import Any, TextIO

from tolvar_cli.codes import XLSFORM_WARNING
from tolvar_cli.locate import Places
from tolvar_cli.output import plural
from tolvar_cli.workflow import workflow_command

# A finding with its code, as check_form gives it otherwise.
Coded = dict[str, Any]


@dataclasses.dataclass
class CheckTally:
    forms: int = 0
    travelling: int = 0
    with_findings: int = 0
    findings: int = 0
    unreadable: int = 0

    def summary(self) -> str:
        parts = []
        if self.travelling:
            parts.append(f"{self.travelling} travel{'s' if self.travelling == 1 else ''}")
        if self.with_findings:
            parts.append(f"{self.with_findings} with {plural(self.findings, 'finding')}")
        text = f"checked {plural(self.forms, 'form')}" + (": " + ", ".join(parts) if parts else "")
        if self.unreadable:
            text += f"; {plural(self.unreadable, 'input')} could not be read"
        return text


class CheckReport:
    """Writes each form's findings as they come, and the summary at the end."""

    def __init__(self, out: TextIO) -> None:
        self.out = out

    def form(self, path: Path, findings: list[Coded], places: Places | None,
             warnings: list[str]) -> None:
        raise NotImplementedError

    def error(self, path: Path, message: str) -> None:
        """The command has already said it on standard error."""

    def finish(self, tally: CheckTally) -> None:
        print(tally.summary(), file=sys.stderr)


class TextReport(CheckReport):
    """For a reader: the form, then per bind each rule and what is wrong with it."""

    def form(self, path: Path, findings: list[Coded], places: Places | None,
             warnings: list[str]) -> None:
        if not findings and not warnings:
            self.out.write(f"{path}: travels\n")
            return
        self.out.write(f"{path}: {plural(len(findings) + len(warnings), 'finding')}\n")
        for warning in warnings:
            self.out.write(f"  {XLSFORM_WARNING.code} {XLSFORM_WARNING.name}: {warning}\n")
        for target, in_bind in groupby(findings, key=itemgetter("path")):
            heading = places.heading(target) if places else None
            self.out.write(f"  {target}" + (f" ({heading})" if heading else "") + "\n")
            for (rule, expression), in_rule in groupby(in_bind, key=itemgetter("rule", "expression")):
                written = places.written(target, rule, expression) if places else expression
                self.out.write(f"    {rule}: {written}\n")
                for finding in in_rule:
                    self._finding(finding)
        self.out.write("\n")

    def _finding(self, finding: Coded) -> None:
        self.out.write(f"      {finding['code']} {finding['name']}: {finding['construct']}\n"
                       f"        breaks:  {finding['breaks']}\n"
                       f"        effect:  {finding['effect']}\n")
        if finding["suggestion"] is not None:
            self.out.write(f"        instead: {finding['suggestion']}\n")

    def finish(self, tally: CheckTally) -> None:
        self.out.write(tally.summary() + "\n")


class JsonReport(CheckReport):
    """One JSON document: each form's path to its findings as check_form returns them, each
    with its code and name; a converted XLSForm's warnings as findings holding only those
    and what pyxform says."""

    def __init__(self, out: TextIO) -> None:
        super().__init__(out)
        self._forms: dict[str, list[Coded]] = {}

    def form(self, path: Path, findings: list[Coded], places: Places | None,
             warnings: list[str]) -> None:
        self._forms[str(path)] = [*map(warning_finding, warnings), *findings]

    def finish(self, tally: CheckTally) -> None:
        json.dump(self._forms, self.out, ensure_ascii=False, indent=2)
        self.out.write("\n")
        super().finish(tally)


class GithubReport(CheckReport):
    """Workflow commands, which a CI run turns into review comments on the form's lines."""

    def form(self, path: Path, findings: list[Coded], places: Places | None,
             warnings: list[str]) -> None:
        for warning in map(warning_finding, warnings):
            self.out.write(workflow_command("warning", {"file": str(path), "title": title(warning)},
                                            warning["says"]))
        for finding in findings:
            position, message = locate(finding, places)
            line, column = position or (None, None)
            properties = {"file": str(path), "line": line, "col": column, "title": title(finding)}
            self.out.write(workflow_command("warning", properties, message))

    def error(self, path: Path, message: str) -> None:
        self.out.write(workflow_command("error", {"file": str(path)}, message))


def warning_finding(message: str) -> Coded:
    return {"code": XLSFORM_WARNING.code, "name": XLSFORM_WARNING.name, "says": message}


def locate(finding: Coded, places: Places | None) -> tuple[tuple[int, int] | None, str]:
    """The line and column of the finding's rule, and its message: led by the survey row
    where the form has no lines to point at."""
    target = finding["path"]
    position = places.position(target, finding["rule"]) if places else None
    heading = places.heading(target) if places and not position else None
    return position, f"{heading}: {finding['says']}" if heading else finding["says"]


def title(finding: Coded) -> str:
    return f"{finding['code']} {finding['name']}"
