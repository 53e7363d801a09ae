"""GitHub Actions workflow commands, which a CI run turns into annotations on files."""
from __future__ import annotations


def workflow_command(level: str, properties: dict[str, str | int | None], message: str) -> str:
    listed = ",".join([f"{name}={_escape_property(str(value))}"
                       for name, value in properties.items() if value is not None])
    return f"::{level} {listed}::{_escape(message)}\n"


def _escape(text: str) -> str:
    # The escapes the runner undoes.
    return text.replace("%", "%25").replace("\r", "%0D").replace("\n", "%0A")


def _escape_property(text: str) -> str:
    # A property also may not hold ":" or ",".
    return _escape(text).replace(":", "%3A").replace(",", "%2C")
