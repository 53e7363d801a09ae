"""`tolvar check`: will each form mean the same thing on a tablet and in a browser?"""
from __future__ import annotations

import argparse
import sys
from pathlib import Path

import tolvar

from tolvar_cli import TYPE_CHECKING
from tolvar_cli.errors import InputError
from tolvar_cli.output import BAD_INPUT, CLEAN, INTERRUPTED, complain, exit_status, plural
from tolvar_cli.paths import expand
from tolvar_cli.sources import Form, read_form

if TYPE_CHECKING:
    from tolvar_cli import codes
    from tolvar_cli.check_report import CheckReport, Coded

# The reports, the rule table and the rest of checking are imported when a
# check runs, so that the other commands start without them.
FORM_SUFFIXES = (".xml", ".xlsx", ".xlsm", ".xls")
FORMATS = ("github", "json", "sarif", "text")


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "check", help="report what in each form will not behave the same in Collect and Enketo",
        description="Report, for each form, the rules that will not mean the same thing on "
                    "Collect / KoboCollect and in Enketo web forms. Directories are searched "
                    "for .xml and XLSForm files. Exit status: 0 when every form travels, "
                    "1 when there are findings, 2 when an input could not be read.")
    parser.add_argument("forms", nargs="+", metavar="FORM",
                        help="an XForm, an XLSForm, or a directory of them")
    parser.add_argument("--format", choices=FORMATS, default="text",
                        help="text for reading (the default), json for programs, "
                             "github for workflow annotations, sarif for code scanning")
    parser.add_argument("--select", type=_selectors, metavar="CODES",
                        help="report only these rule codes, comma-separated; a code's start "
                             "stands for every code it starts (XF1: the regex rules). "
                             "`tolvar rules` lists them")
    parser.add_argument("--ignore", type=_selectors, metavar="CODES",
                        help="leave out these rule codes, as --select names them")
    parser.add_argument("--exit-zero", action="store_true",
                        help="exit 0 even when there are findings (2 still means an input "
                             "could not be read)")
    parser.set_defaults(run=run)


def _selectors(text: str) -> list[str]:
    from tolvar_cli import codes

    return codes.parse_selectors(text)


def _reports() -> dict[str, type[CheckReport]]:
    from tolvar_cli.check_report import GithubReport, JsonReport, TextReport
    from tolvar_cli.sarif import SarifReport

    return {"text": TextReport, "json": JsonReport, "github": GithubReport, "sarif": SarifReport}


def run(arguments: argparse.Namespace) -> int:
    from tolvar_cli import codes

    for selectors in (arguments.select, arguments.ignore):
        if unknown := codes.unknown_selectors(selectors or ()):
            complain(f"no rule has the code {', '.join(unknown)}; `tolvar rules` lists them")
            return BAD_INPUT
    items = expand(arguments.forms, FORM_SUFFIXES, "forms (.xml, .xlsx, .xls)")
    checker = _Checker(_reports()[arguments.format](sys.stdout),
                       codes.CodeFilter(arguments.select, arguments.ignore))
    done = 0
    try:
        for item in items:
            if isinstance(item, InputError):
                checker.error(item)
            else:
                checker.check(item)
            done += 1
    except KeyboardInterrupt:
        checker.report.finish(checker.tally)
        complain(f"interrupted after {done} of {plural(len(items), 'form')}")
        return INTERRUPTED
    checker.report.finish(checker.tally)
    status = exit_status(checker.tally.unreadable, checker.tally.findings)
    return CLEAN if arguments.exit_zero and status != BAD_INPUT else status


class _Checker:
    def __init__(self, report: CheckReport, selected: codes.CodeFilter) -> None:
        from tolvar_cli.check_report import CheckTally

        self.report = report
        self.tally = CheckTally()
        self._selected = selected

    def check(self, path: Path) -> None:
        from tolvar_cli import codes
        from tolvar_cli.locate import BindLines, Places

        try:
            form = read_form(path)
            findings = tolvar.check_form(form.text)
        except InputError as error:
            self.error(error)
            return
        except RuntimeError as error:  # the form's XML is malformed
            self.error(InputError(path, str(error)))
            return
        reported = self._reported(form, [codes.with_code(finding) for finding in findings])
        warnings = list(form.warnings) if self._selected.reports(codes.XLSFORM_WARNING.code) else []
        self.tally.forms += 1
        if reported or warnings:
            self.tally.with_findings += 1
            self.tally.findings += len(reported) + len(warnings)
        else:
            self.tally.travelling += 1
        places: Places | None = form.rows or (BindLines(form.text) if reported else None)
        self.report.form(path, reported, places, warnings)

    def error(self, error: InputError) -> None:
        self.tally.unreadable += 1
        complain(str(error))
        self.report.error(error.path, str(error))

    def _reported(self, form: Form, findings: list[Coded]) -> list[Coded]:
        from tolvar_cli import suppression

        selected = [finding for finding in findings if self._selected.reports(finding["code"])]
        if not selected:
            return selected
        try:
            ignored = suppression.ignored_codes(form.text)
        except ValueError as unread:
            complain(f"{form.path}: {unread}")
            ignored = {}
        return [finding for finding in selected
                if not finding["code"].startswith(ignored.get(finding["path"], ()))]
