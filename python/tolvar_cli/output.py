"""Small pieces of wording and writing that every command shares."""
from __future__ import annotations

import sys

# Exit statuses, as a shell script or CI job reads them.
CLEAN = 0
FINDINGS = 1
BAD_INPUT = 2
INTERRUPTED = 130


def plural(count: int, noun: str) -> str:
    return f"{count} {noun}" if count == 1 else f"{count} {noun}s"


def complain(message: str) -> None:
    """One line on standard error, prefixed so it is clear who is speaking."""
    print(f"tolvar: {message}", file=sys.stderr, flush=True)


def exit_status(errors: int, findings: int) -> int:
    """Bad input outranks findings: a run that could not read everything is not a verdict."""
    if errors:
        return BAD_INPUT
    return FINDINGS if findings else CLEAN
