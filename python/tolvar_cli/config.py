"""Settings from `[tool.tolvar]` in the nearest pyproject.toml that has one.

They stand in for options not given on the command line, so a repository
says once how its forms are checked:

    [tool.tolvar]
    select = ["XF"]
    ignore = ["XF405", "XF406"]
    format = "github"
    media = "media"        # relative to the pyproject.toml
"""
from __future__ import annotations

import argparse
import sys
from pathlib import Path

from tolvar_cli import TYPE_CHECKING

if TYPE_CHECKING:
    from typing import Any

CONFIG_FILE = "pyproject.toml"


class ConfigError(Exception):
    """A settings file that cannot be used, said in one line."""


def _nearest(start: Path) -> tuple[Path, dict[str, Any]]:
    """The nearest pyproject.toml at or above `start` with a [tool.tolvar] table, and the table."""
    for folder in (start, *start.parents):
        candidate = folder / CONFIG_FILE
        if candidate.is_file():
            table = _read(candidate).get("tool", {}).get("tolvar")
            if table is not None:
                return candidate, table
    return start, {}


def load(start: Path) -> dict[str, Any]:
    """The settings that apply from `start`, each checked; empty without a settings file."""
    path, table = _nearest(start)
    if not isinstance(table, dict):
        raise ConfigError(f"{path}: [tool.tolvar] is a table of settings")
    settings: dict[str, Any] = {}
    for key, value in table.items():
        if key not in _CHECKS:
            raise ConfigError(f"{path}: [tool.tolvar] has no setting {key!r} "
                              f"(there are {', '.join(sorted(_CHECKS))})")
        settings[key] = _CHECKS[key](path, key, value)
    return settings


def apply(parser: argparse.ArgumentParser, settings: dict[str, Any]) -> None:
    """Makes the settings the defaults of the command's options that take them.

    A format the command does not offer leaves its own default in place:
    `format = "sarif"` is for check, not judge.
    """
    for action in parser._actions:
        if action.dest not in settings:
            continue
        value = settings[action.dest]
        if action.choices is None or value in action.choices:
            parser.set_defaults(**{action.dest: value})


def _read(path: Path) -> dict[str, Any]:
    try:
        data = path.read_bytes()
    except OSError as error:
        raise ConfigError(f"{path}: {error}") from None
    # A file that never names tolvar has no table for it: most configure
    # other tools only, and importing the parser and parsing them would cost
    # a small run more than all the rest of its start.
    if b"tolvar" not in data:
        return {}
    if sys.version_info >= (3, 11):
        import tomllib
    else:
        import tomli as tomllib
    try:
        return tomllib.loads(data.decode("utf-8"))
    except (UnicodeDecodeError, tomllib.TOMLDecodeError) as error:
        raise ConfigError(f"{path}: {error}") from None


def _codes(path: Path, key: str, value: Any) -> list[str]:
    if not isinstance(value, list) or not all(isinstance(item, str) for item in value):
        raise ConfigError(f"{path}: [tool.tolvar] {key} is a list of rule codes, such as [\"XF101\"]")
    selectors = [selector.strip().upper() for selector in value]
    from tolvar_cli import codes  # its table is only needed when a file names codes

    if unknown := codes.unknown_selectors(selectors):
        raise ConfigError(f"{path}: [tool.tolvar] {key} names no rule: {', '.join(unknown)}")
    return selectors


def _format(path: Path, key: str, value: Any) -> str:
    if value not in _FORMATS:
        raise ConfigError(f"{path}: [tool.tolvar] format is one of {', '.join(_FORMATS)}")
    return str(value)


def _folder(path: Path, key: str, value: Any) -> str:
    if not isinstance(value, str):
        raise ConfigError(f"{path}: [tool.tolvar] {key} is a folder's path")
    return str(path.parent / value)


# Every format of either command; `apply` keeps each to the commands that have it.
_FORMATS = ("text", "json", "github", "sarif", "csv")
_CHECKS = {"select": _codes, "ignore": _codes, "format": _format, "media": _folder}
