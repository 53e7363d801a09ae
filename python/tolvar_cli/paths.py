"""Turning command-line arguments into the files to read."""
from __future__ import annotations

import os
from collections.abc import Iterable, Iterator, Sequence
from pathlib import Path

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
    seen = {_identity(str(path)) for path in skip}
    for argument in arguments:
        name = str(Path(argument))
        if not os.path.isdir(name):
            yield from _unseen([(name, _identity(name))], seen)
            continue
        found = False
        for files in _search(name, suffixes, seen):
            for file in _unseen(files, seen):
                found = True
                yield file
        if not found:
            yield InputError(Path(argument), f"a directory with no {what} in it")


def _unseen(files: Iterable[tuple[str, str]], seen: set[str]) -> Iterator[str]:
    """The files, given with their identities, that were not met before."""
    for file, key in files:
        if key not in seen:
            seen.add(key)
            yield file


def _identity(file: str) -> str:
    """Where the file really is, so that two names of one file count once."""
    try:
        return str(Path(file).resolve())
    except (OSError, RuntimeError):
        # Symbolic links that lead round in a loop (RuntimeError before
        # Python 3.13) resolve to nothing; reading the file reports them.
        return str(Path(file).absolute())


def _search(directory: str, suffixes: tuple[str, ...],
            skip: set[str]) -> Iterator[list[tuple[str, str]]]:
    """The files found below `directory` with their identities, a folder at a
    time: a directory's own files in sorted order, then its subdirectories'
    in sorted order, leaving out the subdirectories in `skip`.

    Symbolic links to directories are not followed, so below the resolved
    top every entry that is no link is where its name says: only links are
    resolved one by one, which a large export would otherwise pay per file.
    """
    # A stack of what the names of a folder's entries start with, as the
    # name given and where it really is; subdirectories go on in reverse so
    # that they come off in sorted order.
    pending = [(_prefix(directory), _prefix(_identity(directory)))]
    while pending:
        name_prefix, real_prefix = pending.pop()
        files, folders = _entries(name_prefix or ".", suffixes)
        yield [(name_prefix + entry.name, _identity(name_prefix + entry.name) if entry.is_symlink()
                else real_prefix + entry.name) for entry in files]
        for entry in reversed(folders):
            if real_prefix + entry.name not in skip:
                pending.append((name_prefix + entry.name + os.sep, real_prefix + entry.name + os.sep))


def _prefix(folder: str) -> str:
    """What an entry's name in `folder` starts with, as its Path writes it."""
    if folder == ".":
        return ""
    return folder if folder.endswith(os.sep) else folder + os.sep


def _entries(folder: str, suffixes: tuple[str, ...]) -> tuple[list[os.DirEntry[str]],
                                                               list[os.DirEntry[str]]]:
    """The folder's matching files and the subdirectories to search, each sorted by name.

    Hidden entries are version-control folders and the "._name" shadows
    that copying from a Mac leaves in an export, never submissions. A folder
    that cannot be read holds nothing.
    """
    files: list[os.DirEntry[str]] = []
    folders: list[os.DirEntry[str]] = []
    try:
        with os.scandir(folder) as entries:
            for entry in entries:
                if entry.name.startswith("."):
                    continue
                if _is_dir(entry):
                    if not entry.is_symlink():
                        folders.append(entry)
                elif entry.name.lower().endswith(suffixes):
                    files.append(entry)
    except OSError:
        return [], []
    files.sort(key=lambda entry: entry.name)
    folders.sort(key=lambda entry: entry.name)
    return files, folders


def _is_dir(entry: os.DirEntry[str]) -> bool:
    # A link to a directory is a directory here, as it is to os.walk: it is
    # neither searched nor taken as a file.
    try:
        return entry.is_dir()
    except OSError:
        return False
