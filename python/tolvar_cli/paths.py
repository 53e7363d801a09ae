"""Turning command-line arguments into the files to read."""
from __future__ import annotations

import os
from collections.abc import Iterator, Sequence
from pathlib import Path

from tolvar_cli.errors import InputError


def expand(arguments: Sequence[str], suffixes: tuple[str, ...], what: str,
           skip: Path | None = None) -> tuple[list[Path], list[InputError]]:
    """The files the arguments name, each once, and a complaint per empty directory.

    A file argument is taken as it is (reading it reports whether it exists);
    a directory is searched recursively for names ending in one of `suffixes`,
    in sorted order, leaving out hidden entries and `skip`.
    """
    files: list[Path] = []
    empty: list[InputError] = []
    seen: set[Path] = set() if skip is None else {skip.resolve()}
    for argument in arguments:
        path = Path(argument)
        found = _search(path, suffixes) if path.is_dir() else iter([path])
        count = len(files)
        for file in found:
            key = file.resolve()
            if key not in seen:
                seen.add(key)
                files.append(file)
        if path.is_dir() and len(files) == count:
            empty.append(InputError(path, f"a directory with no {what} in it"))
    return files, empty


def _search(directory: Path, suffixes: tuple[str, ...]) -> Iterator[Path]:
    # Hidden entries are version-control folders and the "._name" shadows
    # that copying from a Mac leaves in an export, never submissions.
    for root, folders, names in os.walk(directory):
        folders[:] = sorted(name for name in folders if not name.startswith("."))
        for name in sorted(names):
            if name.lower().endswith(suffixes) and not name.startswith("."):
                yield Path(root, name)
