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
    seen = {_identity(str(path)) for path in skip}
    for argument in arguments:
        name = str(Path(argument))
        if not os.path.isdir(name):
            key = _identity(name)
            if key not in seen:
                seen.add(key)
                yield name
            continue
        known = len(seen)
        yield from _search(name, suffixes, seen)
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


def _search(directory: str, suffixes: tuple[str, ...], seen: set[str]) -> Iterator[str]:
    """The files below `directory` not in `seen`, adding each to it: a
    directory's own files in sorted order, then its subdirectories' in
    sorted order, leaving out the subdirectories in `seen`.

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
        files, links, folders = _entries(name_prefix or ".", suffixes)
        for file in files:
            key = _identity(name_prefix + file) if file in links else real_prefix + file
            if key not in seen:
                seen.add(key)
                yield name_prefix + file
        for folder in reversed(folders):
            real = real_prefix + folder
            if real not in seen:
                pending.append((name_prefix + folder + os.sep, real + os.sep))


def _prefix(folder: str) -> str:
    """What an entry's name in `folder` starts with, as its Path writes it."""
    if folder == ".":
        return ""
    return folder if folder.endswith(os.sep) else folder + os.sep


def _entries(folder: str, suffixes: tuple[str, ...]) -> tuple[list[str], set[str], list[str]]:
    """The names of the folder's matching files, of those among them that are
    symbolic links, and of the subdirectories to search, the lists sorted.

    Hidden entries are version-control folders and the "._name" shadows
    that copying from a Mac leaves in an export, never submissions. A link
    to a directory is a directory here, as it is to os.walk: it is neither
    searched nor taken as a file. A folder that cannot be read holds
    nothing. The engine lists the folder, with one call into the system
    fewer than os.scandir makes, which a large export pays per folder.
    """
    names, links, folders = tolvar._list_folder(folder)
    files = [name for name in names if name.lower().endswith(suffixes)]
    files.sort()
    folders.sort()
    return files, set(links), folders
