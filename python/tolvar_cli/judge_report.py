"""The ways `tolvar judge` writes its findings: text, json, csv and github."""
from __future__ import annotations

import collections
import csv
import dataclasses
import json
import sys
from pathlib import Path
from typing import TYPE_CHECKING, TextIO

from tolvar_cli.output import plural
from tolvar_cli.workflow import workflow_command

if TYPE_CHECKING:
    from tolvar import SubmissionFinding

# The order kinds are summarised in, whatever order they were met.
KINDS = ("constraint", "required", "calculation", "not-evaluated")


@dataclasses.dataclass
class JudgeTally:
    clean: int = 0
    with_findings: int = 0
    unjudged: int = 0
    kinds: collections.Counter[str] = dataclasses.field(default_factory=collections.Counter)

    @property
    def findings(self) -> int:
        return sum(self.kinds.values())

    def findings_of(self, kinds: list[str]) -> int:
        return sum(self.kinds[kind] for kind in kinds)

    def add(self, findings: list[SubmissionFinding]) -> None:
        if findings:
            self.with_findings += 1
            self.kinds.update(finding["kind"] for finding in findings)
        else:
            self.clean += 1

    def summary(self) -> str:
        judged = self.clean + self.with_findings
        text = (f"judged {plural(judged, 'submission')}: "
                f"{self.clean} clean, {self.with_findings} with findings")
        if self.kinds:
            order = [*KINDS, *sorted(set(self.kinds) - set(KINDS))]
            counts = (f"{self.kinds[kind]} {kind}" for kind in order if self.kinds[kind])
            text += " (" + ", ".join(counts) + ")"
        if self.unjudged:
            text += f"; {plural(self.unjudged, 'input')} could not be judged"
        return text


class JudgeReport:
    """Writes each submission's findings as they come, and the summary at the end."""

    def __init__(self, out: TextIO) -> None:
        self.out = out

    def submission(self, path: Path, findings: list[SubmissionFinding]) -> None:
        raise NotImplementedError

    def finish(self, tally: JudgeTally) -> None:
        # Machine-readable output stays pure; the people watching read stderr.
        print(tally.summary(), file=sys.stderr)


class TextReport(JudgeReport):
    """Each submission and its findings, except that a not-evaluated cause met before (the
    instanceID's uuid() in every submission) is only counted, and told once with its count at
    the end."""

    _WIDTH = max(len(kind) for kind in KINDS)

    def __init__(self, out: TextIO) -> None:
        super().__init__(out)
        self._causes: collections.Counter[str] = collections.Counter()

    def submission(self, path: Path, findings: list[SubmissionFinding]) -> None:
        if not findings:
            self.out.write(f"{path}: no findings\n")
            return
        shown = [finding for finding in findings if not self._seen_before(finding)]
        folded = len(findings) - len(shown)
        self.out.write(f"{path}: {plural(len(findings), 'finding')}"
                       + (f", {folded} not-evaluated as before" if folded else "") + "\n")
        for finding in shown:
            self.out.write(f"  {finding['kind']:<{self._WIDTH}}  {finding['says']}\n")

    def finish(self, tally: JudgeTally) -> None:
        for cause, count in self._causes.items():
            if count > 1:
                self.out.write(f"{'not-evaluated':<{self._WIDTH}}  in {count} submissions: {cause}\n")
        self.out.write(tally.summary() + "\n")

    def _seen_before(self, finding: SubmissionFinding) -> bool:
        if finding["kind"] != "not-evaluated":
            return False
        self._causes[finding["says"]] += 1
        return self._causes[finding["says"]] > 1


class JsonReport(JudgeReport):
    """One JSON object per line and finding: the finding's dict with the submission's path first."""

    def submission(self, path: Path, findings: list[SubmissionFinding]) -> None:
        for finding in findings:
            self.out.write(json.dumps({"submission": str(path), **finding}, ensure_ascii=False) + "\n")


class CsvReport(JudgeReport):
    FIELDS = ("submission", "path", "kind", "says")

    def __init__(self, out: TextIO) -> None:
        super().__init__(out)
        self._writer = csv.writer(out, lineterminator="\n")
        self._writer.writerow(self.FIELDS)

    def submission(self, path: Path, findings: list[SubmissionFinding]) -> None:
        for finding in findings:
            self._writer.writerow((str(path), finding["path"], finding["kind"], finding["says"]))


class GithubReport(JudgeReport):
    """Workflow annotations on each submission's file, titled by the finding's kind."""

    def submission(self, path: Path, findings: list[SubmissionFinding]) -> None:
        for finding in findings:
            level = "notice" if finding["kind"] == "not-evaluated" else "warning"
            self.out.write(workflow_command(level, {"file": str(path), "title": finding["kind"]},
                                            finding["says"]))


REPORTS: dict[str, type[JudgeReport]] = {"text": TextReport, "json": JsonReport, "csv": CsvReport,
                                         "github": GithubReport}
