"""Types of the tolvar extension module.

The TypedDicts and Literal aliases below exist for type checkers only; import
them under `if TYPE_CHECKING:`.
"""
import os
from collections.abc import Callable, Iterable, Iterator
from typing import Any, Literal, SupportsIndex, TypedDict, final

__version__: str

Breaks = Literal[
    "Collect / KoboCollect",
    "Enketo web forms",
    "both, differently",
    "both, identically and silently",
]
Rule = Literal["relevant", "calculate", "constraint", "required", "readonly"]
FindingKind = Literal["constraint", "required", "calculation", "not-evaluated"]
# A folder, or file names (as the form's src ends) each with the path to read.
Attachments = str | os.PathLike[str] | dict[str, str | os.PathLike[str]] | None

class PortabilityFinding(TypedDict):
    """One construct that the two engines treat differently, in one rule of one bind."""

    says: str
    path: str
    rule: Rule
    expression: str
    construct: str
    breaks: Breaks
    effect: str
    suggestion: str | None

class SubmissionFinding(TypedDict):
    """What one of the form's rules says about one node of a submission."""

    path: str
    kind: FindingKind
    says: str

class RecomputeResult(TypedDict):
    """What `Session.recompute` reports."""

    calculated: dict[str, str]
    relevant: dict[str, bool]
    missing: list[str]
    invalid: list[tuple[str, str]]
    failed: list[tuple[str, str]]
    repeats: dict[str, int]

class Choice(TypedDict):
    value: str
    label: str

def check_form(form: str) -> list[PortabilityFinding]:
    """Will this form mean the same thing on a tablet and in a browser?"""

def submission_findings(
    form: str,
    submission: str,
    today: str | None = None,
    now: str | None = None,
    *,
    attachments: Attachments = None,
) -> list[SubmissionFinding]:
    """What a form's own rules say about a submission."""

def eval_expression(
    expression: str, submission: str, today: str | None = None, now: str | None = None
) -> str:
    """Evaluate one expression against a submission."""

def _walk_folder(
    name_prefix: str, real_prefix: str, suffixes: tuple[str, ...], skip: Iterable[str], /
) -> Iterator[list[tuple[str, str | None]]]:
    """The command's search of a folder for the files to read."""

def _write_out(fd: int, buffer: bytearray, /) -> None:
    """Writes `buffer` to `fd`, taking out each part as it is written."""

@final
class Session:
    """A form being filled in."""

    def __new__(
        cls,
        form: str,
        instance: str | None = None,
        today: str | None = None,
        now: str | None = None,
        *,
        attachments: Attachments = None,
    ) -> Session: ...
    def set(self, path: str, value: str) -> None:
        """Answer a question."""
    def get(self, path: str) -> str:
        """The current answer, or the empty string."""
    def declares(self, path: str) -> bool:
        """Whether the path names an element the form declares."""
    def add_row(self, path: str) -> int:
        """Add a row to a repeat; returns how many there are now."""
    def remove_row(self, path: str, position: SupportsIndex) -> int:
        """Remove one row, counted from 1 as XPath counts."""
    def recompute(self) -> RecomputeResult:
        """Run the form's logic and apply what it derives."""
    def choices(self, path: str) -> list[Choice] | None:
        """The choices a filtered question offers right now, or None when its list is fixed."""
    def instance_xml(self) -> str:
        """The instance as it would be submitted."""
    def __copy__(self) -> Session:
        """An independent session with the same instance and clock."""
    def __deepcopy__(self, memo: Any) -> Session:
        """The same as __copy__."""
    def __reduce__(self) -> tuple[Callable[..., Session], tuple[Any, ...]]:
        """Pickles as the form's text, the instance, the clock and the attachments."""

@final
class Form:
    """A form loaded once, to judge any number of submissions against."""

    def __new__(cls, form: str, *, attachments: Attachments = None) -> Form: ...
    def findings(
        self, submission: str, today: str | None = None, now: str | None = None
    ) -> list[SubmissionFinding]:
        """What the form's own rules say about a submission, as submission_findings says it."""
    def map_findings(
        self,
        submissions: Iterable[str],
        today: str | None = None,
        now: str | None = None,
        *,
        jobs: int = 1,
        buffersize: int | None = None,
    ) -> Iterator[list[SubmissionFinding] | ValueError | RuntimeError]:
        """findings over many submissions on `jobs` threads, in order; a submission that
        cannot be judged gives the exception findings would raise, in place of its findings.
        With `buffersize`, the submissions are taken as needed, that many ahead."""
    def session(
        self, instance: str | None = None, today: str | None = None, now: str | None = None
    ) -> Session:
        """A Session of this form, sharing the loaded form."""
    def check(self) -> list[PortabilityFinding]:
        """The form's portability findings, as check_form gives them."""
    def __reduce__(self) -> tuple[Callable[..., Form], tuple[Any, ...]]:
        """Pickles as the form's text and attachments."""
    def __eq__(self, value: object, /) -> bool: ...
    def __hash__(self) -> int: ...
