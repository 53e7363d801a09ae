"""Building blocks of the case tables."""

from __future__ import annotations

from dataclasses import dataclass, field

from forms import Form

ENGINES = ("JavaRosa", "Enketo", "Web Forms")
COLLECT = "Collect / KoboCollect"
ENKETO = "Enketo web forms"
DIFFERENTLY = "both, differently"
SILENTLY = "both, identically and silently"

# Outcomes as FormRun.observe() words them; FAILS matches any "fails: …".
NO_OPEN = "does not open"
FAILS = "fails"


def calculated(expression: str, fields: str = "", types: dict[str, str] | None = None,
               out_type: str = "string", **form) -> Form:
    """A form whose /data/out calculates `expression` over `fields`."""
    binds = {f"/data/{name}": {"type": t} for name, t in (types or {}).items()}
    binds["/data/out"] = {"type": out_type, "calculate": expression}
    return Form(instance=fields + "<out/>", binds=binds, **form)


def constrained(expression: str, type: str = "string", fields: str = "",
                types: dict[str, str] | None = None) -> Form:
    """A form whose /data/x carries the constraint `expression`."""
    binds = {f"/data/{name}": {"type": t} for name, t in (types or {}).items()}
    binds["/data/x"] = {"type": type, "constraint": expression}
    return Form(instance=fields + "<x/>", binds=binds)


def relevant_in_repeat(expression: str, xforms_version: bool) -> Form:
    """b of each row of /data/rep is relevant by `expression`."""
    return Form(instance="<rep jr:template=''><a/><b/></rep>",
                binds={"/data/rep/b": {"relevant": expression}},
                repeats=("/data/rep",), xforms_version=xforms_version)


def matches(expected: str, seen: str) -> bool:
    if expected == "*":
        return True
    return seen.startswith("fails") if expected == FAILS else seen == expected


@dataclass(frozen=True)
class Claim:
    """A construct's example form, what each engine does with it, and the
    suggested rewrite, which every engine runs alike."""
    name: str
    form: Form
    probe: str  # the node whose state shows the construct's effect
    what: str  # "value", "relevant", "valid" or "required"
    engines: dict[str, str]  # engine -> outcome (NO_OPEN, FAILS or what observe() gives)
    breaks: str | None  # what check_form reports for it; None: no finding
    construct: str = ""  # a piece of the finding's construct
    rewrite: Form | None = None
    same: str | None = None  # what the rewrite gives on every engine
    answers: dict[str, str] = field(default_factory=dict)
    repeats: dict[str, int] = field(default_factory=dict)

    def __str__(self) -> str:
        return self.name
