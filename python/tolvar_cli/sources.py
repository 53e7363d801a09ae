"""Reading forms and submissions from disk into the XML text the engine takes."""
from __future__ import annotations

import errno
import os
import re
import stat
from pathlib import Path

from tolvar_cli import TYPE_CHECKING, xlsform
from tolvar_cli.errors import InputError

if TYPE_CHECKING:
    from tolvar_cli.survey_rows import SurveyRows

# Unicode White_Space. The engine takes an argument as XML text only when its
# first other character is "<", and as a file path otherwise, so text handed
# to it must be checked by the same rule.
_WHITE_SPACE = ("\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007"
                "\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000")
# The first character that is not white space, found without copying the
# rest. Compiled (by re's own cache) only for a text that does not start
# with "<", which nearly every file does.
_FIRST_NOT_WHITE = f"[^{_WHITE_SPACE}]"

# The engine's limit: names and texts keep 32-bit lengths.
_MAX_BYTES = 2**32 - 1
_TOO_LARGE = "larger than 4 GiB, which tolvar refuses"
# What a file that grows while being read is read on in.
_READ_CHUNK = 1 << 20

_READ_FAILURES = {
    errno.ENOENT: "no such file or directory",
    errno.EACCES: "permission denied",
    errno.EPERM: "permission denied",
    errno.ELOOP: "symbolic links that lead round in a loop, so nothing to read",
}


class Form:
    def __init__(self, path: Path, text: str, rows: SurveyRows | None = None,
                 warnings: tuple[str, ...] = ()) -> None:
        self.path = path
        self.text = text
        # For a converted XLSForm: its survey rows, since line numbers in the
        # converted text point nowhere the author can look, and pyxform's warnings.
        self.rows = rows
        self.warnings = warnings


def read_form(path: Path) -> Form:
    """The form at `path` as XForm text; an XLSForm workbook is converted first."""
    data = _read_bytes(path)
    if xlsform.is_workbook(path, data):
        return Form(path, *xlsform.to_xform(path, data))
    return Form(path, _xml_text(path, data))


def read_submission(path: Path | str) -> str:
    return _xml_text(path, _read_bytes(path))


def submission_argument(argument: str) -> str:
    """XML text written on the command line, as the module takes it, or the file it names."""
    if argument.lstrip(_WHITE_SPACE).startswith("<"):
        return argument
    return read_submission(Path(argument))


def _read_bytes(path: Path | str) -> bytes:
    try:
        return _read_regular_file(path)
    except OSError as error:
        raise InputError(path, _read_failure(error)) from None


def _read_regular_file(path: Path | str) -> bytes:
    # Only a regular file has an end to read to: a FIFO blocks until a writer
    # comes, a device such as /dev/zero never ends. The type is checked before
    # opening and again on what was opened; O_NONBLOCK keeps the open from
    # waiting should the path have become a FIFO in between.
    _check_regular(path, os.stat(path))
    descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    try:
        status = os.fstat(descriptor)
        _check_regular(path, status)
        data = _read_to_end(descriptor, status.st_size)
    finally:
        os.close(descriptor)
    if len(data) > _MAX_BYTES:  # it grew while being read
        raise InputError(path, _TOO_LARGE)
    return data


def _read_to_end(descriptor: int, size: int) -> bytes:
    """What is left to read, up to one byte past the engine's limit.

    Asking for one byte more than the file's size reads a file that stays as
    it is in one call: the read comes up short, as a regular file's does only
    at its end. A file that grew is read on in larger chunks.
    """
    chunks = []
    total = 0
    wanted = size + 1
    while total <= _MAX_BYTES:
        asked = min(wanted, _MAX_BYTES + 1 - total)
        chunk = os.read(descriptor, asked)
        chunks.append(chunk)
        total += len(chunk)
        if len(chunk) < asked:
            break
        wanted = _READ_CHUNK
    return chunks[0] if len(chunks) == 1 else b"".join(chunks)


def _check_regular(path: Path | str, status: os.stat_result) -> None:
    if stat.S_ISDIR(status.st_mode):
        raise InputError(path, "is a directory")
    if not stat.S_ISREG(status.st_mode):
        raise InputError(path, "not a regular file (a pipe, a device or a socket), so not read")
    if status.st_size > _MAX_BYTES:
        raise InputError(path, _TOO_LARGE)


def _read_failure(error: OSError) -> str:
    if error.errno in _READ_FAILURES:
        return _READ_FAILURES[error.errno]
    return f"could not be read ({error.strerror or error})"


def _xml_text(path: Path | str, data: bytes) -> str:
    try:
        # A byte order mark is no part of the text. ("utf-8-sig" would drop it
        # too, but its codec is a module of its own to import.)
        text = data.decode("utf-8").removeprefix("\ufeff")
    except UnicodeDecodeError:
        raise InputError(path, "not UTF-8 text, so not an XML document") from None
    if text.startswith("<"):
        return text
    first = re.search(_FIRST_NOT_WHITE, text)
    if first is None:
        raise InputError(path, "is empty")
    if first.group() != "<":
        raise InputError(path, "not an XML document (it does not begin with '<')")
    return text
