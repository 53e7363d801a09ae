"""Turning command-line arguments into the files to read."""
from __future__ import annotations

import os
from collections.abc import Iterator, Sequence
from pathlib import Path

import tolvar

from tolvar_cli.errors import InputError


def expand(arguments: Sequence[str], suffixes: tuple[str, ...], what: str,
           skip: Sequence[Path] = ()) -> list[Path | InputError]:
    """The files the arguments name, as `search` finds them, in a list of Paths."""
    return [item if isinstance(item, InputError) else Path(item)
            for item in search(arguments, suffixes, what, skip)]


def search(arguments: Sequence[str], suffixes: tuple[str, ...], what: str,
           skip: Sequence[Path] = ()) -> Iterator[str | InputError]:
    """The names of the files the arguments name, each once, in the order given, as
    they are found.

    A file argument is taken as it is (reading it reports whether it exists);
    a directory is searched recursively for names ending in one of `suffixes`,
    in sorted order, leaving out hidden entries and the files and folders in
    `skip`. A directory with nothing to read stands in the list as an
    InputError naming `what`. Names are written as Path writes them.
    """
    skipped = [_identity(str(path)) for path in skip]
    seen = set(skipped)
    for argument in arguments:
        name = str(Path(argument))
        if not os.path.isdir(name):
            key = _identity(name)
            if key not in seen:
                seen.add(key)
                yield name
            continue
        known = len(seen)
        yield from _search(name, suffixes, seen, skipped)
        if len(seen) == known:  # every file found was added to `seen`
            yield InputError(Path(argument), f"a directory with no {what} in it")


def _identity(file: str) -> str:
    """Where the file really is, so that two names of one file count once."""
    try:
        return str(Path(file).resolve())
    except (OSError, RuntimeError):
        # Symbolic links that lead round in a loop (RuntimeError before
        # Python 3.13) resolve to nothing; reading the file reports them.
        return str(Path(file).absolute())


def _search(directory: str, suffixes: tuple[str, ...], seen: set[str],
            skipped: list[str]) -> Iterator[str]:
    """The files below `directory` not in `seen`, adding each to it: a
    directory's own files in sorted order, then its subdirectories' in
    sorted order, leaving out hidden entries and the subdirectories in
    `skipped`.

    Symbolic links to directories are not followed, so below the resolved
    top every entry that is no link is where its name says: only links are
    resolved one by one, which a large export would otherwise pay per file.
    The engine walks the folders, handing back the files it finds a chunk
    at a time, so that Python pays only for the files.
    """
    walk = tolvar._walk_folder(_prefix(directory), _prefix(_identity(directory)), suffixes, skipped)
    for found in walk:
        for name, real in found:
            key = _identity(name) if real is None else real
            if key not in seen:
                seen.add(key)
                yield name


def _prefix(folder: str) -> str:
    """What an entry's name in `folder` starts with, as its Path writes it."""
    if folder == ".":
        return ""
    return folder if folder.endswith(os.sep) else folder + os.sep
