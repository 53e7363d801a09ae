"""`tolvar judge`: what a form's own rules say about many submissions."""
from __future__ import annotations

import argparse
import collections
import itertools
import os
import sys
from pathlib import Path

import tolvar

from tolvar_cli import TYPE_CHECKING, clock
from tolvar_cli.block_output import BlockOutput
from tolvar_cli.errors import InputError
from tolvar_cli.judge_report import KINDS, REPORTS, JudgeReport, JudgeTally, Rendered
from tolvar_cli.output import BAD_INPUT, CLEAN, INTERRUPTED, complain, exit_status, plural
from tolvar_cli.paths import search
from tolvar_cli.progress import Progress
from tolvar_cli.sources import read_form, read_submission

if TYPE_CHECKING:
    from collections.abc import Callable, Iterator
    from typing import TypeAlias

# Below this many submissions, starting threads costs more than it saves.
PARALLEL_FROM = 200


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
                             "and line; csv; github for workflow annotations")
    add_exit_arguments(parser)
    parser.add_argument("--jobs", type=_positive, metavar="N",
                        help="judge on N threads; by default as many as there are cores for "
                             f"a batch of {PARALLEL_FROM} submissions or more, else 1. The "
                             "output is the same, line for line")
    parser.add_argument("--media", metavar="DIR",
                        help="the folder of the form's attached files (CSV and XML files its "
                             "external instances and pulldata() read); by default FORM's name "
                             "with -media beside it (health.xml: health-media), when it exists")
    add_clock_arguments(parser)
    parser.set_defaults(run=run)


def add_exit_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--fail-on", type=_kinds, metavar="KINDS",
                        help="exit 1 only for findings of these kinds, comma-separated: "
                             f"{', '.join(KINDS)} (by default all)")
    parser.add_argument("--exit-zero", action="store_true",
                        help="exit 0 even when there are findings (2 still means an input "
                             "could not be judged)")


def _kinds(text: str) -> list[str]:
    kinds = [kind.strip() for kind in text.split(",") if kind.strip()]
    if unknown := sorted(set(kinds) - set(KINDS)):
        raise argparse.ArgumentTypeError(f"no finding is of the kind {', '.join(unknown)}; "
                                         f"the kinds are {', '.join(KINDS)}")
    return kinds


def _positive(text: str) -> int:
    number = int(text)
    if number < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1, not {number}")
    return number


def add_clock_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--today", metavar="DATE", type=clock.iso_date,
                        help="what today() gives, e.g. 2024-05-06; by default the submission's "
                             "today or end element says, and without either today() is refused")
    parser.add_argument("--now", metavar="DATETIME", type=clock.iso_date_time,
                        help="what now() gives, e.g. 2024-05-06T10:11:12.000+02:00; by default "
                             "the submission's end or start element says, and without either "
                             "now() is refused")


def run(arguments: argparse.Namespace) -> int:
    media = _media_folder(Path(arguments.form), arguments.media)
    try:
        form = read_form(Path(arguments.form))
        judge = _Judge(tolvar.Form(form.text, attachments=media), arguments.today, arguments.now)
    except InputError as error:
        complain(str(error))
        return BAD_INPUT
    except RuntimeError as error:  # the form or an attached file cannot be loaded
        complain(f"{arguments.form}: {error}")
        return BAD_INPUT
    for warning in form.warnings:  # pyxform's, about the XLSForm
        complain(f"{form.path}: {warning}")
    skip = [form.path] if media is None else [form.path, media]
    items = search(arguments.submissions, (".xml",), "submissions (*.xml)", skip=skip)
    with BlockOutput(sys.stdout) as out:
        report = REPORTS[arguments.format](out)
        outcomes = judge.outcomes(items, arguments.jobs, report.render)
        progress = Progress(judge.total, "submissions", sys.stderr, out)
        judge.when_counted = progress.count_known
        batch = _Batch(report, progress, out)
        try:
            for outcome in outcomes:
                batch.add(outcome)
        except KeyboardInterrupt:
            batch.finish()
            complain(f"interrupted after {batch.done} of {judge.count_so_far()}")
            return INTERRUPTED
        batch.finish()
    failing = batch.tally.findings_of(arguments.fail_on or list(KINDS))
    status = exit_status(batch.tally.unjudged, failing)
    return CLEAN if arguments.exit_zero and status != BAD_INPUT else status


def _media_folder(form: Path, given: str | None) -> Path | None:
    """The folder given, else the one export tools lay out beside the form, if there."""
    if given is not None:
        return Path(given)
    beside = form.with_name(form.stem + "-media")
    return beside if beside.is_dir() else None


def _cores() -> int:
    return len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count() or 1


# What became of one submission: its findings and the findings rendered for
# the report, or why it could not be judged.
Outcome: TypeAlias = "tuple[list[tolvar.SubmissionFinding], Rendered] | InputError"
# How a report renders one submission's findings.
Render: TypeAlias = "Callable[[str, list[tolvar.SubmissionFinding]], Rendered]"

# How many submissions the search finds ahead of the reports, so that the
# reports begin at once and memory stays flat however large the export.
# Threads refill from what is found only as the reports go on, so fewer
# would leave them waiting: with 1,024 the command took a tenth longer.
SEARCHED_AHEAD = 4096


class _Judge:
    def __init__(self, form: tolvar.Form, today: str | None, now: str | None) -> None:
        self.form = form
        self.today = today
        self.now = now
        # How many items the search has given, and their number once it has
        # ended (None until then); `when_counted` is told that number.
        self.found = 0
        self.total: int | None = None
        self.when_counted: Callable[[int], None] | None = None

    def outcomes(self, items: Iterator[str | InputError], jobs: int | None,
                 render: Render) -> Iterator[Outcome]:
        """What became of every item, in order, the findings rendered by `render`.

        The engine judges on `jobs` threads (by default as many as there are
        cores for a large batch), a little ahead of the reader: the folders
        are searched only as far as that needs, so the reports begin at once
        and go on while the search does.
        """
        first = list(itertools.islice(items, PARALLEL_FROM))
        jobs = jobs or (_cores() if len(first) >= PARALLEL_FROM else 1)
        taken: collections.deque[str | InputError] = collections.deque()

        def paths() -> Iterator[str]:
            for item in itertools.chain(first, items):
                self.found += 1
                taken.append(item)
                if not isinstance(item, InputError):
                    yield item
            self._counted()

        if len(first) < PARALLEL_FROM:
            self.total = len(first)  # the search has ended
        results = self.form.map_findings(paths(), self.today, self.now, jobs=jobs,
                                         buffersize=SEARCHED_AHEAD)
        return self._in_order(taken, results, render)

    def _in_order(self, taken: collections.deque[str | InputError],
                  results: Iterator[list[tolvar.SubmissionFinding] | Exception],
                  render: Render) -> Iterator[Outcome]:
        """The items the engine took, in order, each path with its findings from `results`."""
        for findings in results:
            item = taken.popleft()
            while isinstance(item, InputError):
                yield item
                item = taken.popleft()
            if isinstance(findings, list):
                yield findings, render(item, findings)
            else:
                yield self._judged_again(item, render)
        for rest in taken:  # the errors after the last path
            if isinstance(rest, InputError):
                yield rest

    def _counted(self) -> None:
        self.total = self.found
        if self.when_counted is not None:
            self.when_counted(self.total)

    def count_so_far(self) -> str:
        """The submissions found, as an interrupt reports them."""
        found = plural(self.found, "submission")
        return found if self.total is not None else found + " found so far"

    def _judged_again(self, path: str, render: Render) -> Outcome:
        """What the engine could not judge, read again here for the reason in the
        words the other commands use."""
        try:
            findings = self._findings(path)
        except InputError as error:
            return error
        return findings, render(path, findings)

    def _findings(self, path: str) -> list[tolvar.SubmissionFinding]:
        text = read_submission(path)
        try:
            return self.form.findings(text, self.today, self.now)
        except RuntimeError as error:  # malformed XML, or a submission of another form
            raise InputError(path, str(error)) from None


class _Batch:
    def __init__(self, report: JudgeReport, progress: Progress, out: BlockOutput) -> None:
        self.report = report
        self.tally = JudgeTally()
        self.progress = progress
        self.out = out

    @property
    def done(self) -> int:
        """Counted as the summary counts, wherever an interrupt lands."""
        return self.tally.clean + self.tally.with_findings + self.tally.unjudged

    def add(self, outcome: Outcome) -> None:
        if isinstance(outcome, InputError):
            self.tally.unjudged += 1
            self.progress.clear()  # the complaint goes to the bar's own stream
            self.out.flush()  # and comes after the reports before it
            complain(str(outcome))
        else:
            findings, rendered = outcome
            self.tally.add(findings)
            self.progress.make_room()
            self.report.write(rendered)
        self.progress.advance()

    def finish(self) -> None:
        self.progress.close()
        self.out.flush()  # before a summary on stderr
        self.report.finish(self.tally)
        self.out.flush()
