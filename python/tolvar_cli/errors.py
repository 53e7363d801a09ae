"""The one error the commands report and carry on from."""
from __future__ import annotations

from pathlib import Path


class InputError(Exception):
    """An input that cannot be used: its path, and the reason in a few words.

    The command prints it as one line, counts it towards exit status 2, and
    goes on with the other inputs.
    """

    def __init__(self, path: Path | str, reason: str) -> None:
        super().__init__(f"{path}: {reason}")
        self.path = Path(path)
        self.reason = reason

    def __reduce__(self) -> tuple[type[InputError], tuple[Path, str]]:
        # Crosses from the worker processes of `tolvar judge --jobs`.
        return InputError, (self.path, self.reason)
