"""Small XForms for the case tables, written as an instance and its binds.

Every leaf without a calculation gets an input control, so each engine can
answer it, and the controls under a repeat's path sit in that repeat.
"""

from __future__ import annotations

import dataclasses
import xml.etree.ElementTree as ET
from dataclasses import dataclass, field
from xml.sax.saxutils import escape, quoteattr

JR = "http://openrosa.org/javarosa"


@dataclass(frozen=True)
class Form:
    instance: str  # the children of the root element <data>
    binds: dict[str, dict[str, str]] = field(default_factory=dict)
    repeats: tuple[str, ...] = ()
    xforms_version: bool = False  # whether the model declares odk:xforms-version
    secondary: dict[str, str] = field(default_factory=dict)  # id -> root element
    choices: dict[str, tuple[str, ...]] = field(default_factory=dict)  # select1 path -> values

    def with_rule(self, path: str, rule: str, expression: str) -> "Form":
        binds = {p: dict(b) for p, b in self.binds.items()}
        binds.setdefault(path, {})[rule] = expression
        return dataclasses.replace(self, binds=binds)

    def xml(self) -> str:
        version = ' odk:xforms-version="1.0.0"' if self.xforms_version else ""
        secondary = "".join(f'<instance id="{i}">{x}</instance>' for i, x in self.secondary.items())
        binds = "".join(
            f"<bind nodeset={quoteattr(path)} "
            + " ".join(f"{name}={quoteattr(value)}"
                       for name, value in {"type": "string", **bind}.items())
            + "/>"
            for path, bind in self.binds.items())
        return (
            '<h:html xmlns="http://www.w3.org/2002/xforms" xmlns:h="http://www.w3.org/1999/xhtml" '
            f'xmlns:jr="{JR}" xmlns:odk="http://www.opendatakit.org/xforms">'
            f'<h:head><h:title>case</h:title><model{version}>'
            f'<instance><data id="case">{self.instance}<meta><instanceID/></meta></data></instance>'
            f"{secondary}{binds}</model></h:head>"
            f"<h:body>{self._controls('/data', self._leaves())}</h:body></h:html>")

    def _leaves(self) -> list[str]:
        root = ET.fromstring(f'<data xmlns:jr="{JR}">{self.instance}</data>')
        leaves: list[str] = []

        def visit(element: ET.Element, path: str) -> None:
            children = list(element)
            if not children and path not in leaves:
                leaves.append(path)
            seen = set()
            for child in children:
                if child.tag not in seen:
                    seen.add(child.tag)
                    visit(child, f"{path}/{child.tag}")

        visit(root, "/data")
        return [p for p in leaves if "calculate" not in self.binds.get(p, {})]

    def _control(self, leaf: str) -> str:
        if leaf not in self.choices:
            return f'<input ref="{leaf}"><label>{escape(leaf)}</label></input>'
        items = "".join(f"<item><label>{escape(v.upper())}</label><value>{escape(v)}</value></item>"
                        for v in self.choices[leaf])
        return f'<select1 ref="{leaf}"><label>{escape(leaf)}</label>{items}</select1>'

    def _controls(self, under: str, leaves: list[str]) -> str:
        inner = [r for r in self.repeats if r.startswith(under + "/")
                 and not any(r.startswith(o + "/") for o in self.repeats
                             if o.startswith(under + "/") and o != r)]
        parts = []
        for leaf in leaves:
            if leaf.startswith(under + "/") and not any(leaf.startswith(r + "/") for r in inner):
                parts.append(self._control(leaf))
        for repeat in inner:
            parts.append(f'<group ref="{repeat}"><label>{repeat}</label>'
                         f'<repeat nodeset="{repeat}">{self._controls(repeat, leaves)}</repeat>'
                         "</group>")
        return "".join(parts)


def submission(values: dict[str, str], form: Form) -> str:
    """The instance of `form` holding `values` (path -> text, as an engine reported
    them); the rows are those the paths name."""
    root = ET.Element("data", id="case")
    for path, value in values.items():
        node = root
        for step in path.split("/")[2:]:
            name, _, index = step.partition("[")
            position = int(index.rstrip("]")) if index else 1
            same = [c for c in node if c.tag == name]
            while len(same) < position:
                same.append(ET.SubElement(node, name))
            node = same[position - 1]
        if len(node) == 0:
            node.text = value
    return ET.tostring(root, encoding="unicode")
