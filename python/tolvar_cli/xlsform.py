"""XLSForm workbooks, converted in memory to XForms when pyxform is installed."""
from __future__ import annotations

from pathlib import Path

from tolvar_cli.errors import InputError
from tolvar_cli.survey_rows import SurveyRows

# What a workbook starts with: a zip archive (.xlsx) or an OLE2 file (.xls).
_SIGNATURES = (b"PK\x03\x04", b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1")
_SUFFIXES = (".xlsx", ".xlsm", ".xls")

INSTALL_HINT = "pip install pyxform"


def is_workbook(path: Path, data: bytes) -> bool:
    return path.suffix.lower() in _SUFFIXES or data.startswith(_SIGNATURES)


def to_xform(path: Path, data: bytes) -> tuple[str, SurveyRows, tuple[str, ...]]:
    """The XForm pyxform makes of the workbook, with its survey rows and
    pyxform's warnings, or an InputError saying why not."""
    try:
        from dataclasses import asdict  # pyxform's sheets are a dataclass

        from pyxform import xls2xform
        from pyxform.xls2json_backends import get_xlsform
    except ImportError:
        raise InputError(path, f"is an XLSForm, and reading one needs pyxform: {INSTALL_HINT}") from None
    # By path when the suffix says what it is, so pyxform can fall back to
    # the file name for the form id as it does everywhere else; otherwise
    # the bytes, for pyxform to recognise.
    workbook = str(path) if path.suffix.lower() in _SUFFIXES else data
    warnings: list[str] = []
    try:
        # Read once: the rows for locating findings, the same data for converting.
        sheets = get_xlsform(xlsform=workbook)
        rows = SurveyRows([dict(row) for row in sheets.survey or ()])
        xform = str(xls2xform.convert(xlsform=asdict(sheets), warnings=warnings).xform)
    except Exception as error:  # pyxform reports a bad workbook with many exception types
        raise InputError(path, f"the XLSForm could not be converted: {_one_line(error)}") from None
    return xform, rows, tuple(_one_line(warning) for warning in warnings)


def _one_line(error: Exception | str) -> str:
    return " ".join(str(error).split()) or type(error).__name__
