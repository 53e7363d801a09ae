"""Codes a form silences for one bind: `tolvar:ignore="XF101,XF2"`.

The attribute lives in tolvar's own namespace, declared on the form's root
(`xmlns:tolvar="urn:tolvar:xforms"`), so the engines that fill the form in
leave it alone. An XLSForm writes it as a `bind::tolvar:ignore` column.
"""
from __future__ import annotations

import xml.etree.ElementTree as ElementTree

from tolvar_cli import codes

NAMESPACE = "urn:tolvar:xforms"
_IGNORE = f"{{{NAMESPACE}}}ignore"


def ignored_codes(form: str) -> dict[str, tuple[str, ...]]:
    """Each bind target to the code selectors its binds ignore.

    A form the standard parser refuses (the engine's reader is more lenient,
    for example about undeclared prefixes) silences nothing; when it writes
    tolvar:ignore, ValueError says why it is not read.
    """
    try:
        root = ElementTree.fromstring(form)
    except ElementTree.ParseError as error:
        if "tolvar:ignore" in form:
            raise ValueError(f"tolvar:ignore is not read: {error}; the form's root declares "
                             f'xmlns:tolvar="{NAMESPACE}" (an XLSForm: the settings sheet\'s '
                             f'namespaces column holds tolvar="{NAMESPACE}")') from None
        return {}
    ignored: dict[str, tuple[str, ...]] = {}
    for element in root.iter():
        if not isinstance(element.tag, str) or element.tag.rpartition("}")[2] != "bind":
            continue
        selectors = codes.parse_selectors(element.get(_IGNORE, ""))
        # The target as the checker names it: nodeset, else ref, trimmed.
        target = (element.get("nodeset", "").strip() or element.get("ref", "").strip())
        if selectors and target:
            ignored[target] = ignored.get(target, ()) + tuple(selectors)
    return ignored
