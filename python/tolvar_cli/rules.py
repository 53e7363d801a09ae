"""`tolvar rules`: the codes `check` reports, and what each engine did with an example."""
from __future__ import annotations

import argparse
import sys

from tolvar_cli.output import CLEAN


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser]) -> None:
    parser = commands.add_parser(
        "rules", help="list the rule codes that check reports",
        description="List every rule code with its name, where it breaks and what JavaRosa "
                    "(Collect) · Enketo · ODK Web Forms did with the example.")
    parser.add_argument("--format", choices=("text", "json"), default="text")
    parser.set_defaults(run=run)


def run(arguments: argparse.Namespace) -> int:
    # Imported here: other commands need not build the table, or load json, to start.
    from tolvar_cli.codes import ALL_RULES, RULES

    if arguments.format == "json":
        import json

        json.dump([{"code": rule.code, "name": rule.name, "construct": rule.construct,
                    "breaks": rule.breaks, "engines": rule.engines} for rule in ALL_RULES],
                  sys.stdout, ensure_ascii=False, indent=2)
        sys.stdout.write("\n")
        return CLEAN
    for rule in ALL_RULES:
        sys.stdout.write(f"{rule.code} {rule.name}\n    {rule.construct}\n")
        if rule in RULES:  # the checker's, measured on the engines
            sys.stdout.write(f"    breaks:  {rule.breaks}\n"
                             f"    engines: {rule.engines}  (JavaRosa · Enketo · Web Forms)\n")
    return CLEAN
