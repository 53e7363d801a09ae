"""`tolvar check --format sarif`: SARIF 2.1.0, the log code-scanning services read."""
from __future__ import annotations

import json
import urllib.parse
from pathlib import Path
from typing import Any, TextIO

import tolvar

from tolvar_cli.check_report import CheckReport, CheckTally, Coded, locate, warning_finding
from tolvar_cli.codes import ALL_RULES
from tolvar_cli.locate import Places

_SCHEMA = "https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json"
_RULE_INDEX = {rule.code: index for index, rule in enumerate(ALL_RULES)}


class SarifReport(CheckReport):
    """One log with one run: every rule tolvar has, each finding as a result, and each
    unreadable input as a notification of a run that did not succeed."""

    def __init__(self, out: TextIO) -> None:
        super().__init__(out)
        self._results: list[dict[str, Any]] = []
        self._notifications: list[dict[str, Any]] = []

    def form(self, path: Path, findings: list[Coded], places: Places | None,
             warnings: list[str]) -> None:
        for warning in map(warning_finding, warnings):
            self._results.append(_result(warning, _location(path, None), warning["says"]))
        for finding in findings:
            position, message = locate(finding, places)
            self._results.append(_result(finding, _location(path, position), message))

    def error(self, path: Path, message: str) -> None:
        self._notifications.append({"level": "error", "message": {"text": message},
                                    "locations": [_location(path, None)]})

    def finish(self, tally: CheckTally) -> None:
        log = {"$schema": _SCHEMA, "version": "2.1.0", "runs": [self._run()]}
        json.dump(log, self.out, ensure_ascii=False, indent=2)
        self.out.write("\n")
        super().finish(tally)

    def _run(self) -> dict[str, Any]:
        driver = {"name": "tolvar", "version": tolvar.__version__, "rules": [
            {"id": rule.code, "name": rule.name, "shortDescription": {"text": rule.construct},
             "properties": {"breaks": rule.breaks, "engines": rule.engines}}
            for rule in ALL_RULES]}
        invocation = {"executionSuccessful": not self._notifications,
                      "toolExecutionNotifications": self._notifications}
        return {"tool": {"driver": driver}, "invocations": [invocation], "results": self._results}


def _result(finding: Coded, location: dict[str, Any], message: str) -> dict[str, Any]:
    return {"ruleId": finding["code"], "ruleIndex": _RULE_INDEX[finding["code"]],
            "level": "warning", "message": {"text": message}, "locations": [location]}


def _location(path: Path, position: tuple[int, int] | None) -> dict[str, Any]:
    # A relative reference, so the service resolves it against the checkout.
    physical: dict[str, Any] = {"artifactLocation": {"uri": urllib.parse.quote(path.as_posix())}}
    if position:
        physical["region"] = {"startLine": position[0], "startColumn": position[1]}
    return {"physicalLocation": physical}
