"""The table of what each engine did, one line per case, for a reader to scan."""

from __future__ import annotations

from dataclasses import dataclass, field
from pathlib import Path

ENGINE_ORDER = ("JavaRosa", "Enketo", "Web Forms")


def cell(text: str) -> str:
    text = " ".join(text.split())
    if len(text) > 90:
        text = text[:87] + "..."
    return text.replace("|", "\\|") or "(empty)"


@dataclass
class Report:
    path: Path
    sections: dict[str, list[str]] = field(default_factory=dict)

    def add(self, section: str, case: str, example: dict[str, str],
            rewrite: dict[str, str] | None, tolvar: str) -> None:
        rows = self.sections.setdefault(section, [])
        engines = " | ".join(cell(example.get(e, "")) for e in ENGINE_ORDER)
        rewritten = (" | ".join(cell(rewrite.get(e, "")) for e in ENGINE_ORDER)
                     if rewrite is not None else " |  | ")
        rows.append(f"| {cell(case)} | {engines} | {rewritten} | {cell(tolvar)} |")

    def write(self) -> None:
        lines = ["# What each engine did", "",
                 "JavaRosa 6.0.0; Enketo = openrosa-xpath-evaluator 3.1.0 with the form-engine "
                 "rewrites of engines/node/enketo_rewrites.mjs; Web Forms = @getodk/xforms-engine "
                 "0.22.0 and @getodk/xpath 0.11.0. \"does not open\": the form fails to load; "
                 "\"fails\": the rule throws.", ""]
        head = ("| Case | JavaRosa | Enketo | Web Forms | rewrite: JavaRosa | Enketo | Web Forms "
                "| tolvar |")
        for section, rows in self.sections.items():
            lines += [f"## {section}", "", head, "|" + "---|" * 8, *sorted(rows), ""]
        self.path.parent.mkdir(parents=True, exist_ok=True)
        self.path.write_text("\n".join(lines), encoding="utf-8")
