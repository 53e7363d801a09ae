"""The `tolvar` console script."""
from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Sequence
from io import TextIOWrapper

import tolvar

from tolvar_cli import check, evaluate, judge
from tolvar_cli.output import BAD_INPUT, INTERRUPTED, complain

# What a shell reports for a program killed by SIGPIPE.
_BROKEN_PIPE = 141


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="tolvar",
        description="Check XForms for portability between Collect and Enketo, judge "
                    "submissions by a form's own rules, and evaluate expressions.")
    parser.add_argument("--version", action="version", version=f"tolvar {tolvar.__version__}")
    commands = parser.add_subparsers(title="commands", metavar="COMMAND")
    for command in (check, judge, evaluate):
        command.add_parser(commands)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    # A terminal that cannot show a character gets an escape, not a traceback.
    for stream in (sys.stdout, sys.stderr):
        if isinstance(stream, TextIOWrapper):
            stream.reconfigure(errors="backslashreplace")
    try:
        parser = build_parser()
        arguments = parser.parse_args(argv)
        if not hasattr(arguments, "run"):
            parser.print_usage(sys.stderr)
            complain("name a command: check, judge or eval")
            return BAD_INPUT
        status: int = arguments.run(arguments)
        sys.stdout.flush()
        return status
    except KeyboardInterrupt:
        complain("interrupted")
        return INTERRUPTED
    except BrokenPipeError:
        # The reader left (as `| head` does); further writes would fail again.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return _BROKEN_PIPE


if __name__ == "__main__":
    sys.exit(main())
