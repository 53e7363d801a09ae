"""`tolvar eval`: what one expression gives against a submission."""
from __future__ import annotations

import argparse

import tolvar

from tolvar_cli.errors import InputError
from tolvar_cli.judge import add_clock_arguments
from tolvar_cli.output import BAD_INPUT, CLEAN, complain
from tolvar_cli.sources import submission_argument


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "eval", help="print what an expression gives against a submission",
        description="Evaluate one expression against a submission and print its value as text. "
                    "An expression the engine cannot evaluate faithfully is refused on "
                    "standard error with exit status 2. Put -- before an expression that "
                    "starts with a minus sign.")
    parser.add_argument("expression", metavar="EXPRESSION")
    parser.add_argument("submission", metavar="SUBMISSION",
                        help="a submission's file, or its XML written out ('<data>…</data>')")
    add_clock_arguments(parser)
    parser.set_defaults(run=run)


def run(arguments: argparse.Namespace) -> int:
    try:
        submission = submission_argument(arguments.submission)
        value = tolvar.eval_expression(arguments.expression, submission, arguments.today, arguments.now)
    except InputError as error:
        complain(str(error))
        return BAD_INPUT
    except RuntimeError as error:  # malformed submission, or an expression refused
        complain(str(error))
        return BAD_INPUT
    print(value)
    return CLEAN
