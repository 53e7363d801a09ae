"""The ways `tolvar judge` writes its findings: text, json, csv and github."""
from __future__ import annotations

import collections
import io
import sys

from tolvar_cli import TYPE_CHECKING
from tolvar_cli.output import plural
from tolvar_cli.workflow import workflow_command

if TYPE_CHECKING:
    from typing import TypeAlias

    from tolvar import SubmissionFinding
    from tolvar_cli.block_output import Writer

# What stands for one submission in a report until it is written: text, or
# what the text report still has to fold (see TextReport.render).
Rendered: TypeAlias = "str | tuple[str, int, list[tuple[str, str | None]]]"

# The order kinds are summarised in, whatever order they were met.
KINDS = ("constraint", "required", "calculation", "not-evaluated")


class JudgeTally:
    def __init__(self) -> None:
        self.clean = 0
        self.with_findings = 0
        self.unjudged = 0
        self.kinds: collections.Counter[str] = collections.Counter()

    @property
    def findings(self) -> int:
        return sum(self.kinds.values())

    def findings_of(self, kinds: list[str]) -> int:
        return sum(self.kinds[kind] for kind in kinds)

    def add(self, findings: list[SubmissionFinding]) -> None:
        """Counts one submission judged, by the kinds of its findings."""
        if findings:
            self.with_findings += 1
            # Counter.update's checks of its argument cost more than
            # counting the few kinds of one submission.
            for finding in findings:
                self.kinds[finding["kind"]] += 1
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
    """Writes each submission's findings as they come, and the summary at the end.

    Writing comes in two halves: `render` turns one submission's findings
    into what stands for them in the report, knowing nothing of the others;
    `write` puts that in the report in the submissions' order.
    """

    def __init__(self, out: Writer) -> None:
        self.out = out

    def render(self, path: str, findings: list[SubmissionFinding]) -> Rendered:
        raise NotImplementedError

    def write(self, rendered: Rendered) -> None:
        assert isinstance(rendered, str)
        self.out.write(rendered)

    def finish(self, tally: JudgeTally) -> None:
        # Machine-readable output stays pure; the people watching read stderr.
        print(tally.summary(), file=sys.stderr)


class TextReport(JudgeReport):
    """Each submission and its findings, except that a not-evaluated cause met before (the
    instanceID's uuid() in every submission) is only counted, and told once with its count at
    the end."""

    _WIDTH = max(len(kind) for kind in KINDS)

    def __init__(self, out: Writer) -> None:
        super().__init__(out)
        self._causes: collections.Counter[str] = collections.Counter()

    def render(self, path: str, findings: list[SubmissionFinding]) -> Rendered:
        """The finished text, or while a cause may fold: the path, how many findings, and
        each finding's line with its not-evaluated cause."""
        if not findings:
            return f"{path}: no findings\n"
        lines = []
        causes = []
        for finding in findings:
            kind, says = finding["kind"], finding["says"]
            lines.append(f"  {kind.ljust(self._WIDTH)}  {says}\n")
            causes.append(says if kind == "not-evaluated" else None)
        if causes.count(None) < len(causes):
            return path, len(findings), list(zip(lines, causes))
        return _header(path, len(findings), 0) + "".join(lines)

    def write(self, rendered: Rendered) -> None:
        if isinstance(rendered, str):
            self.out.write(rendered)
            return
        path, count, lines = rendered
        shown = [line for line, cause in lines if cause is None or not self._seen_before(cause)]
        self.out.write(_header(path, count, count - len(shown)) + "".join(shown))

    def finish(self, tally: JudgeTally) -> None:
        for cause, count in self._causes.items():
            if count > 1:
                self.out.write(f"{'not-evaluated':<{self._WIDTH}}  in {count} submissions: {cause}\n")
        self.out.write(tally.summary() + "\n")

    def _seen_before(self, cause: str) -> bool:
        self._causes[cause] += 1
        return self._causes[cause] > 1


def _header(path: str, count: int, folded: int) -> str:
    return (f"{path}: {plural(count, 'finding')}"
            + (f", {folded} not-evaluated as before" if folded else "") + "\n")


class JsonReport(JudgeReport):
    """One JSON object per line and finding: the finding's dict with the submission's path first."""

    def __init__(self, out: Writer) -> None:
        super().__init__(out)
        import json  # only this format needs it, and a short run pays for every import

        # json.dumps would make an encoder at every call, for any options but the defaults.
        self._encode = json.JSONEncoder(ensure_ascii=False).encode

    def render(self, path: str, findings: list[SubmissionFinding]) -> Rendered:
        return "".join([self._encode({"submission": path, **finding}) + "\n" for finding in findings])


class CsvReport(JudgeReport):
    FIELDS = ("submission", "path", "kind", "says")

    def __init__(self, out: Writer) -> None:
        super().__init__(out)
        import csv  # only this format needs it, and a short run pays for every import

        # One writer for the run, over a buffer emptied after each submission.
        self._text = io.StringIO()
        self._rows = csv.writer(self._text, lineterminator="\n")
        out.write(self._csv_rows([self.FIELDS]))

    def render(self, path: str, findings: list[SubmissionFinding]) -> Rendered:
        return self._csv_rows([(path, finding["path"], finding["kind"], finding["says"])
                               for finding in findings]) if findings else ""

    def _csv_rows(self, rows: list[tuple[str, ...]]) -> str:
        self._rows.writerows(rows)
        text = self._text.getvalue()
        self._text.seek(0)
        self._text.truncate()
        return text


class GithubReport(JudgeReport):
    """Workflow annotations on each submission's file, titled by the finding's kind."""

    def render(self, path: str, findings: list[SubmissionFinding]) -> Rendered:
        return "".join([workflow_command("notice" if finding["kind"] == "not-evaluated" else "warning",
                                         {"file": path, "title": finding["kind"]}, finding["says"])
                        for finding in findings])


REPORTS: dict[str, type[JudgeReport]] = {"text": TextReport, "json": JsonReport, "csv": CsvReport,
                                         "github": GithubReport}
