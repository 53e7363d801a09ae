"""Where a bind of a converted XLSForm came from: its row on the survey sheet.

Findings name binds by their XForm path and quote pyxform's expansion of each
rule; an author looks for the sheet's row and the expression as typed, with
`${name}` references.
"""
from __future__ import annotations

from collections.abc import Mapping, Sequence

# The header pyxform reads each bind attribute from, and its other spellings.
_RULE_COLUMNS = {
    "relevant": ("relevant", "relevance", "bind::relevant"),
    "calculate": ("calculation", "calculate", "bind::calculate"),
    "constraint": ("constraint", "bind::constraint"),
    "required": ("required", "bind::required"),
    "readonly": ("read_only", "readonly", "bind::readonly"),
}
_OPENS = ("begin_group", "begin_repeat")
_CLOSES = ("end_group", "end_repeat")


class SurveyRows:
    """The survey sheet's questions by their path below the instance root."""

    def __init__(self, rows: Sequence[Mapping[str, str]]) -> None:
        # The sheet's first row holds the headers, so the rows pyxform
        # returns (blank ones kept) start at row 2.
        self._rows: dict[str, tuple[int, Mapping[str, str]]] = {}
        groups: list[str] = []
        for number, row in enumerate(rows, start=2):
            kind = "_".join(row.get("type", "").lower().split())
            name = row.get("name", "")
            if kind in _CLOSES:
                if groups:
                    groups.pop()
                continue
            if name:
                self._rows["/".join([*groups, name])] = (number, row)
            if kind in _OPENS:
                groups.append(name)

    def heading(self, target: str) -> str | None:
        return self.label(target)

    def position(self, target: str, rule: str) -> tuple[int, int] | None:
        return None  # a workbook has no lines to point at

    def label(self, target: str) -> str | None:
        """"survey row 5, phone" for the bind of /data/phone."""
        found = self._row(target)
        return f"survey row {found[0]}, {found[1]['name']}" if found else None

    def written(self, target: str, rule: str, expanded: str) -> str:
        """The rule as the sheet's cell holds it, or pyxform's expansion when no cell does."""
        found = self._row(target)
        if found:
            for column in _RULE_COLUMNS.get(rule, ()):
                if found[1].get(column):
                    return found[1][column]
        return expanded

    def _row(self, target: str) -> tuple[int, Mapping[str, str]] | None:
        # The path without its first step, the instance root pyxform names.
        below_root = target.strip("/").partition("/")[2]
        return self._rows.get(below_root)
