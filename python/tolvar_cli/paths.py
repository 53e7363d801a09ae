"""Turning command-line arguments into the files to read."""
from __future__ import annotations

import os
from collections.abc import Iterator, Sequence
from pathlib import Path

from tolvar_cli.errors import InputError


def expand(arguments: Sequence[str], suffixes: tuple[str, ...], what: str,
           skip: Sequence[Path] = ()) -> list[Path | InputError]:
    """The files the arguments name, each once, in the order given.

    A file argument is taken as it is (reading it reports whether it exists);
    a directory is searched recursively for names ending in one of `suffixes`,
    in sorted order, leaving out hidden entries and the files and folders in
    `skip`. A directory with nothing to read stands in the list as an
    InputError naming `what`.
    """
    items: list[Path | InputError] = []
    seen = {_identity(path) for path in skip}
    for argument in arguments:
        path = Path(argument)
        if not path.is_dir():
            items.extend(_unseen([path], seen))
        elif found := _unseen(_search(path, suffixes, seen), seen):
            items.extend(found)
        else:
            items.append(InputError(path, f"a directory with no {what} in it"))
    return items


def _unseen(files: Iterator[Path] | list[Path], seen: set[Path]) -> list[Path]:
    fresh = []
    for file in files:
        key = _identity(file)
        if key not in seen:
            seen.add(key)
            fresh.append(file)
    return fresh


def _identity(file: Path) -> Path:
    try:
        return file.resolve()
    except (OSError, RuntimeError):
        # Symbolic links that lead round in a loop (RuntimeError before
        # Python 3.13) resolve to nothing; reading the file reports them.
        return file.absolute()


def _search(directory: Path, suffixes: tuple[str, ...], skip: set[Path]) -> Iterator[Path]:
    # Hidden entries are version-control folders and the "._name" shadows
    # that copying from a Mac leaves in an export, never submissions.
    for root, folders, names in os.walk(directory):
        folders[:] = sorted(name for name in folders
                            if not name.startswith(".") and _identity(Path(root, name)) not in skip)
        for name in sorted(names):
            if name.lower().endswith(suffixes) and not name.startswith("."):
                yield Path(root, name)
