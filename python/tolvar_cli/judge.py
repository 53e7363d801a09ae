"""`tolvar judge`: what a form's own rules say about many submissions."""
from __future__ import annotations

import argparse
import dataclasses
import sys
from pathlib import Path

import tolvar

from tolvar_cli import identity
from tolvar_cli.errors import InputError
from tolvar_cli.judge_report import REPORTS, JudgeReport, JudgeTally
from tolvar_cli.output import BAD_INPUT, INTERRUPTED, complain, exit_status, plural
from tolvar_cli.paths import expand
from tolvar_cli.progress import Progress
from tolvar_cli.sources import Form, read_form, read_submission


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "judge", help="report what a form's rules say about its submissions",
        description="Judge submissions by the form's own rules: relevance, calculations, "
                    "required questions and constraints. A rule that could not be evaluated "
                    "is reported as not-evaluated, never passed. Directories are searched "
                    "recursively for .xml submissions (an export's one folder per instance "
                    "holding submission.xml). Exit status: 0 when every submission is clean, "
                    "1 when there are findings, 2 when an input could not be judged.")
    parser.add_argument("form", metavar="FORM",
                        help="the XForm or XLSForm the submissions were made with")
    parser.add_argument("submissions", nargs="+", metavar="SUBMISSION_OR_DIRECTORY")
    parser.add_argument("--format", choices=sorted(REPORTS), default="text",
                        help="text for reading (the default); json, one object per finding "
                             "and line; csv")
    add_clock_arguments(parser)
    parser.set_defaults(run=run)


def add_clock_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--today", metavar="DATE",
                        help="what today() gives, e.g. 2024-05-06; by default the submission's "
                             "today or end element says, and without either today() is refused")
    parser.add_argument("--now", metavar="DATETIME",
                        help="what now() gives, e.g. 2024-05-06T10:11:12.000+02:00; by default "
                             "the submission's end or start element says, and without either "
                             "now() is refused")


def run(arguments: argparse.Namespace) -> int:
    try:
        form = read_form(Path(arguments.form))
        form_identity = identity.of_form(form.text)
    except InputError as error:
        complain(str(error))
        return BAD_INPUT
    except RuntimeError as error:  # the form cannot be loaded
        complain(f"{arguments.form}: {error}")
        return BAD_INPUT
    items = expand(arguments.submissions, (".xml",), "submissions (*.xml)", skip=form.path)
    batch = _Batch(form, form_identity, arguments.today, arguments.now,
                   REPORTS[arguments.format](sys.stdout), JudgeTally(),
                   Progress(len(items), "submissions", sys.stderr, sys.stdout))
    done = 0
    try:
        for item in items:
            if isinstance(item, InputError):
                batch.fail(item)
            else:
                batch.judge(item)
            done += 1
    except KeyboardInterrupt:
        batch.finish()
        complain(f"interrupted after {done} of {plural(len(items), 'submission')}")
        return INTERRUPTED
    batch.finish()
    return exit_status(batch.tally.unjudged, batch.tally.findings)


@dataclasses.dataclass
class _Batch:
    form: Form
    form_identity: identity.Identity | None
    today: str | None
    now: str | None
    report: JudgeReport
    tally: JudgeTally
    progress: Progress

    def judge(self, path: Path) -> None:
        try:
            findings = self._findings(path)
        except InputError as error:
            self.fail(error)
            return
        self.tally.add(findings)
        self.progress.make_room()
        self.report.submission(path, findings)
        self.progress.advance()

    def fail(self, error: InputError) -> None:
        self.tally.unjudged += 1
        self.progress.clear()  # the complaint goes to the bar's own stream
        complain(str(error))
        self.progress.advance()

    def finish(self) -> None:
        self.progress.clear()
        self.report.finish(self.tally)

    def _findings(self, path: Path) -> list[tolvar.SubmissionFinding]:
        text = read_submission(path)
        try:
            theirs = identity.of_instance(text)
            if self.form_identity and not self.form_identity.accepts(theirs):
                raise InputError(path, f"not a submission of this form: its root is {theirs}, "
                                       f"the form's instance is {self.form_identity}")
            return tolvar.submission_findings(self.form.text, text, self.today, self.now)
        except RuntimeError as error:  # the submission's XML is malformed
            raise InputError(path, str(error)) from None
