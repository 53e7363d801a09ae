"""`tolvar judge`: what a form's own rules say about many submissions."""
from __future__ import annotations

import argparse
import dataclasses
import itertools
import os
import signal
import sys
from collections.abc import Callable, Iterator
from pathlib import Path
from typing import TYPE_CHECKING, TypeAlias

import tolvar

from tolvar_cli import clock
from tolvar_cli.errors import InputError
from tolvar_cli.judge_report import KINDS, REPORTS, JudgeReport, JudgeTally, Rendered
from tolvar_cli.output import BAD_INPUT, CLEAN, INTERRUPTED, complain, exit_status, plural
from tolvar_cli.paths import search
from tolvar_cli.progress import Progress
from tolvar_cli.sources import read_form, read_submission

if TYPE_CHECKING:
    from concurrent.futures import ProcessPoolExecutor

# Below this many submissions, starting worker processes (each loading the
# form) costs more than it saves.
PARALLEL_FROM = 200
_LARGEST_CHUNK = 256


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
                        help="judge in N processes; by default as many as there are cores for "
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
    report = REPORTS[arguments.format]
    try:
        form = read_form(Path(arguments.form))
        judge = _Judge(tolvar.Form(form.text, attachments=media), arguments.today, arguments.now,
                       report.render)
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
    # The workers start, and judge what is found, while the folders are searched.
    with _Outcomes(judge, arguments.jobs) as outcomes:
        total, found = outcomes.of(items)
        batch = _Batch(report(sys.stdout), JudgeTally(),
                       Progress(total, "submissions", sys.stderr, sys.stdout))
        try:
            for outcome in found:
                batch.add(outcome)
        except KeyboardInterrupt:
            batch.finish()
            complain(f"interrupted after {batch.done} of {plural(total, 'submission')}")
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


# What became of one submission: the kinds of its findings and the findings
# rendered for the report, or why it could not be judged.
Outcome: TypeAlias = "tuple[tuple[str, ...], Rendered] | InputError"


@dataclasses.dataclass(frozen=True)
class _Judge:
    """Judges one item; pickles (the form as its text and attachments) to reach workers."""

    form: tolvar.Form
    today: str | None
    now: str | None
    render: Callable[[str, list[tolvar.SubmissionFinding]], Rendered]

    def __call__(self, item: str | InputError) -> Outcome:
        if isinstance(item, InputError):
            return item
        try:
            findings = self._findings(item)
        except InputError as error:
            return error
        return tuple(finding["kind"] for finding in findings), self.render(item, findings)

    def _findings(self, path: str) -> list[tolvar.SubmissionFinding]:
        text = read_submission(path)
        try:
            return self.form.findings(text, self.today, self.now)
        except RuntimeError as error:  # malformed XML, or a submission of another form
            raise InputError(path, str(error)) from None


class _Outcomes:
    """The outcome of every item, in the items' order, judged in this process or in workers.

    Workers judge and render items in chunks, so the parent only writes what
    comes back. With `jobs` given above 1 they start on entering, before the
    items are known; by default their number follows the batch's size.
    """

    def __init__(self, judge: _Judge, jobs: int | None) -> None:
        self._judge = judge
        self._jobs = jobs
        self._pool: ProcessPoolExecutor | None = None

    def __enter__(self) -> _Outcomes:
        if self._jobs is not None and self._jobs > 1:
            self._start(self._jobs)
        return self

    def of(self, items: Iterator[str | InputError]) -> tuple[int, Iterator[Outcome]]:
        """How many items there are, once all are found, and their outcomes."""
        first = list(itertools.islice(items, PARALLEL_FROM))
        jobs = self._jobs or (_cores() if len(first) >= PARALLEL_FROM else 1)
        if jobs <= 1:
            everything = first + list(items)
            return len(everything), map(self._judge, everything)
        pool = self._pool or self._start(jobs)
        futures = []
        total = 0
        for chunk in _chunks(itertools.chain(first, items), jobs):
            futures.append(pool.submit(_judge_in_worker, chunk))
            total += len(chunk)
        return total, (outcome for future in futures for outcome in future.result())

    def _start(self, jobs: int) -> ProcessPoolExecutor:
        # Imported only here: a run in one process does not pay for it.
        from concurrent.futures import ProcessPoolExecutor

        self._pool = ProcessPoolExecutor(
            jobs, initializer=_start_worker, initargs=(self._judge,))
        # A pool starts its processes with the first task.
        self._pool.submit(int)
        return self._pool

    def __exit__(self, *_: object) -> None:
        if self._pool:
            self._pool.shutdown(cancel_futures=True)


def _chunks(items: Iterator[str | InputError], jobs: int) -> Iterator[list[str | InputError]]:
    """The items in chunks that grow with how many were found before: a small
    batch still spreads over every worker, and a large one goes in chunks
    whose passing costs little beside judging them."""
    found = 0
    while chunk := list(itertools.islice(items, min(_LARGEST_CHUNK, 1 + found // (jobs * 8)))):
        found += len(chunk)
        yield chunk


# Each worker process's judge, set once when it starts, so the form crosses
# to it and loads once rather than with every chunk.
_worker_judge: _Judge | None = None


def _start_worker(judge: _Judge) -> None:
    global _worker_judge
    # Ctrl-C reaches the whole process group; the parent alone reports it.
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    _worker_judge = judge


def _judge_in_worker(items: list[str | InputError]) -> list[Outcome]:
    assert _worker_judge is not None
    # While judging, Ctrl-C stops the engine, so the parent's shutdown does
    # not wait for a long evaluation to end; the parent reports it.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    try:
        return [_worker_judge(item) for item in items]
    finally:
        signal.signal(signal.SIGINT, signal.SIG_IGN)


@dataclasses.dataclass
class _Batch:
    report: JudgeReport
    tally: JudgeTally
    progress: Progress

    @property
    def done(self) -> int:
        """Counted as the summary counts, wherever an interrupt lands."""
        return self.tally.clean + self.tally.with_findings + self.tally.unjudged

    def add(self, outcome: Outcome) -> None:
        if isinstance(outcome, InputError):
            self.tally.unjudged += 1
            self.progress.clear()  # the complaint goes to the bar's own stream
            complain(str(outcome))
        else:
            kinds, rendered = outcome
            self.tally.add(kinds)
            self.progress.make_room()
            self.report.write(rendered)
        self.progress.advance()

    def finish(self) -> None:
        self.progress.close()
        self.report.finish(self.tally)
