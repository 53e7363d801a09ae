"""`tolvar check`: will each form mean the same thing on a tablet and in a browser?"""
from __future__ import annotations

import argparse
import sys
from pathlib import Path

import tolvar

from tolvar_cli.check_report import REPORTS, CheckReport, CheckTally
from tolvar_cli.errors import InputError
from tolvar_cli.locate import BindLines
from tolvar_cli.output import INTERRUPTED, complain, exit_status, plural
from tolvar_cli.paths import expand
from tolvar_cli.sources import read_form

FORM_SUFFIXES = (".xml", ".xlsx", ".xlsm", ".xls")


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "check", help="report what in each form will not behave the same in Collect and Enketo",
        description="Report, for each form, the rules that will not mean the same thing on "
                    "Collect / KoboCollect and in Enketo web forms. Directories are searched "
                    "for .xml and XLSForm files. Exit status: 0 when every form travels, "
                    "1 when there are findings, 2 when an input could not be read.")
    parser.add_argument("forms", nargs="+", metavar="FORM",
                        help="an XForm, an XLSForm, or a directory of them")
    parser.add_argument("--format", choices=sorted(REPORTS), default="text",
                        help="text for reading (the default), json for programs, "
                             "github for workflow annotations")
    parser.set_defaults(run=run)


def run(arguments: argparse.Namespace) -> int:
    items = expand(arguments.forms, FORM_SUFFIXES, "forms (.xml, .xlsx, .xls)")
    report = REPORTS[arguments.format](sys.stdout)
    tally = CheckTally()
    done = 0
    try:
        for item in items:
            if isinstance(item, InputError):
                _report_error(report, tally, item)
            else:
                _check_one(item, report, tally)
            done += 1
    except KeyboardInterrupt:
        report.finish(tally)
        complain(f"interrupted after {done} of {plural(len(items), 'form')}")
        return INTERRUPTED
    report.finish(tally)
    return exit_status(tally.unreadable, tally.findings)


def _check_one(path: Path, report: CheckReport, tally: CheckTally) -> None:
    try:
        form = read_form(path)
        findings = tolvar.check_form(form.text)
    except InputError as error:
        _report_error(report, tally, error)
        return
    except RuntimeError as error:  # the form's XML is malformed
        _report_error(report, tally, InputError(path, str(error)))
        return
    tally.forms += 1
    if findings:
        tally.with_findings += 1
        tally.findings += len(findings)
    else:
        tally.travelling += 1
    lines = BindLines(form.text) if findings and not form.from_workbook else None
    report.form(path, findings, lines)


def _report_error(report: CheckReport, tally: CheckTally, error: InputError) -> None:
    tally.unreadable += 1
    complain(str(error))
    report.error(error.path, str(error))
