"""GitHub Actions workflow commands, which a CI run turns into annotations on files."""
from __future__ import annotations


def workflow_command(level: str, properties: dict[str, str | int | None], message: str) -> str:
    listed = ",".join(f"{name}={_escape(str(value), property=True)}"
                      for name, value in properties.items() if value is not None)
    return f"::{level} {listed}::{_escape(message, property=False)}\n"


def _escape(text: str, *, property: bool) -> str:
    # The escapes the runner undoes; a property also may not hold ":" or ",".
    text = text.replace("%", "%25").replace("\r", "%0D").replace("\n", "%0A")
    return text.replace(":", "%3A").replace(",", "%2C") if property else text

