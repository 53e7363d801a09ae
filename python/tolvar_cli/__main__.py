"""The `tolvar` console script."""
from __future__ import annotations

import argparse
import os
import sys
from io import TextIOWrapper
from pathlib import Path

import tolvar

from tolvar_cli import TYPE_CHECKING, check, config, evaluate, judge, rules
from tolvar_cli.output import BAD_INPUT, INTERRUPTED, complain

if TYPE_CHECKING:
    from collections.abc import Sequence
    from typing import Any

# What a shell reports for a program killed by SIGPIPE.
_BROKEN_PIPE = 141


def _terminal_width() -> int:
    """The width argparse lays help out in: shutil.get_terminal_size()'s columns, less 2."""
    try:
        columns = int(os.environ["COLUMNS"])
    except (KeyError, ValueError):
        columns = 0
    if columns <= 0 and sys.__stdout__ is not None:
        try:
            columns = os.get_terminal_size(sys.__stdout__.fileno()).columns
        except (ValueError, OSError):
            columns = 0
    return (columns or 80) - 2


class _HelpFormatter(argparse.HelpFormatter):
    """argparse's own layout, given the terminal's width: left to find it, argparse
    imports shutil, and with it three compression modules, when the first option is
    added, a tenth of a short command's start."""

    def __init__(self, prog: str) -> None:
        super().__init__(prog, width=_terminal_width())


class _Parser(argparse.ArgumentParser):
    """An ArgumentParser whose help, and that of its subcommands, uses _HelpFormatter."""

    def __init__(self, **options: Any) -> None:
        options.setdefault("formatter_class", _HelpFormatter)
        super().__init__(**options)


def build_parser(settings: dict[str, Any] | None = None) -> argparse.ArgumentParser:
    """The command's parser, with `settings` (from pyproject.toml) as its options' defaults."""
    parser = _Parser(
        prog="tolvar",
        description="Check XForms for portability between Collect and Enketo, judge "
                    "submissions by a form's own rules, and evaluate expressions.")
    parser.add_argument("--version", action="version", version=f"tolvar {tolvar.__version__}")
    commands = parser.add_subparsers(title="commands", metavar="COMMAND")
    for command in (check, judge, evaluate, rules):
        command.add_parser(commands)
    for subparser in commands.choices.values():
        config.apply(subparser, settings or {})
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    # A terminal that cannot show a character gets an escape, not a traceback.
    for stream in (sys.stdout, sys.stderr):
        if isinstance(stream, TextIOWrapper):
            stream.reconfigure(errors="backslashreplace")
    try:
        parser = build_parser(config.load(Path.cwd()))
        arguments = parser.parse_args(argv)
        if not hasattr(arguments, "run"):
            parser.print_usage(sys.stderr)
            complain("name a command: check, judge, eval or rules")
            return BAD_INPUT
        status: int = arguments.run(arguments)
        sys.stdout.flush()
        return status
    except config.ConfigError as error:
        complain(str(error))
        return BAD_INPUT
    except KeyboardInterrupt:
        complain("interrupted")
        return INTERRUPTED
    except BrokenPipeError:
        # The reader left (as `| head` does); further writes would fail again.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return _BROKEN_PIPE


def console() -> int:
    """The installed command: main, then out of the process without the
    interpreter's teardown, which would spend milliseconds (a tenth of a
    short command's run) freeing what the process is about to give up."""
    status = main()
    try:
        sys.stdout.flush()
        sys.stderr.flush()
    except OSError:
        return status  # the interpreter's own exit reports what could not be written
    os._exit(status)


if __name__ == "__main__":
    sys.exit(main())
