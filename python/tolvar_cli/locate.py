"""Line numbers of binds in a form's text, so a finding can point at its source.

Best effort by design: a light scan of the text rather than a second XML
parse. Like the engine's reader, it passes over comments, processing
instructions and CDATA sections whole (to the end of the text when one is
never closed), so the binds found are the binds the checker saw.
"""
from __future__ import annotations

import bisect
import html
import re
from typing import Protocol


class Places(Protocol):
    """Where a form's author finds a bind and its rules: lines of the XML, or rows of a sheet."""

    def heading(self, target: str) -> str | None:
        """Where the bind is, as the text report says it: "line 35", "survey row 5, phone"."""

    def position(self, target: str, rule: str) -> tuple[int, int] | None:
        """The line and column of the rule in the form's file, when it has lines."""

    def written(self, target: str, rule: str, expression: str) -> str:
        """The rule as the author wrote it."""

# Markup read whole comes first, so a bind inside it matches as part of it.
_BIND = re.compile(r"(?s)<!--.*?(?:-->|\Z)|<!\[CDATA\[.*?(?:\]\]>|\Z)|<\?.*?(?:\?>|\Z)"
                   r"|<(?:[\w.-]+:)?bind\b((?:[^>\"']|\"[^\"]*\"|'[^']*')*)>")
_ATTRIBUTE = re.compile(r"(?:[\w.-]+:)?([\w.-]+)\s*=\s*(?:\"([^\"]*)\"|'([^']*)')")


class BindLines:
    """Where each bind of a form starts, and where each of its rules is written."""

    def __init__(self, text: str) -> None:
        self._newlines = [match.start() for match in re.finditer("\n", text)]
        # target -> for each bind with that target: attribute name -> offset,
        # with the tag's own offset under "".
        self._binds: dict[str, list[dict[str, int]]] = {}
        for match in _BIND.finditer(text):
            if match.group(1) is not None:
                self._add_bind(match)

    def heading(self, target: str) -> str | None:
        binds = self._binds.get(target)
        return f"line {self._place(binds[0][''])[0]}" if binds else None

    def position(self, target: str, rule: str) -> tuple[int, int] | None:
        """The rule's attribute in the first bind of `target` that has it, else the bind."""
        binds = self._binds.get(target, ())
        for offsets in binds:
            if rule in offsets:
                return self._place(offsets[rule])
        return self._place(binds[0][""]) if binds else None

    def written(self, target: str, rule: str, expression: str) -> str:
        return expression

    def _add_bind(self, match: re.Match[str]) -> None:
        offsets = {"": match.start()}
        values: dict[str, str] = {}
        seen: set[str] = set()
        for attribute in _ATTRIBUTE.finditer(match.group(1)):
            # As the engine reads a bind: the first attribute of a name
            # counts, and a blank one counts as absent.
            name = attribute.group(1)
            if name in seen:
                continue
            seen.add(name)
            quoted = attribute.group(2) if attribute.group(2) is not None else attribute.group(3)
            value = html.unescape(quoted)
            if value.strip():
                values[name] = value
                offsets[name] = match.start(1) + attribute.start()
        target = (values.get("nodeset") or values.get("ref") or "").strip()
        if target:
            self._binds.setdefault(target, []).append(offsets)

    def _place(self, offset: int) -> tuple[int, int]:
        """Line and column, counted from 1 in characters: a one-line form has columns only."""
        line = bisect.bisect_left(self._newlines, offset)
        line_start = self._newlines[line - 1] + 1 if line else 0
        return line + 1, offset - line_start + 1
