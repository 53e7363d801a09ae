"""Reading forms and submissions from disk into the XML text the engine takes."""
from __future__ import annotations

import dataclasses
from pathlib import Path

from tolvar_cli import xlsform
from tolvar_cli.errors import InputError

# Unicode White_Space. The engine takes an argument as XML text only when its
# first other character is "<", and as a file path otherwise, so text handed
# to it must be checked by the same rule.
_WHITE_SPACE = ("\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007"
                "\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000")

_READ_FAILURES = (
    (FileNotFoundError, "no such file or directory"),
    (IsADirectoryError, "is a directory"),
    (PermissionError, "permission denied"),
)


@dataclasses.dataclass(frozen=True)
class Form:
    path: Path
    text: str
    # Line numbers in converted text point nowhere the author can look.
    from_workbook: bool


def read_form(path: Path) -> Form:
    """The form at `path` as XForm text; an XLSForm workbook is converted first."""
    data = _read_bytes(path)
    if xlsform.is_workbook(path, data):
        return Form(path, xlsform.to_xform(path, data), from_workbook=True)
    return Form(path, _xml_text(path, data), from_workbook=False)


def read_submission(path: Path) -> str:
    return _xml_text(path, _read_bytes(path))


def _read_bytes(path: Path) -> bytes:
    try:
        return path.read_bytes()
    except OSError as error:
        raise InputError(path, _read_failure(error)) from None


def _read_failure(error: OSError) -> str:
    for kind, phrase in _READ_FAILURES:
        if isinstance(error, kind):
            return phrase
    return f"could not be read ({error.strerror or error})"


def _xml_text(path: Path, data: bytes) -> str:
    try:
        text = data.decode("utf-8-sig")
    except UnicodeDecodeError:
        raise InputError(path, "not UTF-8 text, so not an XML document") from None
    start = text.lstrip(_WHITE_SPACE)
    if not start:
        raise InputError(path, "is empty")
    if not start.startswith("<"):
        raise InputError(path, "not an XML document (it does not begin with '<')")
    return text
