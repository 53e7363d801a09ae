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

    def bind_line(self, target: str) -> int | None:
        binds = self._binds.get(target)
        return self._line(binds[0][""]) if binds else None

    def rule_line(self, target: str, rule: str) -> int | None:
        """The line of the rule's attribute in the first bind of `target` that has it."""
        for offsets in self._binds.get(target, ()):
            if rule in offsets:
                return self._line(offsets[rule])
        return self.bind_line(target)

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

    def _line(self, offset: int) -> int:
        return bisect.bisect_left(self._newlines, offset) + 1
