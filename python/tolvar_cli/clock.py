"""`--today` and `--now` as the command line takes them: ISO dates and date-times only.

The engine takes any text for the clock and would compare against it as it
stands, so a slip such as `--today yesterday` is refused here instead.
"""
from __future__ import annotations

import argparse
import re

# Patterns, compiled (by re's own cache) only when an option needs one: every
# run of the command defines these options, few give them.
_DATE = r"(\d{4})-(\d{2})-(\d{2})"
_DATE_TIME = (r"(\d{4}-\d{2}-\d{2})T(\d{2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?"
              r"(?:Z|[+-](\d{2}):(\d{2}))?")


def iso_date(text: str) -> str:
    """A date such as 2024-05-06."""
    match = re.fullmatch(_DATE, text)
    if not match or not _is_day(*match.groups()):
        raise argparse.ArgumentTypeError(f"{text!r} is not a date such as 2024-05-06")
    return text


def iso_date_time(text: str) -> str:
    """A date-time such as 2024-05-06T10:11:12.000+02:00; seconds and the offset may be left out."""
    match = re.fullmatch(_DATE_TIME, text)
    if not match or not _is_day(*match[1].split("-")) or not _is_time(*match.groups()[1:]):
        raise argparse.ArgumentTypeError(
            f"{text!r} is not a date-time such as 2024-05-06T10:11:12.000+02:00")
    return text


def _is_day(year: str, month: str, day: str) -> bool:
    import datetime  # as the patterns: only for a run that gives a date

    try:
        datetime.date(int(year), int(month), int(day))
    except ValueError:
        return False
    return True


def _is_time(hour: str, minute: str, second: str | None, offset_hours: str | None,
             offset_minutes: str | None) -> bool:
    return (int(hour) < 24 and int(minute) < 60 and int(second or 0) < 60
            and int(offset_hours or 0) < 24 and int(offset_minutes or 0) < 60)
